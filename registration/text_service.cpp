#include "registration/text_service.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/install_state.h"
#include "common/outcome.h"
#include "common/setup_log.h"
#include "common/locations.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/ime.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "registration/registry_text.h"
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
constexpr const char* classKey =
    "SOFTWARE\\Classes\\CLSID\\{65653599-5030-4C0F-8871-83F6AFDE5098}";
constexpr const char* assemblyItemsKey = "SOFTWARE\\Microsoft\\CTF\\SortOrder\\AssemblyItem";
constexpr const char* keyboardCategory = "{34745C63-B2F0-4784-8B67-5E12C8701A31}";
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
        if (registryKeyExists(plat::hkeyLocalMachine, testedKeys[number])) continue;
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

namespace {

// --- removal ---

// The product's keys in one view; an unreadable key counts as there.
bool registeredIn(plat::RegView view) {
    for (const char* key : {tipKey, classKey}) {
        ScopedKey opened;
        long status = plat::regOpenKeyView(plat::hkeyLocalMachine, key, RegAccess::read, view,
                                           opened.receive());
        if (status != plat::regFileNotFound) return true;
    }
    return false;
}

bool isFile(const char* path) {
    uint32_t attributes = plat::getFileAttributes(path);
    return attributes != plat::invalidAttributes && (attributes & plat::attrDirectory) == 0;
}

// regsvr32 /u of the module in `dir`, by the regsvr32 of that same directory, when the module
// is there and something of the product is registered in its view. True when it ran.
bool unregisterModule(const char* dir, const char* moduleName, plat::RegView view) {
    if (dir[0] == '\0' || !registeredIn(view)) return false;
    char path[dirCapacity + 16];
    if (!formatText(path, sizeof path, "%s\\%s", dir, moduleName) || !isFile(path))
        return false;
    char* command = state.scratchPath;
    if (!formatText(command, scratchCapacity, "\"%s\\regsvr32.exe\" /u /s \"%s\\%s\"", dir, dir,
                    moduleName))
        return false;
    plat::runAndWait(command, plat::swShow, registrationTimeout);
    return true;
}

// The native module is reached only with redirection off; where it cannot be switched off the
// module is left to the key removal that follows.
bool unregisterNativeModule() {
    int wow64 = 0;
    if (!plat::isWow64Process(wow64) || wow64 == 0) return false;
    void* oldValue = nullptr;
    if (plat::disableWow64FsRedirection(&oldValue) != 1) return false;
    char systemDir[dirCapacity];
    bool ran = plat::getSystemDirectory(systemDir, sizeof systemDir) != 0 &&
               unregisterModule(systemDir, "vornsrf6.dll", plat::RegView::native64);
    plat::revertWow64FsRedirection(oldValue);
    return ran;
}

struct Tally {
    int removed = 0;
    bool failed = false;
    void add(long status) {
        if (status == plat::regOk) ++removed;
        else if (status != plat::regFileNotFound) failed = true;
    }
    int result() const { return failed ? -1 : removed; }
};

constexpr uint32_t valueNameCapacity = 256;
constexpr int copyDepth = 8;

// Every value of `from` into `to`, type and bytes exactly; false at the first that fails.
bool copyValues(plat::RegKey from, plat::RegKey to) {
    for (uint32_t index = 0;; ++index) {
        char name[valueNameCapacity];
        uint32_t nameLength = sizeof name;
        uint32_t type = plat::regNone;
        uint32_t size = 0;
        long status = plat::regEnumValue(from, index, name, &nameLength, &type, nullptr, &size);
        if (status == plat::regNoMoreItems) return true;
        if (status != plat::regOk) return false;
        std::vector<char> data(size > 0 ? size : 1);
        uint32_t read = size;
        if (plat::regQueryValue(from, name, &type, data.data(), &read) != plat::regOk ||
            plat::regSetValue(to, name, type, data.data(), read) != plat::regOk)
            return false;
    }
}

// The key `from` below `parent` as `to`, with its values and subkeys.
bool copyTree(plat::RegKey parent, const char* from, const char* to, int depth) {
    ScopedKey source;
    ScopedKey target;
    if (depth > copyDepth || !plat::openKey(parent, from, RegAccess::read, source) ||
        !plat::createKey(parent, to, target) || !copyValues(source.get(), target.get()))
        return false;
    for (uint32_t index = 0;; ++index) {
        char name[valueNameCapacity];
        uint32_t length = sizeof name;
        long status = plat::regEnumKey(source.get(), index, name, &length);
        if (status == plat::regNoMoreItems) return true;
        if (status != plat::regOk) return false;
        char fromChild[dirCapacity];
        if (!formatText(fromChild, sizeof fromChild, "%s\\%s", from, name)) return false;
        char toChild[dirCapacity];
        if (!formatText(toChild, sizeof toChild, "%s\\%s", to, name)) return false;
        if (!copyTree(parent, fromChild, toChild, depth + 1)) return false;
    }
}

// An item keeps its values and subkeys under its new number; a move that cannot be completed
// leaves the item where it was.
bool moveItem(plat::RegKey list, const char* from, const char* to) {
    if (copyTree(list, from, to, 0) &&
        plat::regDeleteTree(list, from, plat::RegView::process) == plat::regOk)
        return true;
    plat::regDeleteTree(list, to, plat::RegView::process);
    return false;
}

struct SortItem {
    uint32_t number;
    char name[12];
    bool ours;
};

// Items are named with eight decimal digits; others are no items of the list.
bool itemNumber(const char* name, uint32_t& number) {
    if (std::strlen(name) != 8) return false;
    number = 0;
    for (int i = 0; i < 8; ++i) {
        if (name[i] < '0' || name[i] > '9') return false;
        number = number * 10 + static_cast<uint32_t>(name[i] - '0');
    }
    return true;
}

enum class Item { other, ours, unknown };

Item productItem(plat::RegKey list, const char* name) {
    ScopedKey item;
    char clsid[46];
    long status = plat::regOpenKey(list, name, RegAccess::read, item.receive());
    if (status == plat::regOk) status = readRegistryText(item.get(), "CLSID", clsid, sizeof clsid);
    if (status != plat::regOk) return readFailed(status) ? Item::unknown : Item::other;
    return sameTextIgnoringCase(clsid, productClsid) ? Item::ours : Item::other;
}

// One language's ordering list: the product's items deleted, the others renumbered from
// 00000000 in their order.
void removeFromSortList(plat::RegKey list, Tally& tally) {
    std::vector<SortItem> items;
    bool any = false;
    for (uint32_t index = 0;; ++index) {
        SortItem item{};
        uint32_t length = sizeof item.name;
        long status = plat::regEnumKey(list, index, item.name, &length);
        if (status == plat::regMoreData) continue;
        if (status != plat::regOk) {
            // An ordering that could not be read to its end, or an item that could not be
            // read, may hold the product still.
            if (status != plat::regNoMoreItems) tally.failed = true;
            break;
        }
        if (!itemNumber(item.name, item.number)) continue;
        Item kind = productItem(list, item.name);
        if (kind == Item::unknown) tally.failed = true;
        item.ours = kind == Item::ours;
        any = any || item.ours;
        items.push_back(item);
    }
    if (!any) return;
    std::sort(items.begin(), items.end(),
              [](const SortItem& a, const SortItem& b) { return a.number < b.number; });
    std::vector<SortItem> kept;
    for (const SortItem& item : items) {
        long status = item.ours ? plat::regDeleteTree(list, item.name, plat::RegView::process)
                                : plat::regFileNotFound;
        tally.add(status);
        // What could not be deleted keeps its place in the order.
        if (status != plat::regOk) kept.push_back(item);
    }
    uint32_t next = 0;
    for (const SortItem& item : kept) {
        if (item.number != next) {
            char name[12];
            formatText(name, sizeof name, "%08u", static_cast<unsigned>(next));
            if (!moveItem(list, item.name, name)) {
                tally.failed = true;
                return;
            }
        }
        ++next;
    }
}

// A list we may not change is nothing to do only when it is known to hold nothing of ours.
bool withoutProduct(plat::RegKey languages, const char* path) {
    ScopedKey list;
    if (!plat::openKey(languages, path, RegAccess::read, list)) return false;
    for (uint32_t index = 0;; ++index) {
        char name[valueNameCapacity];
        uint32_t length = sizeof name;
        long status = plat::regEnumKey(list.get(), index, name, &length);
        if (status == plat::regMoreData) continue;
        if (status != plat::regOk) return status == plat::regNoMoreItems;
        uint32_t number = 0;
        if (itemNumber(name, number) && productItem(list.get(), name) != Item::other) return false;
    }
}

void removeFromSortOrder(Tally& tally) {
    ScopedKey languages;
    long status = plat::regOpenKey(plat::hkeyCurrentUser, assemblyItemsKey, RegAccess::read,
                                   languages.receive());
    if (status == plat::regFileNotFound) return;
    if (status != plat::regOk) {
        tally.failed = true;
        return;
    }
    for (uint32_t index = 0;; ++index) {
        char language[valueNameCapacity];
        uint32_t length = sizeof language;
        status = plat::regEnumKey(languages.get(), index, language, &length);
        if (status == plat::regMoreData) continue;
        if (status != plat::regOk) {
            if (status != plat::regNoMoreItems) tally.failed = true;
            break;
        }
        char path[dirCapacity];
        if (!formatText(path, sizeof path, "%s\\%s", language, keyboardCategory)) continue;
        ScopedKey list;
        status = plat::regOpenKey(languages.get(), path, RegAccess::all, list.receive());
        if (status == plat::regOk) removeFromSortList(list.get(), tally);
        else if (status != plat::regFileNotFound && !withoutProduct(languages.get(), path))
            tally.failed = true;
    }
}

}  // namespace

