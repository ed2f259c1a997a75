#include "registration/text_service.h"

#include <cstring>

#include "core/install_state.h"
#include "core/text.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "security/directory_security.h"

namespace {

using plat::RegAccess;
using plat::ScopedKey;

constexpr const char* productClsid = "{65653599-5030-4C0F-8871-83F6AFDE5098}";
constexpr size_t clsidLength = 38;

constexpr const char* tipKey =
    "SOFTWARE\\Microsoft\\CTF\\TIP\\{65653599-5030-4C0F-8871-83F6AFDE5098}";
constexpr const char* categoryListKey =
    "SOFTWARE\\Microsoft\\CTF\\TIP\\{65653599-5030-4C0F-8871-83F6AFDE5098}"
    "\\Category\\Category";
constexpr const char* categoryItemKey =
    "SOFTWARE\\Microsoft\\CTF\\TIP\\{65653599-5030-4C0F-8871-83F6AFDE5098}"
    "\\Category\\Item\\{65653599-5030-4C0F-8871-83F6AFDE5098}";
constexpr const char* sortOrderKey =
    "SOFTWARE\\Microsoft\\CTF\\SortOrder\\AssemblyItem\\0x00000804"
    "\\{34745C63-B2F0-4784-8B67-5E12C8701A31}";

// What the modules' own registration must have made: immersive support, notification-area
// support, keyboard text service; a missing one is reported by its number.
constexpr const char* testedKeys[] = {
    tipKey,
    "SOFTWARE\\Microsoft\\CTF\\TIP\\{65653599-5030-4C0F-8871-83F6AFDE5098}"
    "\\Category\\Item\\{65653599-5030-4C0F-8871-83F6AFDE5098}"
    "\\{13A016DF-560B-46CD-947A-4C3AF1E0E35D}",
    "SOFTWARE\\Microsoft\\CTF\\TIP\\{65653599-5030-4C0F-8871-83F6AFDE5098}"
    "\\Category\\Item\\{65653599-5030-4C0F-8871-83F6AFDE5098}"
    "\\{25504FB4-7BAB-4BC1-9C69-CF81890F0EF5}",
    "SOFTWARE\\Microsoft\\CTF\\TIP\\{65653599-5030-4C0F-8871-83F6AFDE5098}"
    "\\Category\\Item\\{65653599-5030-4C0F-8871-83F6AFDE5098}"
    "\\{34745C63-B2F0-4784-8B67-5E12C8701A31}",
};

// Written by the setup itself: display attributes, COM-less activation, secure mode, UI
// elements, input-mode compartment.
constexpr const char* writtenCategories[] = {
    "{046B8C80-1647-40F7-9B21-B93B81AABC1B}",
    "{364215D9-75BC-11D7-A6EF-00065B84435C}",
    "{49D2F9CE-1F5E-11D7-A6D3-00065B84435C}",
    "{49D2F9CF-1F5E-11D7-A6D3-00065B84435C}",
    "{CCF05DD7-4A87-11D7-A6E2-00065B84435C}",
};

// regsvr32 is waited for until it has ended, however slow the machine (a scanner looking at the
// new module), but not for ever.
constexpr uint32_t registrationTimeout = 30000;

// regsvr32 is named by its full path: a bare name would be searched first in the folder the
// setup was started from, where a planted program would run with our rights. Both paths are
// quoted, so a directory with blanks cannot split the command.
void runRegsvr32(const char* moduleDir, const char* moduleName) {
    char systemDir[dirCapacity];
    if (plat::getSystemDirectory(systemDir, sizeof systemDir) == 0 || moduleDir[0] == '\0')
        return;
    char* command = state.scratchPath;
    if (!formatText(command, scratchCapacity, "\"%s\\regsvr32.exe\" /s \"%s\\%s\"", systemDir,
                    moduleDir, moduleName))
        return;
    plat::runAndWait(command, plat::swShow, registrationTimeout);
}

void registerBothModules() {
    char windowsDir[dirCapacity];
    char sysWow64Dir[dirCapacity];
    sysWow64Dir[0] = '\0';
    if (plat::getWindowsDirectory(windowsDir, sizeof windowsDir) != 0)
        formatText(sysWow64Dir, sizeof sysWow64Dir, "%s\\syswow64", windowsDir);
    runRegsvr32(sysWow64Dir, "vornsrf.dll");

    char systemDir[dirCapacity];
    plat::getSystemDirectory(systemDir, sizeof systemDir);
    runRegsvr32(systemDir, "vornsrf6.dll");
}

bool keyExists(const char* path) {
    ScopedKey key;
    return plat::openKey(plat::hkeyLocalMachine, path, RegAccess::read, key);
}

// Opens `parent` for reading and creates its subkey `child`; failures pass silently.
void createBelow(const char* parent, const char* child) {
    ScopedKey opened;
    if (!plat::openKey(plat::hkeyLocalMachine, parent, RegAccess::read, opened)) return;
    ScopedKey created;
    plat::createKey(opened.get(), child, created);
}

// Reads a value of at most `capacity` bytes; false when it is missing or longer.
bool readBytes(plat::RegKey key, const char* name, void* out, uint32_t capacity,
               uint32_t& length) {
    length = capacity;
    return plat::regQueryValue(key, name, nullptr, out, &length) == plat::regOk;
}

}  // namespace

