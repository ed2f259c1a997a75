// The input settings record "vrszsj43.vrh" as the install finds it (any length, any bytes),
// patched for the code page, the edition and the window mode, and written back whole. The
// first input byte chooses those, the rest is the file.
#include <cstdint>
#include <string>

#include "common/install_state.h"
#include "common/locations.h"
#include "fuzz_support.h"
#include "settings/settings_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sim::Machine& machine = fuzz::freshMachine();
    fuzz::Input input(data, size);
    uint8_t choices = input.byte();
    state.oemCodePage = (choices & 1) != 0 ? 950 : 936;
    state.editionChoice = (choices >> 1) & 1;
    state.windowModeChoice = static_cast<uint8_t>(choices >> 2);
    computeInstallDir();
    const std::string path = std::string(state.installDir) + "vrszsj43.vrh";
    machine.writeFile(path, input.rest());

    patchInputSettings();
    FUZZ_CHECK(machine.readFile(path).value_or("").size() == inputSettingsSize);
    return 0;
}
