#include "platform/files.h"

#include <windows.h>
#include <aclapi.h>

#include <cstdint>
#include <cstring>
#include <cwchar>

namespace plat {

namespace {
DWORD lastFileError = 0;

template <class T>
T remember(T result, bool failed) {
    if (failed) lastFileError = GetLastError();
    return result;
}
}  // namespace

FileHandle lcreat(const char* path, int attributes) {
    HFILE file = _lcreat(path, attributes);
    return remember<FileHandle>(file, file == HFILE_ERROR);
}

namespace {

// Administrators, SYSTEM or the user this process runs as (the owner of what it makes, before
// Vista); a file system without owners (FAT) has none to refuse.
bool ownedByUs(HANDLE file) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD read = GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                 nullptr, &descriptor);
    // Windows 9x and file systems without security know no owners.
    if (read == ERROR_CALL_NOT_IMPLEMENTED || read == ERROR_NOT_SUPPORTED) return true;
    if (read != ERROR_SUCCESS) return false;
    bool ours = owner == nullptr;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    PSID system = nullptr;
    if (!ours && AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                          0, 0, 0, &admins))
        ours = EqualSid(owner, admins) != 0;
    if (!ours && AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system))
        ours = EqualSid(owner, system) != 0;
    HANDLE token = nullptr;
    if (!ours && OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        alignas(8) BYTE buffer[256];
        DWORD size = 0;
        if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size))
            ours = EqualSid(owner, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid) != 0;
        CloseHandle(token);
    }
    if (admins != nullptr) FreeSid(admins);
    if (system != nullptr) FreeSid(system);
    LocalFree(descriptor);
    return ours;
}

}  // namespace

FileHandle openOwnFileForWriting(const char* path, bool append) {
    // The name itself is opened, not what a link at it leads to.
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return remember<FileHandle>(fileError, true);
    BY_HANDLE_FILE_INFORMATION info;
    bool plain = GetFileInformationByHandle(file, &info) &&
                 (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
                 info.nNumberOfLinks == 1 && ownedByUs(file);
    if (plain) plain = append ? SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER
                              : SetEndOfFile(file) != 0;
    if (!plain) {
        CloseHandle(file);
        SetLastError(ERROR_ACCESS_DENIED);
        return remember<FileHandle>(fileError, true);
    }
    // On Windows NT an HFILE is the file's handle.
    return remember<FileHandle>(static_cast<FileHandle>(reinterpret_cast<intptr_t>(file)), false);
}

FileHandle openDenyingWriters(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return remember<FileHandle>(fileError, true);
    return static_cast<FileHandle>(reinterpret_cast<intptr_t>(file));
}

FileHandle lopen(const char* path, int mode) {
    HFILE file = _lopen(path, mode);
    return remember<FileHandle>(file, file == HFILE_ERROR);
}

unsigned lread(FileHandle file, void* buffer, unsigned count) {
    return _lread(file, buffer, count);
}

unsigned lwrite(FileHandle file, const void* buffer, unsigned count) {
    return _lwrite(file, static_cast<LPCCH>(buffer), count);
}

long llseek(FileHandle file, long offset, int origin) { return _llseek(file, offset, origin); }

FileHandle lclose(FileHandle file) { return _lclose(file); }

bool createDirectory(const char* path) {
    BOOL ok = CreateDirectoryA(path, nullptr);
    return remember(ok != 0, !ok);
}

bool directoryOpens(const char* path) {
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
}

uint32_t getFileAttributes(const char* path) { return GetFileAttributesA(path); }

bool setFileAttributes(const char* path, uint32_t attributes) {
    BOOL ok = SetFileAttributesA(path, attributes);
    return remember(ok != 0, !ok);
}

bool copyFile(const char* source, const char* target) {
    BOOL ok = CopyFileA(source, target, FALSE);
    return remember(ok != 0, !ok);
}

bool moveFile(const char* source, const char* target) {
    BOOL ok = MoveFileA(source, target);
    return remember(ok != 0, !ok);
}

bool moveFileReplacing(const char* source, const char* target) {
    BOOL ok = MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
        DeleteFileA(target);
        ok = MoveFileA(source, target);
    }
    return remember(ok != 0, !ok);
}

bool deleteFile(const char* path) {
    BOOL ok = DeleteFileA(path);
    return remember(ok != 0, !ok);
}

bool removeDirectory(const char* path) {
    BOOL ok = RemoveDirectoryA(path);
    return remember(ok != 0, !ok);
}

namespace {

bool startsLine(const char* at, const char* text) {
    for (; *text != '\0'; ++at, ++text) {
        char c = *at;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != *text) return false;
    }
    return true;
}

