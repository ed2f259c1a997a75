#include "platform/files.h"

#include <windows.h>

#include <cstring>

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
