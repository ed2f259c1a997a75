// The container readers: the walk, extraction into the simulated machine (the payload's scratch
// area and a small one), verification, a skin archive read from a file and a backup restored.
// Any input must give a defined result and stay in bounds.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "common/locations.h"
#include "fuzz_support.h"
#include "payload/archive.h"
#include "payload/extraction.h"
#include "userdata/backup.h"
#include "userdata/restore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sim::Machine& machine = fuzz::freshMachine();
    computeInstallDir();
    machine.makeDirectories(state.installDir);
    static fuzz::WorkBlock work;
    work.release();
    state.workBuffer = work.data();

    // The container exactly as long as the input, so that reading past it is caught.
    std::unique_ptr<uint8_t[]> container(new uint8_t[size ? size : 1]);
    if (size) std::memcpy(container.get(), data, size);

    ArchiveWalk walk(container.get(), size);
    ArchiveEntry entry;
    char name[100];
    while (walk.next(entry)) {
        bool safe = entryName(entry, name, sizeof name);
        FUZZ_CHECK(fuzz::terminated(name, sizeof name));
        FUZZ_CHECK(!safe || isSafeEntryName(name, std::strlen(name)));
    }

    extractAll(container.get(), size, work.data(), workBufferSize);
    // A small scratch area too, as the skin archives get, and the files as a tool writes them.
    extractAll(container.get(), size, work.data() + workBufferSize - 70000, 70000, nullptr,
               PhraseBackup::asStored);
    char failure[8192];
    verifyAll(container.get(), size, failure, sizeof failure, exemptionList);
    FUZZ_CHECK(fuzz::terminated(failure, sizeof failure));

    // The same bytes as a skin archive and as the backup of an earlier installation.
    std::string bytes(reinterpret_cast<const char*>(data), size);
    machine.writeFile(std::string(state.installDir) + "skin.vrz", bytes);
    extractFromFile((std::string(state.installDir) + "skin.vrz").c_str());
    machine.writeFile(std::string(state.installDir) + backupFileName, bytes);
    restoreUserData();
    state.workBuffer = nullptr;
    return 0;
}
