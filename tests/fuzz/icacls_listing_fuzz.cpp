// The icacls listing of the install directory, as the command's output comes back through the
// pipe (cut to the capture's capacity), read for the all-application-packages line.
#include <cstdint>
#include <string>

#include "common/locations.h"
#include "fuzz_support.h"
#include "security/directory_security.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sim::Machine& machine = fuzz::freshMachine();
    computeInstallDir();
    // The command exactly as the check runs it, learnt from a first run without output.
    static std::string command;
    if (command.empty()) {
        appPackagesHaveFullAccess();
        FUZZ_CHECK(!machine.capturedCommands.empty());
        command = machine.capturedCommands.back();
    }
    machine.commandOutputs[command] = std::string(reinterpret_cast<const char*>(data), size);
    appPackagesHaveFullAccess();
    FUZZ_CHECK(machine.capturedCommands.back() == command);
    return 0;
}
