#include "registration/system_entries.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "common/install_state.h"
#include "common/locations.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "registration/keyboard_layout.h"
#include "registration/registry_text.h"

namespace {

using plat::RegAccess;
using plat::ScopedKey;

constexpr const char* markerName = "qvtk8800";
constexpr const char* layoutsValue = "KeyboardLayouts";
constexpr const char* uninstallEntryKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vornqwb8";
constexpr const char* companionKey = "SOFTWARE\\vornel8";
constexpr const char* runKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* postPlatformKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent\\"
    "Post Platform";

// Where a value of the uninstall entry comes from.
enum class Source {
    text,           // the text as given
    windowsDir,     // before + the Windows directory + after
    installDir,     // the install directory
    estimatedSize,  // REG_DWORD: the installed files' size in KB
    repairCommand,  // before + the install directory + after, when the repair program is there
    noRepair,       // REG_DWORD 1, when it is not
};

struct EntryValue {
    const char16_t* name;
    Source source;
    const char16_t* before;
    const char16_t* after;
};

// The uninstall entry, one value a line, in the order written.
constexpr EntryValue entryValues[] = {
    {u"DisplayName", Source::text, u"智能Marl8", nullptr},
    {u"UninstallString", Source::windowsDir, u"", u"\\vorndel8.exe"},
    {u"DisplayVersion", Source::text, u"9.0", nullptr},
    {u"Publisher", Source::text, u"Vornel 智能Marl软件", nullptr},
    {u"DisplayIcon", Source::windowsDir, u"", u"\\vorndel8.exe,0"},
    {u"InstallLocation", Source::installDir, nullptr, nullptr},
    {u"EstimatedSize", Source::estimatedSize, nullptr, nullptr},
    {u"QuietUninstallString", Source::windowsDir, u"\"", u"\\vorndel8.exe\" /S"},
    {u"URLInfoAbout", Source::text, u"http://www.vornel.com", nullptr},
    // ModifyPath, or NoModify and NoRepair, as the repair program is there or not: NoModify
    // would disable the very button of Windows' list of programs that runs ModifyPath.
    {u"ModifyPath", Source::repairCommand, u"\"", u"vornsetup.exe\" /REPAIR"},
    {u"NoModify", Source::noRepair, nullptr, nullptr},
    {u"NoRepair", Source::noRepair, nullptr, nullptr},
};

constexpr int listingDepth = 8;
constexpr size_t pathCapacity = dirCapacity + 270;  // a directory and a file name of MAX_PATH

uint64_t fileBytes(const char* path) {
    plat::FileHandle file = plat::lopen(path, plat::ofRead);
    if (file == plat::fileError) return 0;
    long size = plat::llseek(file, 0, plat::seekEnd);
    plat::lclose(file);
    return size > 0 ? static_cast<uint64_t>(size) : 0;
}

// The bytes of the files in `dir` (ending in a backslash) and its subdirectories.
uint64_t directoryBytes(const char* dir, int depth) {
    char pattern[pathCapacity];
    if (!formatText(pattern, sizeof pattern, "%s*", dir)) return 0;
    plat::FindData found;
    plat::FindHandle find = plat::findFirstFile(pattern, found);
    if (find == plat::invalidFind) return 0;
    uint64_t total = 0;
    do {
        if (std::strcmp(found.name, ".") == 0 || std::strcmp(found.name, "..") == 0) continue;
        char path[pathCapacity];
        bool directory = (found.attributes & plat::attrDirectory) != 0;
        if (!formatText(path, sizeof path, directory ? "%s%s\\" : "%s%s", dir, found.name))
            continue;
        if (!directory) total += fileBytes(path);
        else if (depth < listingDepth) total += directoryBytes(path, depth + 1);
    } while (plat::findNextFile(find, found));
    plat::findClose(find);
    return total;
}

uint64_t namedFilesBytes(const char* dir, std::initializer_list<const char*> names) {
    uint64_t total = 0;
    for (const char* name : names) {
        char path[pathCapacity];
        if (dir[0] != '\0' && formatText(path, sizeof path, "%s\\%s", dir, name))
            total += fileBytes(path);
    }
    return total;
}

// The install directory and the modules placed outside it, as they are now, in KB rounded up.
uint32_t estimatedSizeKb() {
    uint64_t total = state.installDir[0] != '\0' ? directoryBytes(state.installDir, 0) : 0;
    char windowsDir[dirCapacity];
    if (plat::getWindowsDirectory(windowsDir, sizeof windowsDir) == 0) windowsDir[0] = '\0';
    total += namedFilesBytes(windowsDir, {"vorndel8.exe"});
    char systemDir[dirCapacity];
    if (!is64BitWindows()) {
        if (plat::getSystemDirectory(systemDir, sizeof systemDir) != 0)
            total += namedFilesBytes(systemDir, {"vornel4.ime", "vornsrf.dll"});
    } else {
        char sysWow64Dir[dirCapacity];
        if (windowsDir[0] != '\0' &&
            formatText(sysWow64Dir, sizeof sysWow64Dir, "%s\\syswow64", windowsDir))
            total += namedFilesBytes(sysWow64Dir, {"vornel4.ime", "vornsrf.dll"});
        // The 64-bit modules only with redirection off; through it they would be counted twice.
        int wow64 = 0;
        void* oldValue = nullptr;
        if (plat::isWow64Process(wow64) && wow64 != 0 &&
            plat::disableWow64FsRedirection(&oldValue) == 1) {
            if (plat::getSystemDirectory(systemDir, sizeof systemDir) != 0)
                total += namedFilesBytes(systemDir, {"vornel4.ime", "vornsrf6.dll"});
            plat::revertWow64FsRedirection(oldValue);
        }
    }
    uint64_t kilobytes = (total + 1023) / 1024;
    return kilobytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(kilobytes);
}

void setNumber(plat::RegKey key, const char16_t* name, uint32_t number) {
    plat::regSetValueW(key, name, plat::regDword, &number, sizeof number);
}

// One value of the entry; a Windows directory that cannot be had (or would not fit) leaves
// out the values made from it rather than name the uninstaller at a drive's root.
// The value names are ASCII: the 8-bit calls take them as they are.
void deleteValueW(plat::RegKey key, const char16_t* name) {
    char narrow[64];
    size_t length = 0;
    for (; name[length] != u'\0' && length + 1 < sizeof narrow; ++length)
        narrow[length] = static_cast<char>(name[length]);
    narrow[length] = '\0';
    plat::regDeleteValue(key, narrow);
}

void writeEntryValue(plat::RegKey entry, const EntryValue& value, bool repairProgramPlaced) {
    switch (value.source) {
        case Source::text:
            plat::regSetTextW(entry, value.name, value.before);
            return;
        case Source::windowsDir: {
            char16_t windowsDir[100];
            if (plat::getWindowsDirectoryW(windowsDir, 100) == 0) return;
            char16_t text[160];
            text[0] = u'\0';
            constexpr size_t capacity = sizeof text / sizeof text[0];
            if (appendWide(text, capacity, value.before) &&
                appendWide(text, capacity, windowsDir) && appendWide(text, capacity, value.after))
                plat::regSetTextW(entry, value.name, text);
            return;
        }
        case Source::installDir: {
            // An 8-bit text: RegSetValueExA stores it as Windows converts it from the code page.
            char name[64];
            size_t length = 0;
            for (; value.name[length] != u'\0' && length + 1 < sizeof name; ++length)
                name[length] = static_cast<char>(value.name[length]);
            name[length] = '\0';
            if (state.installDir[0] != '\0') plat::regSetText(entry, name, state.installDir);
            return;
        }
        case Source::estimatedSize:
            setNumber(entry, value.name, estimatedSizeKb());
            return;
        case Source::noRepair:
            if (!repairProgramPlaced) setNumber(entry, value.name, 1);
            else deleteValueW(entry, value.name);
            return;
        case Source::repairCommand: {
            char command[dirCapacity + 40];
            if (repairProgramPlaced && state.installDir[0] != '\0' &&
                formatText(command, sizeof command, "\"%svornsetup.exe\" /REPAIR", state.installDir)) {
                // 8-bit, like InstallLocation: the directory is a text of the code page.
                plat::regSetText(entry, "ModifyPath", command);
            } else {
                deleteValueW(entry, value.name);
            }
            return;
        }
    }
}

void tallyStatus(long status, int& removed, bool& failed) {
    if (status == plat::regOk) ++removed;
    else if (status != plat::regFileNotFound) failed = true;
}

// One value of a shared key; a key that cannot be opened for writing fails only when the value
// is (or may be) there.
void removeValue(const char* keyPath, const char* valueName, int& removed, bool& failed) {
    ScopedKey key;
    long status = plat::regOpenKey(plat::hkeyLocalMachine, keyPath, RegAccess::all, key.receive());
    if (status == plat::regFileNotFound) return;
    if (status != plat::regOk) {
        ScopedKey readable;
        uint32_t size = 0;
        if (!plat::openKey(plat::hkeyLocalMachine, keyPath, RegAccess::read, readable) ||
            plat::regQueryValue(readable.get(), valueName, nullptr, nullptr, &size) !=
                plat::regFileNotFound)
            failed = true;
        return;
    }
    tallyStatus(plat::regDeleteValue(key.get(), valueName), removed, failed);
}

}  // namespace

