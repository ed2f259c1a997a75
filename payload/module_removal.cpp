#include "payload/module_removal.h"

#include "common/install_state.h"
#include "common/learned_data.h"
#include "common/locations.h"
#include "common/product_files.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/system.h"

#include <cstring>
#include <initializer_list>

namespace {

// What moveAside makes of the placed names ('2', then '1', as fifth-last character), then the
// placed names: a busy module is itself moved aside to a name already cleared.
constexpr const char* moduleNames[] = {
    "vornel2.ime",  "vornel1.ime",  "vornsr2.dll", "vornsr1.dll", "vornsrf2.dll",
    "vornsrf1.dll", "vornel4.ime",  "vornsrf.dll", "vornsrf6.dll",
};
constexpr size_t firstPlacedName = 6;
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

namespace {

// `dir` without its trailing backslashes; false when it does not fit or is empty.
bool bareDir(const char* dir, char (&out)[pathCapacity]) {
    if (!copyText(out, dir)) return false;
    size_t length = std::strlen(out);
    while (length > 0 && out[length - 1] == '\\') out[--length] = '\0';
    return length > 0;
}

// The rest of `path` after `dir` and one backslash, when the path is in it; else null.
const char* within(const char* path, const char* dir) {
    char bare[pathCapacity];
    if (!bareDir(dir, bare)) return nullptr;
    size_t length = std::strlen(bare);
    char head[pathCapacity];
    if (std::strlen(path) <= length + 1 || path[length] != '\\' || !copyText(head, path)) return nullptr;
    head[length] = '\0';
    return sameTextIgnoringCase(head, bare) ? path + length + 1 : nullptr;
}

bool sameDir(const char* path, const char* dir) {
    char bare[pathCapacity];
    return bareDir(dir, bare) && sameTextIgnoringCase(path, bare);
}

struct Claims {
    ModuleDir dirs[2];
    size_t dirCount;
    char windowsDir[dirCapacity];
};

bool claims(const char* path, void* context) {
    const Claims& own = *static_cast<const Claims*>(context);
    if (sameDir(path, state.installDir)) return true;
    if (const char* name = within(path, state.installDir))
        return sameTextIgnoringCase(name, "filer") || isInstalledName(name) || isUserDataFile(name);
    for (size_t d = 0; d < own.dirCount; ++d)
        if (const char* name = within(path, own.dirs[d].path))
            for (size_t i = firstPlacedName; i < sizeof moduleNames / sizeof moduleNames[0]; ++i)
                if (sameTextIgnoringCase(name, moduleNames[i])) return true;
    const char* name = within(path, own.windowsDir);
    return name != nullptr && sameTextIgnoringCase(name, "vorndel8.exe");
}

}  // namespace

bool keepInstalledFilesThroughRestart() {
    Claims own{};
    own.dirCount = moduleDirs(own.dirs);
    if (plat::getWindowsDirectory(own.windowsDir, dirCapacity) == 0) own.windowsDir[0] = '\0';
    return plat::cancelDeletesAtRestart(claims, &own) >= 0;
}
