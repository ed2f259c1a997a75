// File and directory operations with the semantics of the Win32 calls of the same names.
// Paths are 8-bit texts in the system code page.
#pragma once
#include <cstddef>
#include <cstdint>

namespace plat {

using FileHandle = int;  // HFILE
constexpr FileHandle fileError = -1;
constexpr unsigned ioError = 0xFFFFFFFFu;

// _lopen modes
constexpr int ofRead = 0;
constexpr int ofWrite = 1;
constexpr int ofReadWrite = 2;

// _llseek origins
constexpr int seekSet = 0;
constexpr int seekCur = 1;
constexpr int seekEnd = 2;

constexpr uint32_t attrReadOnly = 0x01;
constexpr uint32_t attrHidden = 0x02;
constexpr uint32_t attrSystem = 0x04;
constexpr uint32_t attrDirectory = 0x10;
constexpr uint32_t attrArchive = 0x20;
constexpr uint32_t attrNormal = 0x80;
// A junction, mount point or symbolic link: opening a path through it reaches its target.
constexpr uint32_t attrReparsePoint = 0x400;
constexpr uint32_t invalidAttributes = 0xFFFFFFFFu;

constexpr uint32_t errorFileNotFound = 2;
constexpr uint32_t errorPathNotFound = 3;
constexpr uint32_t errorAccessDenied = 5;
constexpr uint32_t errorSharingViolation = 32;
constexpr uint32_t errorAlreadyExists = 183;

// _lcreat: create or truncate, open for reading and writing.
FileHandle lcreat(const char* path, int attributes);
// Opens the file at `path` for writing, made when missing, never through a link: a name that is
// a reparse point, has more than one link (a hard link to another file) or belongs to an account
// other than Administrators, SYSTEM or this process's user is refused (fileError). With `append`
// the writes go to its end; else it is emptied first.
FileHandle openOwnFileForWriting(const char* path, bool append);
// Opens the file for reading while nobody may write, rename or delete it (shared for reading
// only) until lclose: what is checked through it is what is used. fileError when another
// holds it open for writing.
FileHandle openDenyingWriters(const char* path);
FileHandle lopen(const char* path, int mode);
unsigned lread(FileHandle file, void* buffer, unsigned count);
unsigned lwrite(FileHandle file, const void* buffer, unsigned count);
long llseek(FileHandle file, long offset, int origin);
FileHandle lclose(FileHandle file);

// CreateDirectoryA: one level; false when it exists already or cannot be made.
bool createDirectory(const char* path);
// CreateFileA for read with backup semantics, closed at once: true when the directory opens.
bool directoryOpens(const char* path);

uint32_t getFileAttributes(const char* path);
bool setFileAttributes(const char* path, uint32_t attributes);
// CopyFileA with overwriting allowed.
bool copyFile(const char* source, const char* target);
bool moveFile(const char* source, const char* target);
// MoveFileExA with MOVEFILE_REPLACE_EXISTING and MOVEFILE_WRITE_THROUGH: the target, if any, is
// replaced in one step. Where the call does not exist (the 9x family), delete and rename.
bool moveFileReplacing(const char* source, const char* target);
bool deleteFile(const char* path);
// RemoveDirectoryA: only an empty directory goes.
bool removeDirectory(const char* path);
// MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT): the file is deleted at the next restart,
// before any program can load it. Where the call does not exist (the 9x family), through the
// [rename] section of WININIT.INI in the Windows directory. False when it could not be recorded.
bool scheduleDeleteAtRestart(const char* path);
// The deletes recorded for the next restart (by any program, as scheduleDeleteAtRestart records
// them), each path in the system code page: every one `claim` returns true for is taken out of
// the list; renames and the other deletes stay. The number taken out, -1 when the list could not
// be read or written back (nothing changed then).
int cancelDeletesAtRestart(bool (*claim)(const char* path, void* context), void* context);
// Whether a delete of `path` (compared as Windows compares names) is recorded for the next
// restart; false also when the list cannot be read.
bool deleteRecordedAtRestart(const char* path);
// GetLastError after the last failed file operation.
uint32_t lastError();

// Directory enumeration (FindFirstFileA, FindNextFileA, FindClose). The names are bare names
// as the directory holds them, "." and ".." included where Windows lists them.
struct FindData {
    char name[260] = {};
    uint32_t attributes = 0;
};
using FindHandle = void*;
constexpr void* invalidFind = nullptr;  // a FindHandle
// invalidFind when nothing matches or the directory cannot be listed.
FindHandle findFirstFile(const char* pattern, FindData& data);
// False at the end of the listing.
bool findNextFile(FindHandle find, FindData& data);
void findClose(FindHandle find);

constexpr uint32_t errorDirectoryName = 267;  // ERROR_DIRECTORY: the name is no directory

// SetCurrentDirectoryA: false when the path is no directory that can be entered.
bool setCurrentDirectory(const char* path);
// GetLastError as it stands now, whichever call set it.
uint32_t getLastError();

}  // namespace plat