std::u16string productProfileIds() {
    const char* language = state.oemCodePage == 950 ? "0x00000404" : "0x00000804";
    char key[200];
    std::u16string ids;
    ScopedKey profiles;
    if (!formatText(key, sizeof key, "%s\\LanguageProfile\\%s", tipKey, language) ||
        !plat::openKey(plat::hkeyLocalMachine, key, RegAccess::read, profiles))
        return ids;
    // Each profile's key is its GUID; anything else is no profile of a text service.
    for (uint32_t index = 0;; ++index) {
        char name[64] = {};
        uint32_t length = sizeof name;
        long status = plat::regEnumKey(profiles.get(), index, name, &length);
        if (status == plat::regMoreData) continue;
        if (status != plat::regOk) break;
        name[sizeof name - 1] = '\0';
        if (std::strlen(name) != clsidLength || name[0] != '{') continue;
        char id[120];
        formatText(id, sizeof id, "0x%s:%s%s", language + 6, productClsid, name);
        if (!ids.empty()) ids += u';';
        for (const char* c = id; *c != '\0'; ++c) ids += static_cast<char16_t>(static_cast<unsigned char>(*c));
    }
    return ids;
}

void enableTextService() {
    std::u16string ids = productProfileIds();
    if (ids.empty()) {
        std::u16string fields[] = {u"text service not enabled: no language profile registered"};
        logFields(fields, 1);
        return;
    }
    int result = plat::installLayoutOrTip(ids.c_str(), 0);
    // Without input.dll's function (Windows XP, Wine) the ordering item is what there is.
    std::u16string fields[] = {result == 1   ? u"text service enabled"
                               : result == 0 ? u"text service not enabled"
                                             : u"text service not enabled: input.dll has no InstallLayoutOrTip",
                               ids};
    logFields(fields, 2);
    if (result == 0) noteOutcome(exitModuleFailed);
}

