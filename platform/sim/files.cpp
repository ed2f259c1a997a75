#include "platform/files.h"
#include "platform/host/errors.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/machine.h"

namespace plat {

namespace {

uint32_t passthroughError = 0;

void setError(uint32_t error) {
    if (sim::Machine* m = sim::current()) m->lastError = error;
    else passthroughError = error;
}

// Without a test machine (host tools) paths are host paths, with either separator.
std::string host(const char* path) {
    if (sim::Machine* m = sim::current()) return m->hostPath(path);
    std::string p = sim::hostName(path);
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

bool denied(const char* path) {
    sim::Machine* m = sim::current();
    return m != nullptr && m->writeDenied(path);
}

bool busy(const char* path) {
    sim::Machine* m = sim::current();
    return m != nullptr && m->isBusy(path);
}

std::string key(const char* path) {
    sim::Machine* m = sim::current();
    return m != nullptr ? m->normalize(path) : std::string(path);
}

uint32_t storedAttributes(const char* path) {
    sim::Machine* m = sim::current();
    if (m == nullptr) return attrArchive;
    auto it = m->attributes.find(m->normalize(path));
    return it == m->attributes.end() ? attrArchive : it->second;
}

void forgetAttributes(const char* path) {
    if (sim::Machine* m = sim::current()) m->attributes.erase(m->normalize(path));
}

uint32_t errorFromErrno() { return host::windowsError(errno); }

bool isDir(const std::string& hostPath) {
    struct stat info;
    return stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isFile(const std::string& hostPath) {
    struct stat info;
    return stat(hostPath.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// A junction or symbolic link (a host symbolic link here): Windows reports it as a reparse
// point, a directory one when its target is a directory.
bool isLink(const std::string& hostPath) {
    std::string bare = hostPath;
    while (bare.size() > 1 && bare.back() == '/') bare.pop_back();
    struct stat info;
    return lstat(bare.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool parentExists(const std::string& hostPath) {
    size_t cut = hostPath.rfind('/');
    if (cut == std::string::npos || cut == 0) return true;
    return isDir(hostPath.substr(0, cut));
}

// An injected fault: the call fails as Windows fails it when the disk or a guard refuses.
bool injected(const char* kind) {
    if (!sim::faultHere(kind)) return false;
    setError(errorAccessDenied);
    return true;
}

}  // namespace

FileHandle lcreat(const char* path, int attributes) {
    if (injected("file create")) return fileError;
    std::string h = host(path);
    if (denied(path) || busy(path) || isDir(h) || (storedAttributes(path) & attrReadOnly)) {
        setError(busy(path) ? errorSharingViolation : errorAccessDenied);
        return fileError;
    }
    if (!parentExists(h)) {
        setError(errorPathNotFound);
        return fileError;
    }
    int fd = ::open(h.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        setError(errorFromErrno());
        return fileError;
    }
    if (sim::Machine* m = sim::current()) {
        uint32_t attrs = attrArchive | (static_cast<uint32_t>(attributes) & 0x07);
        m->attributes[m->normalize(path)] = attrs;
    }
    return fd;
}

FileHandle openOwnFileForWriting(const char* path, bool append) {
    std::string h = host(path);
    if (isLink(h)) {
        setError(errorAccessDenied);
        return fileError;
    }
    struct stat info;
    if (stat(h.c_str(), &info) == 0) {
        bool foreign = false;
        if (sim::Machine* m = sim::current()) {
            auto owner = m->owners.find(m->normalize(path));
            foreign = owner != m->owners.end() && owner->second != "Administrators" && owner->second != "SYSTEM" &&
                      owner->second != m->userName;
        }
        if (info.st_nlink > 1 || foreign) {
            setError(errorAccessDenied);
            return fileError;
        }
        if (append) {
            FileHandle file = lopen(path, ofWrite);
            if (file != fileError) ::lseek(file, 0, SEEK_END);
            return file;
        }
    }
    return lcreat(path, 0);
}

FileHandle openDenyingWriters(const char* path) {
    FileHandle file = lopen(path, ofRead);
    if (file != fileError)
        if (sim::Machine* m = sim::current()) m->writersDenied[file] = m->normalize(path);
    return file;
}

FileHandle lopen(const char* path, int mode) {
    if (injected("file open")) return fileError;
    std::string h = host(path);
    int access = mode & 3;
    if (!isFile(h)) {
        setError(isDir(h) ? errorAccessDenied : errorFileNotFound);
        return fileError;
    }
    if (access != ofRead &&
        (denied(path) || busy(path) || (storedAttributes(path) & attrReadOnly))) {
        setError(busy(path) ? errorSharingViolation : errorAccessDenied);
        return fileError;
    }
    int flags = access == ofWrite ? O_WRONLY : access == ofReadWrite ? O_RDWR : O_RDONLY;
    int fd = ::open(h.c_str(), flags);
    if (fd < 0) {
        setError(errorFromErrno());
        return fileError;
    }
    return fd;
}

unsigned lread(FileHandle file, void* buffer, unsigned count) {
    if (injected("file read")) return ioError;
    ssize_t n = ::read(file, buffer, count);
    return n < 0 ? ioError : static_cast<unsigned>(n);
}

unsigned lwrite(FileHandle file, const void* buffer, unsigned count) {
    if (injected("file write")) return ioError;
    ssize_t n = ::write(file, buffer, count);
    return n < 0 ? ioError : static_cast<unsigned>(n);
}

long llseek(FileHandle file, long offset, int origin) {
    if (injected("file seek")) return -1;
    int whence = origin == seekEnd ? SEEK_END : origin == seekCur ? SEEK_CUR : SEEK_SET;
    off_t position = ::lseek(file, offset, whence);
    return position < 0 ? -1 : static_cast<long>(position);
}

FileHandle lclose(FileHandle file) {
    if (sim::Machine* m = sim::current()) m->writersDenied.erase(file);
    return ::close(file) == 0 ? 0 : fileError;
}

bool createDirectory(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        setError(errorPathNotFound);
        return false;
    }
    if (injected("directory create")) return false;
    std::string h = host(path);
    while (h.size() > 1 && h.back() == '/') h.pop_back();
    if (denied(path)) {
        setError(errorAccessDenied);
        return false;
    }
    if (::mkdir(h.c_str(), 0755) != 0) {
        setError(errorFromErrno());
        return false;
    }
    return true;
}

bool directoryOpens(const char* path) { return isDir(host(path)); }

uint32_t getFileAttributes(const char* path) {
    std::string h = host(path);
    uint32_t link = isLink(h) ? attrReparsePoint : 0;
    if (isDir(h)) return attrDirectory | link;
    if (link != 0 && !isFile(h)) return link;  // a link whose target is gone
    if (!isFile(h)) {
        setError(errorFileNotFound);
        return invalidAttributes;
    }
    return storedAttributes(path) | link;
}

bool setFileAttributes(const char* path, uint32_t attributes) {
    std::string h = host(path);
    if (!isFile(h) && !isDir(h)) {
        setError(errorFileNotFound);
        return false;
    }
    if (denied(path)) {
        setError(errorAccessDenied);
        return false;
    }
    if (sim::Machine* m = sim::current()) {
        m->attributes[m->normalize(path)] = attributes == attrNormal ? attrNormal : attributes;
    }
    return true;
}

bool copyFile(const char* source, const char* target) {
    if (injected("file copy")) return false;
    std::string from = host(source);
    std::string to = host(target);
    if (!isFile(from)) {
        setError(errorFileNotFound);
        return false;
    }
    if (denied(target) || busy(target) || isDir(to) ||
        (isFile(to) && (storedAttributes(target) & attrReadOnly))) {
        setError(busy(target) ? errorSharingViolation : errorAccessDenied);
        return false;
    }
    if (!parentExists(to)) {
        setError(errorPathNotFound);
        return false;
    }
    FILE* in = std::fopen(from.c_str(), "rb");
    FILE* out = in ? std::fopen(to.c_str(), "wb") : nullptr;
    bool ok = in != nullptr && out != nullptr;
    char buffer[65536];
    while (ok) {
        size_t n = std::fread(buffer, 1, sizeof buffer, in);
        if (n == 0) break;
        ok = std::fwrite(buffer, 1, n, out) == n;
    }
    if (in) std::fclose(in);
    if (out && std::fclose(out) != 0) ok = false;
    if (!ok) {
        setError(errorAccessDenied);
        return false;
    }
    if (sim::Machine* m = sim::current()) m->attributes[key(target)] = storedAttributes(source);
    return true;
}

namespace {
// The rename itself once the checks have passed: attributes and a busy mark go with the file.
bool renameChecked(const char* source, const char* target, const std::string& from,
                   const std::string& to) {
    // A file this program holds with writers denied shares no deletion: it keeps its name.
    if (sim::Machine* m = sim::current()) {
        for (const auto& [handle, held] : m->writersDenied)
            if (held == m->normalize(source)) {
                setError(errorSharingViolation);
                return false;
            }
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
        setError(errorFromErrno());
        return false;
    }
    if (sim::Machine* m = sim::current()) {
        uint32_t attrs = storedAttributes(source);
        forgetAttributes(source);
        m->attributes[m->normalize(target)] = attrs;
        m->moveBusyMark(source, target);
    }
    return true;
}
}  // namespace

bool moveFile(const char* source, const char* target) {
    if (injected("file rename")) return false;
    std::string from = host(source);
    std::string to = host(target);
    if (!isFile(from) && !isDir(from)) {
        setError(errorFileNotFound);
        return false;
    }
    if (isFile(to) || isDir(to)) {
        setError(errorAlreadyExists);
        return false;
    }
    if (denied(source) || denied(target)) {
        setError(errorAccessDenied);
        return false;
    }
    return renameChecked(source, target, from, to);
}

bool moveFileReplacing(const char* source, const char* target) {
    if (injected("file rename")) return false;
    std::string from = host(source);
    std::string to = host(target);
    if (!isFile(from)) {
        setError(errorFileNotFound);
        return false;
    }
    if (denied(source) || denied(target) || busy(target) || isDir(to) ||
        (isFile(to) && (storedAttributes(target) & attrReadOnly))) {
        setError(busy(target) ? errorSharingViolation : errorAccessDenied);
        return false;
    }
    return renameChecked(source, target, from, to);
}

bool deleteFile(const char* path) {
    if (injected("file delete")) return false;
    std::string h = host(path);
    if (!isFile(h)) {
        setError(isDir(h) ? errorAccessDenied : errorFileNotFound);
        return false;
    }
    if (denied(path) || busy(path) || (storedAttributes(path) & attrReadOnly)) {
        setError(busy(path) ? errorSharingViolation : errorAccessDenied);
        return false;
    }
    if (::unlink(h.c_str()) != 0) {
        setError(errorFromErrno());
        return false;
    }
    forgetAttributes(path);
    return true;
}

bool removeDirectory(const char* path) {
    if (injected("directory remove")) return false;
    std::string h = host(path);
    while (h.size() > 1 && h.back() == '/') h.pop_back();
    if (!isDir(h)) {
        setError(isFile(h) ? errorDirectoryName : errorFileNotFound);
        return false;
    }
    if (denied(path)) {
        setError(errorAccessDenied);
        return false;
    }
    // A junction goes itself, whatever its target holds.
    if (isLink(h) ? ::unlink(h.c_str()) != 0 : ::rmdir(h.c_str()) != 0) {
        // ENOTEMPTY: Windows says ERROR_DIR_NOT_EMPTY.
        setError(errno == ENOTEMPTY || errno == EEXIST ? 145u : errorFromErrno());
        return false;
    }
    return true;
}

bool scheduleDeleteAtRestart(const char* path) {
    // Recorded in HKLM by the system: refused like any other write there.
    if (injected("restart schedule")) return false;
    sim::Machine* m = sim::current();
    if (m == nullptr) return false;
    // Only recorded: what is there at the restart goes, a directory only when it is empty then.
    m->pendingDeletes.push_back(m->normalize(path));
    return true;
}

int cancelDeletesAtRestart(bool (*claim)(const char* path, void* context), void* context) {
    if (injected("restart list")) return -1;
    sim::Machine* m = sim::current();
    if (m == nullptr) return -1;
    std::vector<std::string>& list = m->pendingDeletes;
    size_t before = list.size();
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const std::string& path) { return claim(path.c_str(), context); }),
               list.end());
    return static_cast<int>(before - list.size());
}

bool deleteRecordedAtRestart(const char* path) {
    if (injected("restart list")) return false;
    sim::Machine* m = sim::current();
    if (m == nullptr) return false;
    return std::find(m->pendingDeletes.begin(), m->pendingDeletes.end(), m->normalize(path)) !=
           m->pendingDeletes.end();
}

uint32_t lastError() {
    if (sim::Machine* m = sim::current()) return m->lastError;
    return passthroughError;
}

namespace {

// One FindFirstFile listing, taken whole when it starts; the handle points at it.
struct Listing {
    std::vector<FindData> entries;
    size_t next = 0;
};

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// '*' and '?' as Windows matches them, letters without regard to case; "*.*" is everything.
bool matches(const char* mask, const char* name) {
    if (std::strcmp(mask, "*.*") == 0) return true;
    if (*mask == '\0') return *name == '\0';
    if (*mask == '*') return matches(mask + 1, name) || (*name != '\0' && matches(mask, name + 1));
    if (*name == '\0') return false;
    if (*mask != '?' && foldAscii(*mask) != foldAscii(*name)) return false;
    return matches(mask + 1, name + 1);
}

void fill(FindData& data, const std::string& name, uint32_t attributes) {
    size_t length = std::min(name.size(), sizeof data.name - 1);
    std::memcpy(data.name, name.data(), length);
    data.name[length] = '\0';
    data.attributes = attributes;
}

// The absolute form of a path as spelled (case kept), "." and ".." resolved, no trailing
// backslash except at a drive's root: what GetCurrentDirectoryA gives back afterwards.
std::string absoluteSpelling(const std::string& current, const char* path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '/', '\\');
    std::string full;
    if (p.size() >= 2 && p[1] == ':') full = p;
    else if (!p.empty() && p[0] == '\\') full = current.substr(0, 2) + p;
    else full = current + "\\" + p;
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 2; i <= full.size(); ++i) {
        if (i == full.size() || full[i] == '\\') {
            if (part == "..") {
                if (!parts.empty()) parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += full[i];
        }
    }
    std::string result = full.substr(0, 2);
    for (const std::string& each : parts) result += "\\" + each;
    return parts.empty() ? result + "\\" : result;
}

}  // namespace

FindHandle findFirstFile(const char* pattern, FindData& data) {
    std::string text = pattern == nullptr ? "" : pattern;
    std::replace(text.begin(), text.end(), '/', '\\');
    size_t cut = text.rfind('\\');
    std::string dir = cut == std::string::npos ? "" : text.substr(0, cut + 1);
    std::string mask = cut == std::string::npos ? text : text.substr(cut + 1);
    std::string hostDir = dir.empty() ? (sim::current() ? host(".") : ".") : host(dir.c_str());
    if (!isDir(hostDir)) {
        setError(errorPathNotFound);
        return invalidFind;
    }
    if (injected("directory list")) return invalidFind;
    DIR* listing = opendir(hostDir.c_str());
    if (listing == nullptr) {
        setError(errorAccessDenied);
        return invalidFind;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(listing)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(sim::strictConvert("GBK", "UTF-8", name));
    }
    closedir(listing);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        std::string la = a, lb = b;
        for (char& c : la) c = foldAscii(c);
        for (char& c : lb) c = foldAscii(c);
        return la < lb;
    });
    // Windows lists "." and ".." in every directory but a drive's root.
    std::string normal = key(dir.empty() ? "." : dir.c_str());
    if (normal.size() > 2) names.insert(names.begin(), {".", ".."});

