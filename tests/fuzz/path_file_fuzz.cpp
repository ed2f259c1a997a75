// The path file "vornpat8.vrh" in the Windows directory, whatever it holds: read into the
// earlier installation's directory by the administrator check, then used as the backup and the
// restore use it.
#include <cstdint>
#include <string>

#include "checks/admin_check.h"
#include "common/locations.h"
#include "fuzz_support.h"
#include "userdata/backup.h"
#include "userdata/restore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sim::Machine& machine = fuzz::freshMachine();
    // An earlier installation with learnt files, for a path file that names it.
    machine.writeFile("C:\\old\\vorncyzk.vrh", "phrases; ");
    machine.writeFile("C:\\old\\vorndwdw.txt", "words");
    machine.writeFile(machine.windowsDir + "\\" + pathFileName,
                      std::string(reinterpret_cast<const char*>(data), size));
    static fuzz::WorkBlock work;
    work.release();
    state.workBuffer = work.data();
    computeInstallDir();

    isNotAdministrator();
    FUZZ_CHECK(fuzz::terminated(state.previousInstallDir, previousDirCapacity));
    FUZZ_CHECK(fuzz::terminated(state.installDir, dirCapacity));
    backUpEarlierInstallation();
    FUZZ_CHECK(fuzz::terminated(state.installDir, dirCapacity));
    machine.makeDirectories(state.installDir);
    restoreUserData();
    state.workBuffer = nullptr;
    return 0;
}
