#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/ipc.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "tests/contract/contract.h"

namespace contract {

void Result::fail(int line, const std::string& what) {
    failures_.push_back("line " + std::to_string(line) + ": " + what);
}

std::string Result::show(uint64_t number) {
    char text[48];
    std::snprintf(text, sizeof text, "%llu (0x%llX)", static_cast<unsigned long long>(number),
                  static_cast<unsigned long long>(number));
    return text;
}

std::string Result::show(const std::string& text) {
    std::string shown = "\"";
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            shown += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            shown += escaped;
        }
    }
    return shown + "\"";
}

std::string Result::show(const std::u16string& text) {
    std::string shown = "u\"";
    for (char16_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != u'"' && c != u'\\') {
            shown += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
            shown += escaped;
        }
    }
    return shown + "\"";
}

std::string Result::show(const void* pointer) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", pointer);
    return text;
}

namespace {

using plat::RegAccess;
using plat::ScopedKey;

constexpr const char* scratch = "C:\\vorncontract";

// A fresh folder of the case's own below the scratch folder.
std::string folder(const char* name) {
    plat::createDirectory(scratch);
    std::string path = std::string(scratch) + "\\" + name;
    plat::createDirectory(path.c_str());
    return path;
}

bool writeText(const std::string& path, const std::string& text, int attributes = 0) {
    plat::FileHandle file = plat::lcreat(path.c_str(), attributes);
    if (file == plat::fileError) return false;
    unsigned written = plat::lwrite(file, text.data(), static_cast<unsigned>(text.size()));
    plat::lclose(file);
    return written == text.size();
}

// The file's bytes (the first 4 KB), or nothing when it cannot be opened for reading.
std::optional<std::string> readText(const std::string& path) {
    plat::FileHandle file = plat::lopen(path.c_str(), plat::ofRead);
    if (file == plat::fileError) return std::nullopt;
    char buffer[4096];
    unsigned got = plat::lread(file, buffer, sizeof buffer);
    plat::lclose(file);
    if (got == plat::ioError) return std::nullopt;
    return std::string(buffer, got);
}

// Absent means the lookup said so, not that it failed for another reason.
bool absent(const std::string& path) {
    return plat::getFileAttributes(path.c_str()) == plat::invalidAttributes &&
           plat::getLastError() == plat::errorFileNotFound;
}

// _lcreat and _lopen for writing refuse the file; a handle they give anyway is closed again.
bool refusesCreate(const std::string& path) {
    plat::FileHandle file = plat::lcreat(path.c_str(), 0);
    if (file == plat::fileError) return true;
    plat::lclose(file);
    return false;
}

bool refusesWriting(const std::string& path) {
    plat::FileHandle file = plat::lopen(path.c_str(), plat::ofWrite);
    if (file == plat::fileError) return true;
    plat::lclose(file);
    return false;
}

bool present(const std::string& path) {
    return plat::getFileAttributes(path.c_str()) != plat::invalidAttributes;
}

bool wow64() {
    int wow64 = 0;
    return plat::isWow64Process(wow64) && wow64 != 0;
}

std::string windowsDir() {
    char dir[260];
    return plat::getWindowsDirectory(dir, sizeof dir) != 0 ? dir : "";
}

std::string systemDir() {
    char dir[260];
    return plat::getSystemDirectory(dir, sizeof dir) != 0 ? dir : "";
}

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// RegOpenKeyExA through the setup's own view, closed at once.
long openStatus(plat::RegKey root, const std::string& path) {
    plat::RegKey key = plat::noKey;
    long status = plat::regOpenKey(root, path.c_str(), RegAccess::read, &key);
    if (status == plat::regOk) plat::regCloseKey(key);
    return status;
}

bool createWithText(plat::RegKey root, const std::string& path, const char* text) {
    ScopedKey key;
    return plat::createKey(root, path.c_str(), key) &&
           plat::regSetText(key.get(), "contract", text) == plat::regOk;
}

std::string readValue(plat::RegKey root, const std::string& path) {
    ScopedKey key;
    if (!plat::openKey(root, path.c_str(), RegAccess::read, key)) return "<no key>";
    char data[64];
    uint32_t size = sizeof data;
    uint32_t type = 0;
    if (plat::regQueryValue(key.get(), "contract", &type, data, &size) != plat::regOk)
        return "<no value>";
    // NT may count a terminator after the text; the text is what the program wrote.
    std::string text(data, size);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

// --- files ---

void busyModule(Side& side, Result& result) {
    std::string dir = folder("busy");
    std::string module = dir + "\\module.dll";
    std::string aside = dir + "\\module.old";
    std::string replacement = dir + "\\new.dll";
    CONTRACT_CHECK(writeText(replacement, "replacement"));
    if (!side.placeLoadedModule(module.c_str())) {
        result.fail(__LINE__, "the module could not be placed and loaded");
        return;
    }
    CONTRACT_CHECK(!plat::deleteFile(module.c_str()));
    CONTRACT_CHECK(refusesCreate(module));
    CONTRACT_EQ(plat::lastError(), plat::errorSharingViolation);
    CONTRACT_CHECK(refusesWriting(module));
    CONTRACT_EQ(plat::lastError(), plat::errorSharingViolation);
    CONTRACT_CHECK(!plat::copyFile(replacement.c_str(), module.c_str()));
    CONTRACT_EQ(plat::lastError(), plat::errorSharingViolation);
    CONTRACT_CHECK(!plat::moveFileReplacing(replacement.c_str(), module.c_str()));
    // Refused, and untouched: nothing truncated it on the way.
    std::optional<std::string> bytes = readText(module);
    CONTRACT_CHECK(bytes.has_value() && bytes->compare(0, 2, "MZ") == 0);

    // It can be moved aside, stays in use under its new name, and frees its old one.
    CONTRACT_CHECK(plat::moveFile(module.c_str(), aside.c_str()));
    CONTRACT_CHECK(absent(module));
    CONTRACT_CHECK(!plat::deleteFile(aside.c_str()));
    CONTRACT_CHECK(writeText(module, "fresh"));
    CONTRACT_EQ(readText(module).value_or("<unreadable>"), std::string("fresh"));
}

// FILE_ATTRIBUTE_READONLY: "Applications can read the file, but cannot write to it or delete
// it" ("File Attribute Constants",
// https://learn.microsoft.com/en-us/windows/win32/fileio/file-attribute-constants); CopyFile
// "fails with ERROR_ACCESS_DENIED if the destination file already exists and has the ...
// FILE_ATTRIBUTE_READONLY attribute set" ("CopyFile function",
// https://learn.microsoft.com/en-us/windows/win32/api/winbase/nf-winbase-copyfile); DeleteFile
// of a read-only file "fails with ERROR_ACCESS_DENIED" ("DeleteFileA function",
// https://learn.microsoft.com/en-us/windows/win32/api/fileapi/nf-fileapi-deletefilea).
// Wine refuses the deletion itself but leaves writing to the Unix permission it gives the
// file, which the root user passes: a side run as root says so, and there the writes are not
// held.
void readOnlyFile(Side& side, Result& result) {
    std::string dir = folder("readonly");
    std::string path = dir + "\\locked.txt";
    std::string other = dir + "\\other.txt";
    CONTRACT_CHECK(writeText(other, "other"));
    CONTRACT_CHECK(writeText(path, "kept", plat::attrReadOnly));
    CONTRACT_EQ(plat::getFileAttributes(path.c_str()), plat::attrArchive | plat::attrReadOnly);

    if (side.readOnlyRefusesWrites()) {
        CONTRACT_CHECK(refusesCreate(path));
        CONTRACT_EQ(plat::lastError(), plat::errorAccessDenied);
        CONTRACT_CHECK(refusesWriting(path));
        CONTRACT_EQ(plat::lastError(), plat::errorAccessDenied);
        CONTRACT_CHECK(!plat::copyFile(other.c_str(), path.c_str()));
        CONTRACT_EQ(plat::lastError(), plat::errorAccessDenied);
    }
    CONTRACT_CHECK(!plat::deleteFile(path.c_str()));
    CONTRACT_EQ(plat::lastError(), plat::errorAccessDenied);
    CONTRACT_EQ(readText(path).value_or("<unreadable>"), std::string("kept"));
    // A copy carries the source's attributes (the same CopyFile page).
    std::string copy = dir + "\\copy.txt";
    CONTRACT_CHECK(plat::copyFile(path.c_str(), copy.c_str()));
    CONTRACT_EQ(plat::getFileAttributes(copy.c_str()), plat::attrArchive | plat::attrReadOnly);
    plat::setFileAttributes(copy.c_str(), plat::attrArchive);

    // Archive alone clears the protection; then it goes like any file.
    CONTRACT_CHECK(plat::setFileAttributes(path.c_str(), plat::attrArchive));
    CONTRACT_EQ(plat::getFileAttributes(path.c_str()), plat::attrArchive);
    CONTRACT_CHECK(plat::copyFile(other.c_str(), path.c_str()));
    CONTRACT_EQ(readText(path).value_or("<unreadable>"), std::string("other"));
    CONTRACT_CHECK(plat::deleteFile(path.c_str()));
    CONTRACT_CHECK(absent(path));
}

void copiesAndRenames(Side&, Result& result) {
    std::string dir = folder("rename");
    std::string a = dir + "\\a.txt";
    std::string b = dir + "\\b.txt";
    std::string missing = dir + "\\missing.txt";
    CONTRACT_CHECK(writeText(a, "alpha"));
    CONTRACT_CHECK(writeText(b, "beta"));
    CONTRACT_EQ(plat::getFileAttributes(a.c_str()), plat::attrArchive);

    CONTRACT_CHECK(plat::copyFile(a.c_str(), b.c_str()));  // overwriting allowed
    CONTRACT_EQ(readText(b).value_or("<unreadable>"), std::string("alpha"));
    CONTRACT_CHECK(writeText(b, "beta"));

    CONTRACT_CHECK(!plat::moveFile(a.c_str(), b.c_str()));  // a plain rename never replaces
    CONTRACT_EQ(plat::lastError(), plat::errorAlreadyExists);
    CONTRACT_CHECK(plat::moveFileReplacing(a.c_str(), b.c_str()));
    CONTRACT_CHECK(absent(a));
    CONTRACT_EQ(readText(b).value_or("<unreadable>"), std::string("alpha"));

    CONTRACT_CHECK(!plat::copyFile(missing.c_str(), a.c_str()));
    CONTRACT_EQ(plat::lastError(), plat::errorFileNotFound);
    CONTRACT_CHECK(!plat::moveFile(missing.c_str(), a.c_str()));
    CONTRACT_EQ(plat::lastError(), plat::errorFileNotFound);
    CONTRACT_CHECK(!plat::deleteFile(missing.c_str()));
    CONTRACT_EQ(plat::lastError(), plat::errorFileNotFound);
    CONTRACT_CHECK(!plat::deleteFile(dir.c_str()));  // a directory is no file
    CONTRACT_EQ(plat::lastError(), plat::errorAccessDenied);
    CONTRACT_EQ(plat::lcreat((dir + "\\nowhere\\c.txt").c_str(), 0), plat::fileError);
    CONTRACT_EQ(plat::lastError(), plat::errorPathNotFound);
}

// --- WOW64 file-system redirection ---

void system32SeenAsSysWow64(Side&, Result& result) {
    std::string system = systemDir();
    std::string sysWow64 = windowsDir() + "\\SysWOW64";
    // Whatever the process, the system directory is named system32.
    CONTRACT_CHECK(endsWith(lower(system), "\\system32"));
    std::string name = "\\vorncontract-redirected.txt";
    CONTRACT_CHECK(writeText(system + name, "through system32"));
    CONTRACT_EQ(readText(system + name).value_or("<unreadable>"), std::string("through system32"));
    if (wow64()) {
        CONTRACT_EQ(plat::getNativeProcessorArchitecture(), plat::archAmd64);
        CONTRACT_EQ(readText(sysWow64 + name).value_or("<unreadable>"),
                    std::string("through system32"));
    } else {
        CONTRACT_EQ(plat::getNativeProcessorArchitecture(), plat::archIntel);
        CONTRACT_CHECK(absent(sysWow64));  // 32-bit Windows has no SysWOW64
    }
    plat::deleteFile((system + name).c_str());
}

void redirectionOffReachesNativeSystem32(Side&, Result& result) {
    // Without WOW64 there is nothing to switch off (the setup asks IsWow64Process first).
    if (!wow64()) return;
    std::string system = systemDir();
    std::string sysWow64 = windowsDir() + "\\SysWOW64";
    std::string seen32 = "\\vorncontract-32.txt";
    std::string native = "\\vorncontract-64.txt";
    CONTRACT_CHECK(writeText(system + seen32, "32"));

    void* old = nullptr;
    CONTRACT_EQ(plat::disableWow64FsRedirection(&old), 1);
    CONTRACT_CHECK(absent(system + seen32));  // the native system32 is another directory
    CONTRACT_CHECK(present(sysWow64 + seen32));
    CONTRACT_CHECK(writeText(system + native, "64"));
    plat::revertWow64FsRedirection(old);

    CONTRACT_CHECK(absent(system + native));
    CONTRACT_CHECK(absent(sysWow64 + native));
    CONTRACT_CHECK(present(system + seen32));
    plat::deleteFile((system + seen32).c_str());
    if (plat::disableWow64FsRedirection(&old) == 1) {
        plat::deleteFile((system + native).c_str());
        plat::revertWow64FsRedirection(old);
    }
}

// --- WOW64 registry redirection ---

void softwareRedirectedToWow6432Node(Side& side, Result& result) {
    const std::string key = "Software\\VornContract\\Redirected";
    CONTRACT_CHECK(createWithText(plat::hkeyLocalMachine, key, "32-bit"));
    CONTRACT_EQ(readValue(plat::hkeyLocalMachine, key), std::string("32-bit"));
    if (wow64()) {
        CONTRACT_EQ(side.openNativeKey(plat::hkeyLocalMachine,
                                       "SOFTWARE\\Wow6432Node\\VornContract\\Redirected"),
                    plat::regOk);
        CONTRACT_EQ(side.openNativeKey(plat::hkeyLocalMachine, "SOFTWARE\\VornContract"),
                    plat::regFileNotFound);
        // And what a 64-bit program writes there stays out of the setup's sight.
        CONTRACT_CHECK(side.createNativeKey(plat::hkeyLocalMachine, "SOFTWARE\\VornContract64"));
        CONTRACT_EQ(openStatus(plat::hkeyLocalMachine, "Software\\VornContract64"),
                    plat::regFileNotFound);
    } else {
        CONTRACT_EQ(
            side.openNativeKey(plat::hkeyLocalMachine, "SOFTWARE\\VornContract\\Redirected"),
            plat::regOk);
        CONTRACT_EQ(
            side.openNativeKey(plat::hkeyLocalMachine, "SOFTWARE\\Wow6432Node\\VornContract"),
            plat::regFileNotFound);
    }
}

void oneViewOutsideHklmSoftware(Side& side, Result& result) {
    CONTRACT_CHECK(createWithText(plat::hkeyCurrentUser, "Software\\VornContract", "user"));
    CONTRACT_CHECK(createWithText(plat::hkeyLocalMachine, "System\\VornContract", "system"));
    CONTRACT_EQ(side.openNativeKey(plat::hkeyCurrentUser, "Software\\VornContract"), plat::regOk);
    CONTRACT_EQ(side.openNativeKey(plat::hkeyLocalMachine, "System\\VornContract"), plat::regOk);
    CONTRACT_EQ(side.openNativeKey(plat::hkeyCurrentUser, "Software\\Wow6432Node\\VornContract"),
                plat::regFileNotFound);
}

// Microsoft's "Registry Keys Affected by WOW64"
// (https://learn.microsoft.com/en-us/windows/win32/winprog64/shared-registry-keys) lists
// HKLM\SOFTWARE\Microsoft\CTF\TIP and CTF\SystemShared as shared by both views, on Windows 7
// and later as on Vista and XP x64: one key, whichever bitness writes it. The rest of CTF is
// redirected with SOFTWARE; Wine shares the whole CTF key, so only the two listed keys are
// held to it here.
void textServiceKeysShared(Side& side, Result& result) {
    const std::string service =
        "SOFTWARE\\Microsoft\\CTF\\TIP\\{0C0A7B1E-5A17-4C43-9D3B-6E2F1A8C0001}";
    const std::string item = service + "\\Category\\Item";
    CONTRACT_CHECK(createWithText(plat::hkeyLocalMachine, item, "tip"));
    CONTRACT_EQ(side.openNativeKey(plat::hkeyLocalMachine, item), plat::regOk);
    // Below a key opened for reading, as the setup writes the categories.
    {
        ScopedKey parent;
        ScopedKey child;
        CONTRACT_CHECK(
            plat::openKey(plat::hkeyLocalMachine, item.c_str(), RegAccess::read, parent));
        CONTRACT_CHECK(
            plat::createKey(parent.get(), "{0C0A7B1E-5A17-4C43-9D3B-6E2F1A8C0002}", child));
    }
    CONTRACT_EQ(side.openNativeKey(plat::hkeyLocalMachine,
                                   item + "\\{0C0A7B1E-5A17-4C43-9D3B-6E2F1A8C0002}"),
                plat::regOk);

    const std::string shared = "SOFTWARE\\Microsoft\\CTF\\SystemShared\\VornContract";
    CONTRACT_CHECK(createWithText(plat::hkeyLocalMachine, shared, "shared"));
    CONTRACT_EQ(side.openNativeKey(plat::hkeyLocalMachine, shared), plat::regOk);

    // What a 64-bit module registers is there for the 32-bit setup.
    const std::string native =
        "SOFTWARE\\Microsoft\\CTF\\TIP\\{0C0A7B1E-5A17-4C43-9D3B-6E2F1A8C0064}\\Category";
    CONTRACT_CHECK(side.createNativeKey(plat::hkeyLocalMachine, native));
    CONTRACT_EQ(openStatus(plat::hkeyLocalMachine, native), plat::regOk);
}

// --- message boxes ---

struct Box {
    std::u16string text;
    std::u16string caption;
    unsigned type = 0;
};
std::vector<Box> boxes;

int answerBox(const char16_t* text, const char16_t* caption, unsigned type) {
    boxes.push_back({text, caption, type});
    return type == plat::mbYesNo ? plat::idNo : plat::idOk;
}

void messageBoxesReachTheSink(Side&, Result& result) {
    boxes.clear();
    plat::setMessageSink(answerBox);
    // The 8-bit texts are GBK whatever the code page; the sink gets them in UTF-16.
    int first = plat::messageBoxA("是否保留已学习的词？", "智能Marl安装", plat::mbYesNo);
    int second = plat::messageBoxW(u"安装完成", u"智能Marl", plat::mbOk);
    plat::setMessageSink(nullptr);
    CONTRACT_EQ(first, plat::idNo);
    CONTRACT_EQ(second, plat::idOk);
    CONTRACT_EQ(boxes.size(), 2u);
    if (boxes.size() != 2) return;
    CONTRACT_EQ(boxes[0].text, std::u16string(u"是否保留已学习的词？"));
    CONTRACT_EQ(boxes[0].caption, std::u16string(u"智能Marl安装"));
    CONTRACT_EQ(boxes[0].type, plat::mbYesNo);
    CONTRACT_EQ(boxes[1].text, std::u16string(u"安装完成"));
    CONTRACT_EQ(boxes[1].caption, std::u16string(u"智能Marl"));
    CONTRACT_EQ(boxes[1].type, plat::mbOk);
}

// --- other programs: windows and shared memory ---

constexpr const char* windowClass = "VornContractWindow";

struct Sighting {
    int visits = 0;
    int matches = 0;
    plat::WindowHandle found = nullptr;
};

bool countOurs(plat::WindowHandle window, void* context) {
    Sighting& sighting = *static_cast<Sighting*>(context);
    ++sighting.visits;
    char name[64];
    plat::getClassName(window, name, sizeof name);
    if (std::strcmp(name, windowClass) == 0) {
        ++sighting.matches;
        sighting.found = window;
    }
    return true;
}

bool stopAtFirst(plat::WindowHandle, void* context) {
    ++static_cast<Sighting*>(context)->visits;
    return false;
}

void windowEnumeration(Side& side, Result& result) {
    void* window = side.openWindow(windowClass, u"合同窗口");
    if (window == nullptr) {
        result.fail(__LINE__, "the window could not be made");
        return;
    }
    Sighting seen;
    plat::enumWindows(countOurs, &seen);
    CONTRACT_EQ(seen.matches, 1);
    CONTRACT_EQ(seen.found, window);
    Sighting stopped;
    plat::enumWindows(stopAtFirst, &stopped);
    CONTRACT_EQ(stopped.visits, 1);

    char name[64];
    CONTRACT_EQ(plat::getClassName(window, name, sizeof name), std::strlen(windowClass));
    CONTRACT_EQ(std::string(name), std::string(windowClass));
    char cut[5];
    CONTRACT_EQ(plat::getClassName(window, cut, sizeof cut), 4u);
    CONTRACT_EQ(std::string(cut), std::string("Vorn"));
    char16_t title[16];
    CONTRACT_EQ(plat::getWindowText(window, title, 16), 4u);
    CONTRACT_EQ(std::u16string(title), std::u16string(u"合同窗口"));
    CONTRACT_EQ(plat::getParent(window), static_cast<plat::WindowHandle>(nullptr));
    CONTRACT_EQ(plat::findWindow(windowClass), window);
    CONTRACT_CHECK(plat::isWindow(window));

    side.closeWindow(window);
    CONTRACT_CHECK(!plat::isWindow(window));
    CONTRACT_EQ(plat::findWindow(windowClass), static_cast<plat::WindowHandle>(nullptr));
    Sighting after;
    plat::enumWindows(countOurs, &after);
    CONTRACT_EQ(after.matches, 0);
}

void namedFileMapping(Side& side, Result& result) {
    const char* name = "VornContractMapping";
    CONTRACT_CHECK(!plat::fileMappingExists(name));
    CONTRACT_CHECK(side.openMapping(name));
    CONTRACT_CHECK(plat::fileMappingExists(name));
    CONTRACT_CHECK(!plat::fileMappingExists("VornContractMapping2"));
    side.closeMapping(name);
    CONTRACT_CHECK(!plat::fileMappingExists(name));
}

}  // namespace

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        {"BusyModuleRenamesButRefusesDeleteAndOverwrite",
         "a loaded module cannot be deleted, overwritten or replaced, and is left intact; it can "
         "be renamed, stays in use under the new name, and its old name is free",
         busyModule},
        {"ReadOnlyBlocksCreateCopyOverAndDeleteUntilArchive",
         "a file created read-only reports archive|read-only and refuses _lcreat, opening for "
         "writing, copying over and deleting (access denied); archive alone clears it",
         readOnlyFile},
        {"CopiesOverwriteRenamesDoNot",
         "a new file is archive; copying overwrites, a plain rename refuses an existing target "
         "(already exists), a replacing one replaces; missing files, directories and paths fail "
         "with their codes",
         copiesAndRenames},
        {"System32IsSysWow64ForA32BitProcess",
         "the system directory is named system32; on 64-bit Windows (native AMD64) a file written "
         "there by the 32-bit process is in SysWOW64; 32-bit Windows (Intel) has no SysWOW64",
         system32SeenAsSysWow64},
        {"RedirectionOffReachesTheNativeSystem32",
         "on 64-bit Windows, with file-system redirection off system32 is the native directory, "
         "and reverting restores the redirection",
         redirectionOffReachesNativeSystem32},
        {"HklmSoftwareIsRedirectedToWow6432Node",
         "HKLM\\Software written by the 32-bit process lands below Wow6432Node in the native view "
         "of 64-bit Windows, and native keys there stay out of its sight",
         softwareRedirectedToWow6432Node},
        {"OneViewOutsideHklmSoftware",
         "HKCU\\Software and HKLM\\System are the same keys in the native view",
         oneViewOutsideHklmSoftware},
        {"TextServiceKeysAreSharedByBothViews",
         "HKLM\\SOFTWARE\\Microsoft\\CTF\\TIP and CTF\\SystemShared are one key for both views, "
         "written from either side, also below a handle",
         textServiceKeysShared},
        {"MessageBoxesGoToTheSink",
         "with a sink set, message boxes (GBK and UTF-16 texts) reach it as UTF-16 and its "
         "answer is returned",
         messageBoxesReachTheSink},
        {"EnumerationSeesAnotherProgramsWindow",
         "a top-level window is enumerated, found by class, named (class cut to the capacity, "
         "title), has no parent, and is gone once closed; a visitor answering false stops",
         windowEnumeration},
        {"NamedFileMappingExistsWhileOpen",
         "a named mapping is found by its name while it is open, and not by another name or "
         "once closed",
         namedFileMapping},
    };
    return all;
}

}  // namespace contract
