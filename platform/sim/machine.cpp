#include "platform/sim/machine.h"

#include <dirent.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace sim {

namespace {

Machine* currentMachine = nullptr;

char lowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && lowerAscii(a) == lowerAscii(b);
}

// Is `path` equal to `prefix` or inside it (both normalized)?
bool within(const std::string& path, const std::string& prefix) {
    if (path.size() < prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return false;
    return path.size() == prefix.size() || path[prefix.size()] == '\\';
}



}  // namespace

std::string lowerAscii(std::string text) {
    for (char& c : text) c = lowerChar(c);
    return text;
}

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}


// Bytes that are no GBK text keep their raw form, as Linux allows any bytes in a name.
std::string hostName(const std::string& text) { return strictConvert("UTF-8", "GBK", text); }

Machine::Machine(Os os) {
    // In memory where the system offers it: tests create and delete thousands of files.
    struct stat shm;
    bool inMemory = stat("/dev/shm", &shm) == 0 && S_ISDIR(shm.st_mode) && access("/dev/shm", W_OK) == 0;
    char pattern[] = "/dev/shm/vornsim.XXXXXX";
    char fallback[] = "/tmp/vornsim.XXXXXX";
    char* made = mkdtemp(inMemory ? pattern : fallback);
    if (made == nullptr) std::abort();
    root_ = made;

    bool is64 = false;
    switch (os) {
        case Os::xp32: versionMajor = 5; versionMinor = 1; versionBuild = 2600; break;
        case Os::xp64: versionMajor = 5; versionMinor = 2; versionBuild = 3790; is64 = true; break;
        case Os::vista32: versionMajor = 6; versionMinor = 0; versionBuild = 6002; break;
        case Os::vista64: versionMajor = 6; versionMinor = 0; versionBuild = 6002; is64 = true; break;
        case Os::win7_32: versionMajor = 6; versionMinor = 1; versionBuild = 7601; break;
        case Os::win7_64: versionMajor = 6; versionMinor = 1; versionBuild = 7601; is64 = true; break;
        case Os::win10_32: versionMajor = 6; versionMinor = 2; versionBuild = 9200; break;
        case Os::win10_64: versionMajor = 6; versionMinor = 2; versionBuild = 9200; is64 = true; break;
    }
    bool ten = os == Os::win10_32 || os == Os::win10_64;
    ntMajor = ten ? 10 : versionMajor;
    ntMinor = ten ? 0 : versionMinor;
    ntBuild = ten ? 19045 : versionBuild;
    nativeArchitecture = is64 ? 9 : 0;
    inputDll.present = versionMajor >= 6;  // input.dll's setup functions came with Vista
    wow64 = is64;
    programFilesFolder = is64 ? "C:\\Program Files (x86)" : "C:\\Program Files";
    driveTypes['c'] = 3;

    previous_ = currentMachine;
    currentMachine = this;

    // Laid out by name, as the machine is, not as this process would see it.
    redirectionDisabled = true;
    makeDirectories(systemDir());
    if (is64) makeDirectories(sysWow64Dir());
    redirectionDisabled = false;
    makeDirectories(currentDirectory);
    makeDirectories(tempDir);
    makeDirectories(programFilesFolder);
    if (is64) makeDirectories("C:\\Program Files");  // the 64-bit one beside the (x86) folder
    // What every Windows has: the key of the per-user components, and the program's own
    // per-user steps among its resources.
    registry.make(Hive::localMachine, "SOFTWARE\\Microsoft\\Active Setup\\Installed Components", View::native);
    registry.make(Hive::currentUser, "Software\\Microsoft\\Active Setup\\Installed Components");
    resources["EXE/VORNUSER8"] = "the per-user steps";
}

void Machine::signIn(const std::string& user) {
    if (user == userName) return;
    Profile& leaving = profiles_[userName];
    registry.swapHive(Hive::currentUser, leaving.currentUser);
    leaving.enabled = std::move(inputDll.enabled);
    leaving.defaultId = inputDll.defaultId;
    bool known = profiles_.count(user) != 0;
    Profile& arriving = profiles_[user];
    registry.swapHive(Hive::currentUser, arriving.currentUser);
    inputDll.enabled = std::move(arriving.enabled);
    inputDll.defaultId = arriving.defaultId;
    userName = user;
    if (!known) registry.make(Hive::currentUser, "Software\\Microsoft\\Active Setup\\Installed Components");
}

