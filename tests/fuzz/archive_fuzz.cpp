// Fuzzes what reads containers: the walk, extraction into the simulated machine, verification and
// the phrase-library normalisation. Any input must give a defined result and stay in bounds.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "core/install_state.h"
#include "core/locations.h"
#include "payload/archive.h"
#include "payload/extraction.h"
#include "platform/sim/machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static sim::Machine* machine = [] {
        auto* m = new sim::Machine(sim::Os::win10_64);
        computeInstallDir();
        return m;
    }();
    static std::vector<uint8_t> work(workBufferSize);
    std::string dir = machine->hostPath(state.installDir);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    machine->messageBoxes.clear();
    machine->attributes.clear();

    // The container exactly as long as the input, so that reading past it is caught.
    std::unique_ptr<uint8_t[]> container(new uint8_t[size ? size : 1]);
    if (size) std::memcpy(container.get(), data, size);

    ArchiveWalk walk(container.get(), size);
    ArchiveEntry entry;
    char name[100];
    while (walk.next(entry)) entryName(entry, name, sizeof name);

    extractAll(container.get(), size, work.data(), work.size());
    // A small scratch area too, as the skin archives get.
    extractAll(container.get(), size, work.data() + work.size() - 70000, 70000);
    char failure[8192];
    verifyAll(container.get(), size, failure, sizeof failure, exemptionList);

    std::unique_ptr<uint8_t[]> phrases(new uint8_t[size + 12]);
    if (size) std::memcpy(phrases.get(), data, size);
    size_t kept = compactPhraseLibrary(phrases.get(), size);
    if (kept > size) __builtin_trap();
    return 0;
}