bool disableTextService(const std::u16string& ids) {
    std::vector<plat::EnabledInput> enabled;
    if (!plat::enabledInputs(enabled)) return plat::installLayoutOrTip(ids.c_str(), plat::ilotUninstall) != 0;
    auto ours = [&](const std::u16string& id) { return !id.empty() && ids.find(id) != std::u16string::npos; };
    bool wasDefault = false;
    for (const plat::EnabledInput& input : enabled) wasDefault |= input.isDefault && ours(input.id);
    if (wasDefault)
        for (const plat::EnabledInput& input : enabled)
            if (!ours(input.id) && plat::setDefaultInput(input.id.c_str())) break;
    return plat::installLayoutOrTip(ids.c_str(), plat::ilotUninstall) != 0;
}

int removeFromUserSortOrder() {
    Tally tally;
    removeFromSortOrder(tally);
    return tally.result();
}

int unregisterTextService() {
    Tally tally;
    // Before the modules' own unregistration takes the profiles' keys away.
    std::u16string ids = productProfileIds();
    if (!ids.empty() && !disableTextService(ids)) tally.failed = true;
    bool sixtyFour = is64BitWindows();
    if (sixtyFour) {
        char windowsDir[dirCapacity];
        char sysWow64Dir[dirCapacity];
        sysWow64Dir[0] = '\0';
        if (plat::getWindowsDirectory(windowsDir, sizeof windowsDir) != 0)
            formatText(sysWow64Dir, sizeof sysWow64Dir, "%s\\syswow64", windowsDir);
        if (unregisterModule(sysWow64Dir, "vornsrf.dll", plat::RegView::process)) ++tally.removed;
        if (unregisterNativeModule()) ++tally.removed;
    } else {
        char systemDir[dirCapacity];
        if (plat::getSystemDirectory(systemDir, sizeof systemDir) != 0 &&
            unregisterModule(systemDir, "vornsrf.dll", plat::RegView::process))
            ++tally.removed;
    }
    // What a module left, or a module that is gone could not remove: the text-service key is
    // one for both views, the COM class one in each.
    for (const char* key : {tipKey, classKey}) {
        tally.add(plat::regDeleteTree(plat::hkeyLocalMachine, key, plat::RegView::process));
        if (sixtyFour)
            tally.add(plat::regDeleteTree(plat::hkeyLocalMachine, key, plat::RegView::native64));
    }
    removeFromSortOrder(tally);
    return tally.result();
}