Machine::~Machine() {
    for (uint8_t* block : blocks) delete[] block;
    currentMachine = previous_;
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string Machine::absolute(const std::string& windowsPath) const {
    std::string path = windowsPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    if (path.size() >= 2 && path[1] == ':') return path;
    if (!path.empty() && path[0] == '\\') return currentDirectory.substr(0, 2) + path;
    return currentDirectory + "\\" + path;
}

std::string Machine::normalize(const std::string& windowsPath) const {
    std::string path = absolute(windowsPath);
    std::string drive = lowerAscii(path.substr(0, 2));
    std::string result = drive;
    for (const std::string& part : splitPath(path.substr(2))) {
        if (part == ".") continue;
        if (part == "..") {
            size_t cut = result.rfind('\\');
            if (cut != std::string::npos && cut >= 2) result.resize(cut);
            continue;
        }
        result += "\\" + lowerAscii(part);
    }
    if (wow64 && !redirectionDisabled) {
        std::string system = lowerAscii(systemDir());
        if (within(result, system)) result = lowerAscii(sysWow64Dir()) + result.substr(system.size());
    }
    return result;
}

std::string Machine::hostPath(const std::string& windowsPath) const {
    std::string normal = normalize(windowsPath);
    char letter = normal.empty() ? 'c' : normal[0];
    std::string host = root_ + "/" + std::string(1, letter);
    // Walk the original spelling so that new names keep their case; existing ones are found
    // whatever their case.
    std::string spelled = absolute(windowsPath);
    std::vector<std::string> parts;
    for (const std::string& part : splitPath(normal.substr(2))) parts.push_back(part);
    std::vector<std::string> original = splitPath(spelled.substr(2));
    // The redirection or ".." may have changed the components; fall back to the normal form.
    bool sameShape = original.size() == parts.size();
    for (size_t i = 0; sameShape && i < parts.size(); ++i)
        sameShape = lowerAscii(original[i]) == parts[i];
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string wanted = hostName(sameShape ? original[i] : parts[i]);
        std::string found;
        // The name as spelled is the one there whenever it exists: names never differ in case
        // only, as on Windows. Only a miss needs the listing.
        struct stat info;
        if (lstat((host + "/" + wanted).c_str(), &info) == 0) found = wanted;
        else if (DIR* dir = opendir(host.c_str())) {
            while (dirent* entry = readdir(dir)) {
                if (equalsNoCase(entry->d_name, wanted)) {
                    found = entry->d_name;
                    break;
                }
            }
            closedir(dir);
        }
        if (found.empty() && wanted == "syswow64" && !sameShape) found = "SysWOW64";
        host += "/" + (found.empty() ? wanted : found);
    }
    return host;
}

void Machine::writeFile(const std::string& windowsPath, const std::string& bytes) {
    std::string host = hostPath(windowsPath);
    std::filesystem::create_directories(std::filesystem::path(host).parent_path());
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::optional<std::string> Machine::readFile(const std::string& windowsPath) const {
    std::string host = hostPath(windowsPath);
    struct stat info;
    if (stat(host.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    std::ifstream in(host, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool Machine::exists(const std::string& windowsPath) const {
    struct stat info;
    return stat(hostPath(windowsPath).c_str(), &info) == 0;
}

bool Machine::isDirectory(const std::string& windowsPath) const {
    struct stat info;
    return stat(hostPath(windowsPath).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void Machine::makeDirectories(const std::string& windowsPath) {
    std::filesystem::create_directories(hostPath(windowsPath));
}

void Machine::denyWrite(const std::string& windowsPath) { denied_.push_back(normalize(windowsPath)); }

bool Machine::writeDenied(const std::string& windowsPath) const {
    std::string normal = normalize(windowsPath);
    for (const std::string& d : denied_)
        if (within(normal, d)) return true;
    return false;
}

void Machine::makeJunction(const std::string& windowsPath, const std::string& target) {
    std::filesystem::create_directory_symlink(hostPath(target), hostPath(windowsPath));
}

void Machine::markBusy(const std::string& windowsPath) { busy_.push_back(normalize(windowsPath)); }

bool Machine::isBusy(const std::string& windowsPath) const {
    std::string normal = normalize(windowsPath);
    for (const auto& [handle, held] : writersDenied)
        if (held == normal) return true;
    return std::find(busy_.begin(), busy_.end(), normal) != busy_.end();
}

void Machine::moveBusyMark(const std::string& from, const std::string& to) {
    std::string normal = normalize(from);
    for (std::string& b : busy_)
        if (b == normal) b = normalize(to);
}

void Machine::restart() {
    // Every program has ended: nothing is busy any more, and the recorded deletes run in order.
    busy_.clear();
    for (const std::string& path : pendingDeletes) {
        std::string host = hostPath(path);
        if (::unlink(host.c_str()) != 0) ::rmdir(host.c_str());
        attributes.erase(path);
    }
    pendingDeletes.clear();
}

Machine* current() { return currentMachine; }

Machine::Window& Machine::addWindow(const std::string& className, const std::u16string& title,
                                   uintptr_t parent) {
    Window w;
    w.handle = 0x10000 + 0x10 * (windows.size() + closedWindows.size());
    while (window(w.handle) != nullptr) w.handle += 4;
    w.className = className;
    w.title = title;
    w.parent = parent;
    windows.push_back(w);
    return windows.back();
}

Machine::Window* Machine::window(uintptr_t handle) {
    for (Window& w : windows)
        if (w.handle == handle) return &w;
    return nullptr;
}





bool Machine::faultHere(const char* kind) {
    ++faults.passed;
    if (faults.failAt == 0 || faults.passed != faults.failAt) return false;
    faults.failedPoint = kind;
    return true;
}

bool faultHere(const char* kind) {
    Machine* m = current();
    return m != nullptr && m->faultHere(kind);
}

}  // namespace sim