int registerTextService() {
    if (state.osBits != 64) {
        char systemDir[dirCapacity];
        plat::getSystemDirectory(systemDir, sizeof systemDir);
        runRegsvr32(systemDir, "vornsrf.dll");
        return 1;
    }
    // First through the redirection Windows gives a 32-bit process, then once more with it
    // off, so that the native regsvr32 and system directory are reached as well.
    registerBothModules();
    int wow64 = 0;
    if (plat::isWow64Process(wow64) && wow64 != 0) {
        void* oldValue = nullptr;
        if (plat::disableWow64FsRedirection(&oldValue) == 1) {
            registerBothModules();
            plat::revertWow64FsRedirection(oldValue);
        }
    }
    return 1;
}

bool verifyTextService() {
    if (state.interfaceChoice != 1 || state.windows10 == 0) {
        launchDirectoryCheck();
        return true;
    }
    for (int number = 0; number < 4; ++number) {
        if (keyExists(testedKeys[number])) continue;
        char message[200];
        formatText(message, sizeof message,
                   "系统%d位dll文件没有挂接成功(err=%d)！，请退出安装程序重新安装！", 32, number);
        plat::messageBoxA(message, "智能Marl(Qolvane)安装", plat::mbOk);
        return false;
    }
    writeTipCategories();
    launchDirectoryCheck();
    return true;
}

void writeTipCategories() {
    char categoryKey[dirCapacity];
    for (const char* category : writtenCategories) {
        createBelow(categoryListKey, category);
        formatText(categoryKey, sizeof categoryKey, "%s\\%s", categoryListKey, category);
        createBelow(categoryKey, productClsid);
        createBelow(categoryItemKey, category);
    }
}

uint32_t findProductInSortOrder() {
    ScopedKey list;
    if (!plat::openKey(plat::hkeyCurrentUser, sortOrderKey, RegAccess::read, list)) return 0;
    for (int i = 0; i < 100; ++i) {
        char name[16];
        formatText(name, sizeof name, "%08d", i);
        ScopedKey item;
        if (!plat::openKey(list.get(), name, RegAccess::all, item)) return 0;

        char clsid[46] = {};
        char profile[46];
        uint32_t keyboardLayout = 0;
        uint32_t length = 0;
        if (!readBytes(item.get(), "CLSID", clsid, sizeof clsid, length)) return 0;
        uint32_t position =
            length >= clsidLength && std::memcmp(clsid, productClsid, clsidLength) == 0 ? i + 1 : 0;
        // An item without all three values ends the search, even the product's own.
        if (!readBytes(item.get(), "profile", profile, sizeof profile, length)) return 0;
        if (!readBytes(item.get(), "KeyboardLayout", &keyboardLayout, sizeof keyboardLayout,
                       length))
            return 0;
        if (position != 0) return position;
    }
    return 0;
}