bool writeUninstallEntry(bool repairProgramPlaced) {
    ScopedKey entry;
    if (plat::regCreateKeyW(plat::hkeyLocalMachine, u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vornqwb8",
                            entry.receive()) != plat::regOk)
        return false;
    for (const EntryValue& value : entryValues) writeEntryValue(entry.get(), value, repairProgramPlaced);
    // What Windows' list of programs and a deployment tool need of it, read back.
    bool usable = true;
    for (const char* name : {"DisplayName", "UninstallString", "QuietUninstallString"}) {
        uint32_t type = plat::regNone;
        uint32_t size = 0;
        usable = usable && plat::regQueryValue(entry.get(), name, &type, nullptr, &size) == plat::regOk &&
                 type == plat::regSz && size > 2;
    }
    entry.close();
    recordLayouts();
    return usable;
}

void recordLayouts() {
    ScopedKey entry;
    if (!plat::openKey(plat::hkeyLocalMachine, uninstallEntryKey, RegAccess::all, entry)) return;
    char ids[8][layoutIdCapacity];
    size_t count = findProductLayouts(ids, 8);
    char list[8 * layoutIdCapacity] = {};
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) appendText(list, " ");
        appendText(list, ids[i]);
    }
    if (count > 0) plat::regSetText(entry.get(), layoutsValue, list);
    else plat::regDeleteValue(entry.get(), layoutsValue);
}

