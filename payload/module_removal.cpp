#include "payload/module_removal.h"

#include "common/install_state.h"
#include "common/locations.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/system.h"

#include <initializer_list>

namespace {

// What moveAside makes of the placed names ('2', then '1', as fifth-last character), then the
// placed names: a busy module is itself moved aside to a name already cleared.
constexpr const char* moduleNames[] = {
    "vornel2.ime",  "vornel1.ime",  "vornsr2.dll", "vornsr1.dll", "vornsrf2.dll",
    "vornsrf1.dll", "vornel4.ime",  "vornsrf.dll", "vornsrf6.dll",
};
constexpr size_t pathCapacity = dirCapacity + 32;

// The directories the setup places modules into, as this process reaches them: the native one
// only inside withoutRedirection.
struct ModuleDir {
    char path[dirCapacity];
    bool native;
};

size_t moduleDirs(ModuleDir (&dirs)[2]) {
    if (is64BitWindows()) {
        sysWow64Path(dirs[0].path, dirCapacity);
        dirs[0].native = false;
        if (plat::getSystemDirectory(dirs[1].path, dirCapacity) == 0) return 1;
        dirs[1].native = true;
        return 2;
    }
    if (plat::getSystemDirectory(dirs[0].path, dirCapacity) == 0) return 0;
    dirs[0].native = false;
    return 1;
}

template <class Operation>
void inDir(const ModuleDir& dir, Operation&& operation) {
    if (dir.native) withoutRedirection([&] { operation(); });
    else operation();
}

bool fileThere(const char* path) {
    uint32_t attributes = plat::getFileAttributes(path);
    return attributes != plat::invalidAttributes && (attributes & plat::attrDirectory) == 0;
}

}  // namespace

bool systemModulesPresent() {
    ModuleDir dirs[2];
    size_t count = moduleDirs(dirs);
    bool found = false;
    for (size_t d = 0; d < count && !found; ++d)
        inDir(dirs[d], [&] {
            for (const char* name : moduleNames) {
                char path[pathCapacity];
                if (formatText(path, sizeof path, "%s\\%s", dirs[d].path, name) && fileThere(path)) found = true;
            }
        });
    return found;
}

void removeSystemModules(RemovalTally& tally) {
    ModuleDir dirs[2];
    size_t count = moduleDirs(dirs);
    for (size_t d = 0; d < count; ++d)
        inDir(dirs[d], [&] {
            for (const char* name : moduleNames) {
                char path[pathCapacity];
                if (formatText(path, sizeof path, "%s\\%s", dirs[d].path, name)) removeCounted(tally, path);
            }
        });
}

void removeAsideUninstallers(RemovalTally& tally) {
    char windowsDir[dirCapacity];
    if (plat::getWindowsDirectory(windowsDir, dirCapacity) == 0) return;
    for (const char* name : {"vorndel2.exe", "vorndel1.exe"}) {
        char path[pathCapacity];
        if (formatText(path, sizeof path, "%s\\%s", windowsDir, name)) removeCounted(tally, path);
    }
}

Removal removeOwnProgram() {
    char path[pathCapacity];
    char windowsDir[dirCapacity];
    if (plat::getWindowsDirectory(windowsDir, dirCapacity) == 0 ||
        !formatText(path, sizeof path, "%s\\vorndel8.exe", windowsDir))
        return Removal::failed;
    return removeProductFile(path);
}