// The 9x family renames and deletes at the next start from WININIT.INI's [rename] section, where
// "NUL=<short path>" deletes. Every entry has the same key, so the profile calls (which keep one
// value a key) cannot add one: the line goes in by hand, after the section's header.
bool scheduleThroughWininit(const char* path) {
    char shortPath[MAX_PATH];
    DWORD shortLength = GetShortPathNameA(path, shortPath, MAX_PATH);
    if (shortLength == 0 || shortLength >= MAX_PATH) return false;
    char iniPath[MAX_PATH];
    UINT dirLength = GetWindowsDirectoryA(iniPath, MAX_PATH - 16);
    if (dirLength == 0 || dirLength >= MAX_PATH - 16) return false;
    lstrcpynA(iniPath + dirLength, "\\wininit.ini", 14);

    constexpr DWORD maximum = 65536;
    static char old[maximum];
    DWORD oldLength = 0;
    HANDLE file = CreateFileA(iniPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        BOOL read = ReadFile(file, old, maximum, &oldLength, nullptr);
        CloseHandle(file);
        // Larger than any the system writes: not rewritten, rather than cut short.
        if (!read || oldLength >= maximum) return false;
    }
    DWORD insertAt = oldLength;
    bool haveSection = false;
    for (DWORD i = 0; i < oldLength; ++i) {
        if ((i == 0 || old[i - 1] == '\n') && i + 8 <= oldLength && startsLine(old + i, "[rename]")) {
            insertAt = i + 8;
            while (insertAt < oldLength && old[insertAt] != '\n') ++insertAt;
            if (insertAt < oldLength) ++insertAt;
            haveSection = true;
            break;
        }
    }
    char line[MAX_PATH + 32];
    int lineLength = wsprintfA(line, "%s%sNUL=%s\r\n",
                               insertAt > 0 && old[insertAt - 1] != '\n' ? "\r\n" : "",
                               haveSection ? "" : "[rename]\r\n", shortPath);
    file = CreateFileA(iniPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, old, insertAt, &written, nullptr) && written == insertAt &&
              WriteFile(file, line, static_cast<DWORD>(lineLength), &written, nullptr) &&
              written == static_cast<DWORD>(lineLength) &&
              WriteFile(file, old + insertAt, oldLength - insertAt, &written, nullptr) &&
              written == oldLength - insertAt;
    CloseHandle(file);
    return ok;
}

}  // namespace

bool scheduleDeleteAtRestart(const char* path) {
    BOOL ok = MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    if (!ok && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) ok = scheduleThroughWininit(path);
    return remember(ok != 0, !ok);
}

namespace {

// A path as recorded for the restart, in the system code page; false when it has no such form
// (then it is nobody's path of ours).
bool ansiPath(const wchar_t* wide, char* out, int capacity) {
    BOOL lossy = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, out, capacity, nullptr, &lossy);
    return length > 0 && !lossy;
}

// NT keeps the list in the Session Manager's value as pairs of texts, "\??\<path>" and the
// target, empty for a delete. The pairs `remove` picks go; the value is written back only then.
template <class Remove>
int editPendingOperations(bool write, Remove&& remove) {
    HKEY key;
    LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                                KEY_QUERY_VALUE | (write ? KEY_SET_VALUE : 0), &key);
    if (opened != ERROR_SUCCESS) return -1;
    const wchar_t* valueName = L"PendingFileRenameOperations";
    DWORD type = 0, size = 0;
    LONG result = RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &size);
    if (result == ERROR_FILE_NOT_FOUND) {
        RegCloseKey(key);
        return 0;
    }
    // Room for the terminators a value written without them lacks.
    DWORD count = size / sizeof(wchar_t) + 2;
    wchar_t* data = result == ERROR_SUCCESS && (type == REG_MULTI_SZ || type == REG_SZ)
                        ? static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, count * sizeof(wchar_t)))
                        : nullptr;
    if (data == nullptr || RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
                               ERROR_SUCCESS) {
        if (data != nullptr) HeapFree(GetProcessHeap(), 0, data);
        RegCloseKey(key);
        return -1;
    }
    DWORD end = size / sizeof(wchar_t);
    DWORD kept = 0;
    int taken = 0;
    for (DWORD at = 0; at < end && data[at] != L'\0';) {
        DWORD source = at;
        while (at < end && data[at] != L'\0') ++at;
        DWORD target = ++at;
        while (at < end && data[at] != L'\0') ++at;
        DWORD next = ++at;
        const wchar_t* path = data + source;
        if (wcsncmp(path, L"\\??\\", 4) == 0) path += 4;
        char ansi[MAX_PATH * 2];
        if (target < end && data[target] == L'\0' && ansiPath(path, ansi, sizeof ansi) && remove(ansi)) {
            ++taken;
            continue;
        }
        DWORD length = (next < end ? next : end) - source;
        std::memmove(data + kept, data + source, length * sizeof(wchar_t));
        kept += length;
    }
    if (taken > 0 && write) {
        data[kept] = L'\0';
        result = kept == 0 ? RegDeleteValueW(key, valueName)
                           : RegSetValueExW(key, valueName, 0, REG_MULTI_SZ, reinterpret_cast<BYTE*>(data),
                                            (kept + 1) * sizeof(wchar_t));
        if (result != ERROR_SUCCESS) taken = -1;
    }
    HeapFree(GetProcessHeap(), 0, data);
    RegCloseKey(key);
    return taken;
}

