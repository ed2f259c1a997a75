// The host tools' files: real POSIX files. The setup's code writes its paths as Windows does, in
// GBK with backslashes; here they become UTF-8 names (bytes that are no GBK text stay raw, as
// Linux allows any bytes in a name) with slashes.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/files.h"
#include "platform/security.h"
#include "platform/host/errors.h"
#include "platform/host/text.h"

namespace plat {

namespace {

uint32_t lastErrorCode = 0;

bool fail(uint32_t error) {
    lastErrorCode = error;
    return false;
}

uint32_t errorFromErrno() { return host::windowsError(errno); }

bool failFromErrno() { return fail(errorFromErrno()); }

std::string host(const char* path) {
    std::string name = host::strictConvert("UTF-8", "GBK", path != nullptr ? path : "");
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

bool statOf(const std::string& name, struct stat& info) { return ::stat(name.c_str(), &info) == 0; }

bool isDir(const std::string& name) {
    struct stat info;
    return statOf(name, info) && S_ISDIR(info.st_mode);
}

bool isFile(const std::string& name) {
    struct stat info;
    return statOf(name, info) && S_ISREG(info.st_mode);
}

FileHandle opened(const std::string& name, int flags) {
    int fd = ::open(name.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) failFromErrno();
    return fd < 0 ? fileError : fd;
}

}  // namespace

FileHandle lcreat(const char* path, int attributes) {
    std::string name = host(path);
    if (isDir(name)) return fail(errorAccessDenied), fileError;
    FileHandle file = opened(name, O_RDWR | O_CREAT | O_TRUNC);
    if (file != fileError && (attributes & attrReadOnly)) ::fchmod(file, 0444);
    return file;
}

FileHandle openOwnFileForWriting(const char* path, bool append) {
    // The tools' files: never through a symbolic link, never into a file with other names.
    std::string name = host(path);
    FileHandle file = opened(name, O_WRONLY | O_CREAT | O_NOFOLLOW | (append ? O_APPEND : 0));
    if (file == fileError) return fileError;
    struct stat info;
    if (::fstat(file, &info) != 0 || info.st_nlink > 1 || (!append && ::ftruncate(file, 0) != 0)) {
        ::close(file);
        return fail(errorAccessDenied), fileError;
    }
    return file;
}

// No share modes here: the tools read their own files.
FileHandle openDenyingWriters(const char* path) { return lopen(path, ofRead); }

// Access lists are Windows': a tool's file is made as any other.
FileHandle createFileWithSddl(const char* path, const char*) { return lcreat(path, 0); }

FileHandle lopen(const char* path, int mode) {
    std::string name = host(path);
    if (!isFile(name)) return fail(isDir(name) ? errorAccessDenied : errorFileNotFound), fileError;
    int access = mode & 3;
    return opened(name, access == ofWrite ? O_WRONLY : access == ofReadWrite ? O_RDWR : O_RDONLY);
}

unsigned lread(FileHandle file, void* buffer, unsigned count) {
    ssize_t n = ::read(file, buffer, count);
    return n < 0 ? ioError : static_cast<unsigned>(n);
}

unsigned lwrite(FileHandle file, const void* buffer, unsigned count) {
    ssize_t n = ::write(file, buffer, count);
    return n < 0 ? ioError : static_cast<unsigned>(n);
}

long llseek(FileHandle file, long offset, int origin) {
    int whence = origin == seekEnd ? SEEK_END : origin == seekCur ? SEEK_CUR : SEEK_SET;
    off_t position = ::lseek(file, offset, whence);
    return position < 0 ? -1 : static_cast<long>(position);
}

FileHandle lclose(FileHandle file) { return ::close(file) == 0 ? 0 : fileError; }

bool createDirectory(const char* path) {
    std::string name = host(path);
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    if (name.empty()) return fail(errorPathNotFound);
    return ::mkdir(name.c_str(), 0755) == 0 || failFromErrno();
}

bool directoryOpens(const char* path) { return isDir(host(path)); }

uint32_t getFileAttributes(const char* path) {
    struct stat info;
    if (!statOf(host(path), info)) return failFromErrno(), invalidAttributes;
    if (S_ISDIR(info.st_mode)) return attrDirectory;
    return (info.st_mode & S_IWUSR) ? attrArchive : attrArchive | attrReadOnly;
}

bool setFileAttributes(const char* path, uint32_t attributes) {
    std::string name = host(path);
    struct stat info;
    if (!statOf(name, info)) return failFromErrno();
    mode_t mode = (attributes & attrReadOnly) ? (info.st_mode & ~0222) : (info.st_mode | S_IWUSR);
    return ::chmod(name.c_str(), mode & 07777) == 0 || failFromErrno();
}

bool copyFile(const char* source, const char* target) {
    std::string from = host(source);
    std::string to = host(target);
    if (!isFile(from)) return fail(errorFileNotFound);
    FILE* in = std::fopen(from.c_str(), "rb");
    if (in == nullptr) return failFromErrno();
    FILE* out = std::fopen(to.c_str(), "wb");
    bool ok = out != nullptr;
    if (!ok) failFromErrno();
    char buffer[65536];
    while (ok) {
        size_t n = std::fread(buffer, 1, sizeof buffer, in);
        if (n == 0) {
            ok = !std::ferror(in);
            break;
        }
        ok = std::fwrite(buffer, 1, n, out) == n;
    }
    std::fclose(in);
    if (out != nullptr && std::fclose(out) != 0) ok = false;
    return ok || fail(errorAccessDenied);
}

bool moveFile(const char* source, const char* target) {
    std::string from = host(source);
    std::string to = host(target);
    struct stat info;
    // MoveFile never replaces: an existing target is an error there, whatever rename(2) does.
    if (statOf(to, info)) return fail(errorAlreadyExists);
    return ::rename(from.c_str(), to.c_str()) == 0 || failFromErrno();
}

bool moveFileReplacing(const char* source, const char* target) {
    return ::rename(host(source).c_str(), host(target).c_str()) == 0 || failFromErrno();
}

bool deleteFile(const char* path) {
    std::string name = host(path);
    if (isDir(name)) return fail(errorAccessDenied);
    return ::unlink(name.c_str()) == 0 || failFromErrno();
}

bool removeDirectory(const char* path) { return ::rmdir(host(path).c_str()) == 0 || failFromErrno(); }

// Linux has no delete at the next restart.
bool scheduleDeleteAtRestart(const char*) { return fail(errorAccessDenied); }
int cancelDeletesAtRestart(bool (*)(const char*, void*), void*) { return 0; }
bool deleteRecordedAtRestart(const char*) { return false; }

uint32_t lastError() { return lastErrorCode; }
uint32_t getLastError() { return lastErrorCode; }

namespace {

struct Search {
    DIR* dir = nullptr;
    std::string folder;
    std::string pattern;
};

// The next entry matching the pattern, its name in GBK as the setup reads names.
bool nextMatch(Search& search, FindData& data) {
    while (dirent* entry = ::readdir(search.dir)) {
        if (::fnmatch(search.pattern.c_str(), entry->d_name, FNM_PERIOD) != 0) continue;
        std::string name = host::strictConvert("GBK", "UTF-8", entry->d_name);
        if (name.size() >= sizeof data.name) continue;
        std::copy(name.begin(), name.end(), data.name);
        data.name[name.size()] = '\0';
        data.attributes = isDir(search.folder + "/" + entry->d_name) ? attrDirectory : attrArchive;
        return true;
    }
    return false;
}

}  // namespace

FindHandle findFirstFile(const char* pattern, FindData& data) {
    std::string name = host(pattern);
    size_t cut = name.rfind('/');
    auto* search = new Search;
    search->folder = cut == std::string::npos ? "." : name.substr(0, cut == 0 ? 1 : cut);
    search->pattern = cut == std::string::npos ? name : name.substr(cut + 1);
    search->dir = ::opendir(search->folder.c_str());
    if (search->dir == nullptr || !nextMatch(*search, data)) {
        if (search->dir == nullptr) failFromErrno();
        else fail(errorFileNotFound);
        findClose(search);
        return invalidFind;
    }
    return search;
}

bool findNextFile(FindHandle find, FindData& data) {
    auto* search = static_cast<Search*>(find);
    return (search != nullptr && nextMatch(*search, data)) || fail(18);  // ERROR_NO_MORE_FILES
}

void findClose(FindHandle find) {
    auto* search = static_cast<Search*>(find);
    if (search == nullptr) return;
    if (search->dir != nullptr) ::closedir(search->dir);
    delete search;
}

bool setCurrentDirectory(const char* path) { return ::chdir(host(path).c_str()) == 0 || failFromErrno(); }

}  // namespace plat