    auto found = std::make_unique<Listing>();
    for (const std::string& name : names) {
        if (!matches(mask.c_str(), name.c_str())) continue;
        std::string path = dir + name;
        FindData entry;
        bool directory = name == "." || name == ".." || isDir(host(path.c_str()));
        uint32_t link = name == "." || name == ".." || !isLink(host(path.c_str())) ? 0 : attrReparsePoint;
        fill(entry, name, (directory ? attrDirectory : storedAttributes(path.c_str())) | link);
        found->entries.push_back(entry);
    }
    if (found->entries.empty()) {
        setError(errorFileNotFound);
        return invalidFind;
    }
    data = found->entries[0];
    found->next = 1;
    return found.release();
}

bool findNextFile(FindHandle find, FindData& data) {
    if (find == invalidFind) return false;
    Listing* listing = static_cast<Listing*>(find);
    if (listing->next >= listing->entries.size()) {
        setError(18);  // ERROR_NO_MORE_FILES
        return false;
    }
    data = listing->entries[listing->next++];
    return true;
}

void findClose(FindHandle find) { delete static_cast<Listing*>(find); }

bool setCurrentDirectory(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        setError(errorPathNotFound);
        return false;
    }
    std::string h = host(path);
    if (!isDir(h)) {
        setError(isFile(h) ? errorDirectoryName
                           : (parentExists(h) ? errorFileNotFound : errorPathNotFound));
        return false;
    }
    sim::Machine* m = sim::current();
    if (m == nullptr) return ::chdir(h.c_str()) == 0;
    m->currentDirectory = absoluteSpelling(m->currentDirectory, path);
    return true;
}

uint32_t getLastError() { return lastError(); }

}  // namespace plat
