#include "registration/user_steps.h"

#include <cstdlib>
#include <cstring>

#include "common/file_ops.h"
#include "common/install_state.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "registration/registry_text.h"

namespace {

using plat::RegAccess;
using plat::ScopedKey;

constexpr size_t commandCapacity = 1024;
constexpr const char* productName = "智能Marl输入平台 9.0";

// "9,0,0,N" as Active Setup compares versions: N one above the last one registered.
unsigned nextSerial(plat::RegKey component) {
    char version[64];
    if (readRegistryText(component, "Version", version, sizeof version) != plat::regOk) return 1;
    const char* last = std::strrchr(version, ',');
    if (last == nullptr || std::strncmp(version, "9,0,0,", 6) != 0) return 1;
    char* end = nullptr;
    unsigned long serial = std::strtoul(last + 1, &end, 10);
    return end != last + 1 && *end == '\0' && serial < 60000 ? static_cast<unsigned>(serial) + 1 : 1;
}

bool setDword(plat::RegKey key, const char* name, uint32_t number) {
    return plat::regSetValue(key, name, plat::regDword, &number, sizeof number) == plat::regOk;
}

}  // namespace

bool userStepsProgramPath(char* out, size_t capacity) {
    char dir[dirCapacity];
    return plat::getWindowsDirectory(dir, sizeof dir) != 0 &&
           formatText(out, capacity, "%s\\%s", dir, userStepsProgramName);
}

bool placeUserStepsProgram(const uint8_t* bytes, uint32_t size) {
    char program[dirCapacity + 16];
    char fresh[dirCapacity + 16];
    if (bytes == nullptr || size == 0 || !userStepsProgramPath(program, sizeof program) ||
        !formatText(fresh, sizeof fresh, "%s.new", program))
        return false;
    // Made anew by this process: a file someone left under the name is not written through.
    plat::deleteFile(fresh);
    plat::FileHandle file = plat::openOwnFileForWriting(fresh, false);
    if (file == plat::fileError) return false;
    bool written = plat::lwrite(file, bytes, size) == size;
    plat::lclose(file);
    if (written && !plat::moveFileReplacing(fresh, program)) {
        moveAside(program);
        written = plat::moveFileReplacing(fresh, program);
    }
    if (!written) plat::deleteFile(fresh);
    return written;
}

bool registerUserSteps(const char* arguments) {
    char program[dirCapacity + 16];
    char command[commandCapacity];
    if (!userStepsProgramPath(program, sizeof program) ||
        !formatText(command, sizeof command, "\"%s\" %s", program, arguments))
        return false;
    ScopedKey component;
    if (plat::regCreateKeyView(plat::hkeyLocalMachine, userStepsComponentKey, plat::RegView::native64,
                               component.receive()) != plat::regOk)
        return false;
    char version[32];
    formatText(version, sizeof version, "9,0,0,%u", nextSerial(component.get()));
    bool written = plat::regSetText(component.get(), "", productName) == plat::regOk &&
                   plat::regSetText(component.get(), "StubPath", command) == plat::regOk &&
                   setDword(component.get(), "IsInstalled", 1) &&
                   // The version last: a component without its new version is run by nobody new.
                   plat::regSetText(component.get(), "Version", version) == plat::regOk;
    char mine[dirCapacity];
    ScopedKey own;
    return written && formatText(mine, sizeof mine, "Software\\Microsoft\\Active Setup\\Installed Components\\%s",
                                 userStepsComponent) &&
           plat::createKey(plat::hkeyCurrentUser, mine, own) &&
           plat::regSetText(own.get(), "Version", version) == plat::regOk;
}

bool readUserStepsCommand(char* out, size_t capacity) {
    out[0] = '\0';
    ScopedKey component;
    return plat::regOpenKeyView(plat::hkeyLocalMachine, userStepsComponentKey, RegAccess::read,
                                plat::RegView::native64, component.receive()) == plat::regOk &&
           readRegistryText(component.get(), "StubPath", out, capacity) == plat::regOk;
}

long removeUserSteps() {
    return plat::regDeleteTree(plat::hkeyLocalMachine, userStepsComponentKey, plat::RegView::native64);
}