// The 9x family: the "NUL=<short path>" lines of WININIT.INI's [rename] section, compared in
// their long form where the system has one (Windows 98 on).
template <class Remove>
int editWininit(bool write, Remove&& remove) {
    char iniPath[MAX_PATH];
    UINT dirLength = GetWindowsDirectoryA(iniPath, MAX_PATH - 16);
    if (dirLength == 0 || dirLength >= MAX_PATH - 16) return -1;
    lstrcpynA(iniPath + dirLength, "\\wininit.ini", 14);
    constexpr DWORD maximum = 65536;
    static char text[maximum];
    DWORD length = 0;
    HANDLE file = CreateFileA(iniPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : -1;
    BOOL read = ReadFile(file, text, maximum, &length, nullptr);
    CloseHandle(file);
    if (!read || length >= maximum) return -1;
    using LongPath = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);
    auto longPath = reinterpret_cast<LongPath>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetLongPathNameA")));
    bool inRename = false;
    DWORD kept = 0;
    int taken = 0;
    for (DWORD at = 0; at < length;) {
        DWORD start = at;
        while (at < length && text[at] != '\n') ++at;
        if (at < length) ++at;
        DWORD lineLength = at - start;
        if (text[start] == '[') inRename = lineLength >= 8 && startsLine(text + start, "[rename]");
        if (inRename && lineLength > 4 && startsLine(text + start, "nul=")) {
            char recorded[MAX_PATH];
            DWORD pathLength = lineLength - 4;
            while (pathLength > 0 && (text[start + 4 + pathLength - 1] == '\n' || text[start + 4 + pathLength - 1] == '\r'))
                --pathLength;
            if (pathLength < MAX_PATH) {
                std::memcpy(recorded, text + start + 4, pathLength);
                recorded[pathLength] = '\0';
                char full[MAX_PATH];
                DWORD fullLength = longPath != nullptr ? longPath(recorded, full, MAX_PATH) : 0;
                if (remove(fullLength > 0 && fullLength < MAX_PATH ? full : recorded)) {
                    ++taken;
                    continue;
                }
            }
        }
        std::memmove(text + kept, text + start, lineLength);
        kept += lineLength;
    }
    if (taken > 0 && write) {
        file = CreateFileA(iniPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        bool ok = file != INVALID_HANDLE_VALUE && WriteFile(file, text, kept, &written, nullptr) && written == kept;
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        if (!ok) taken = -1;
    }
    return taken;
}

template <class Remove>
int editDeletesAtRestart(bool write, Remove&& remove) {
    bool nt = (GetVersion() & 0x80000000u) == 0;
    return nt ? editPendingOperations(write, remove) : editWininit(write, remove);
}

}  // namespace

int cancelDeletesAtRestart(bool (*claim)(const char* path, void* context), void* context) {
    return editDeletesAtRestart(true, [&](const char* path) { return claim(path, context); });
}

bool deleteRecordedAtRestart(const char* path) {
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return false;
    bool found = false;
    editDeletesAtRestart(false, [&](const char* recorded) {
        if (lstrcmpiA(recorded, full) == 0) found = true;
        return false;
    });
    return found;
}

uint32_t lastError() { return lastFileError; }

namespace {
void takeFound(const WIN32_FIND_DATAA& found, FindData& data) {
    // cFileName is MAX_PATH characters and terminated, the same as our field.
    static_assert(sizeof data.name == sizeof found.cFileName);
    std::memcpy(data.name, found.cFileName, sizeof data.name);
    data.name[sizeof data.name - 1] = '\0';
    data.attributes = found.dwFileAttributes;
}
}  // namespace

FindHandle findFirstFile(const char* pattern, FindData& data) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) {
        lastFileError = GetLastError();
        return invalidFind;
    }
    takeFound(found, data);
    return find;
}

bool findNextFile(FindHandle find, FindData& data) {
    if (find == invalidFind) return false;
    WIN32_FIND_DATAA found;
    if (!FindNextFileA(find, &found)) return false;
    takeFound(found, data);
    return true;
}

void findClose(FindHandle find) {
    if (find != invalidFind) FindClose(find);
}

bool setCurrentDirectory(const char* path) {
    BOOL ok = SetCurrentDirectoryA(path);
    return remember(ok != 0, !ok);
}

uint32_t getLastError() { return GetLastError(); }

}  // namespace plat
