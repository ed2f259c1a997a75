// The version patch of a placed module: any file is read into the work block (whose bytes
// past the file ASan watches), patched where the product label is followed by 6.3 or 6.7,
// and written back whole.
#include <cstdint>
#include <string>

#include "common/locations.h"
#include "fuzz_support.h"
#include "payload/module_placement.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sim::Machine& machine = fuzz::freshMachine();
    static fuzz::WorkBlock work;
    state.workBuffer = work.data();
    const std::string path = "C:\\windows\\system32\\vornel4.ime";
    const std::string before(reinterpret_cast<const char*>(data), size);
    machine.writeFile(path, before);

    work.watchFrom(size <= versionPatchLimit ? size : 0);
    patchVersionLabel(path.c_str());
    work.release();
    state.workBuffer = nullptr;

    std::string after = machine.readFile(path).value_or("");
    FUZZ_CHECK(after.size() == before.size());
    for (size_t i = 0; i < size; ++i) {
        if (after[i] == before[i]) continue;
        FUZZ_CHECK(size <= versionPatchLimit);
        FUZZ_CHECK((before[i] == '6' && after[i] == '9') ||
                   ((before[i] == '3' || before[i] == '7') && after[i] == '0'));
    }
    return 0;
}