size_t recordedLayouts(char ids[][layoutIdCapacity], size_t capacity) {
    ScopedKey entry;
    char list[8 * layoutIdCapacity];
    if (!plat::openKey(plat::hkeyLocalMachine, uninstallEntryKey, RegAccess::read, entry) ||
        readRegistryText(entry.get(), layoutsValue, list, sizeof list) != plat::regOk)
        return 0;
    size_t count = 0;
    for (const char* at = list; *at != '\0' && count < capacity;) {
        size_t length = std::strcspn(at, " ");
        bool id = length == 8;
        for (size_t i = 0; id && i < length; ++i) id = std::isxdigit(static_cast<unsigned char>(at[i])) != 0;
        if (id) {
            std::memcpy(ids[count], at, length);
            ids[count++][length] = '\0';
        }
        at += length;
        while (*at == ' ') ++at;
    }
    return count;
}

bool uninstallEntryExists() {
    ScopedKey entry;
    return plat::regOpenKey(plat::hkeyLocalMachine, uninstallEntryKey, RegAccess::read,
                            entry.receive()) != plat::regFileNotFound;
}

int removeSystemEntries(bool keepUninstallEntry) {
    int removed = 0;
    bool failed = false;
    removeValue(runKey, "vrvksjgl", removed, failed);
    removeValue(postPlatformKey, markerName, removed, failed);
    // What the 64-bit companion writes for the 64-bit module, in the native view; the product's
    // own key, so it goes whole (in the process view too, should anything have put it there).
    tallyStatus(plat::regDeleteTree(plat::hkeyLocalMachine, companionKey, plat::RegView::process), removed,
                failed);
    if (is64BitWindows())
        tallyStatus(plat::regDeleteTree(plat::hkeyLocalMachine, companionKey, plat::RegView::native64),
                    removed, failed);
    // The entry last, and only when the rest went: it is what runs the uninstaller again.
    if (!keepUninstallEntry && !failed)
        tallyStatus(plat::regDeleteTree(plat::hkeyLocalMachine, uninstallEntryKey, plat::RegView::process), removed,
                    failed);
    return failed ? -1 : removed;
}

void writeRunValue(const char* commandLine) {
    ScopedKey currentVersion;
    if (!plat::openKey(plat::hkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                       RegAccess::read, currentVersion))
        return;
    ScopedKey run;
    if (!plat::createKey(currentVersion.get(), "Run", run)) return;
    plat::regDeleteValue(run.get(), "vrvksjgl");
    plat::regSetText(run.get(), "vrvksjgl", commandLine != nullptr ? commandLine : "");
}

bool formatRunCommand(char* out, size_t capacity, const char* installDir) {
    return formatText(out, capacity, "\"%svornqvtk.exe\" vr", installDir);
}

void writeUserAgentMarker() {
    ScopedKey userAgent;
    constexpr const char* userAgentKey =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent";
    if (!plat::openKey(plat::hkeyLocalMachine, userAgentKey, RegAccess::all, userAgent))
        return;
    ScopedKey postPlatform;
    if (!plat::createKey(userAgent.get(), "Post Platform", postPlatform)) return;

    // Every marker an earlier version may have left: qvtk6300..qvtk6800, qvtk7000..qvtk7900,
    // qvtk8000..qvtk8900, the current one among them.
    char name[] = "qvtk6300";
    struct Run {
        char fifth, firstSixth, lastSixth;
    };
    for (Run run : {Run{'6', '3', '8'}, Run{'7', '0', '9'}, Run{'8', '0', '9'}}) {
        name[4] = run.fifth;
        for (char sixth = run.firstSixth; sixth <= run.lastSixth; ++sixth) {
            name[5] = sixth;
            plat::regDeleteValue(postPlatform.get(), name);
        }
    }
    plat::regSetValue(postPlatform.get(), markerName, plat::regSz, "", 0);
}
