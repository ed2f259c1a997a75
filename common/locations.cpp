#include "common/locations.h"

#include <cstring>
#include <initializer_list>
#include <string>

#include "common/text.h"
#include "common/file_ops.h"
#include "common/setup_log.h"
#include "platform/files.h"
#include "platform/security.h"
#include "platform/ui.h"

namespace {

constexpr const char* installFolderName = "vornel8\\";

// Private path buffers of the path-file operations: the Windows directory (200) plus the name.
constexpr size_t pathCapacity = 260;

// Read by all, changed by administrators and the system only: the folder is made in a root any
// user may write to.
constexpr const char* pathFolderSddl = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;AU)(A;OICI;0x1200a9;;;BU)";

// The second path file's folder ("<drive>\vornel8\"), which any user may make first: made here
// with an access list users cannot change, or a plain folder given that list; never a junction,
// whose target the write would reach.
bool ownPathFileFolder(const char* dir) {
    char bare[dirCapacity];
    copyText(bare, sizeof bare, dir);
    size_t length = std::strlen(bare);
    if (length > 0 && bare[length - 1] == '\\') bare[length - 1] = '\0';
    uint32_t attributes = plat::getFileAttributes(bare);
    if (attributes == plat::invalidAttributes) return plat::createDirectoryWithSddl(bare, pathFolderSddl);
    if ((attributes & plat::attrReparsePoint) != 0 || (attributes & plat::attrDirectory) == 0) return false;
    return plat::setProtectedAccess(bare, pathFolderSddl);
}

// Written whole under a name of its own, then put in place in one step: a write that fails
// leaves the earlier file as it was, never an empty or a cut one. A link left under either name
// is replaced, never written through.
bool writeTextFile(const char* path, const char* text) {
    char building[pathCapacity + 8];
    if (!formatText(building, sizeof building, "%s.new", path)) return false;
    plat::deleteFile(building);
    plat::FileHandle file = plat::lcreat(building, 0);
    if (file == plat::fileError) return false;
    size_t length = std::strlen(text);
    bool ok = plat::lwrite(file, text, static_cast<unsigned>(length)) == length;
    plat::lclose(file);
    ok = ok && plat::moveFileReplacing(building, path);
    if (!ok) plat::deleteFile(building);
    return ok;
}

}  // namespace

const char* computeInstallDir() {
    char* dir = state.installDir;
    std::memset(dir, 0, dirCapacity);
    if (!plat::getSpecialFolderPath(dir, dirCapacity, plat::csidlProgramFiles))
        copyText(state.installDir, "c:\\Program Files");
    // "C:\Program Files (x86)" names the plain folder for our purpose.
    size_t cut = std::strcspn(dir, "(");
    while (cut > 0 && dir[cut - 1] == ' ') --cut;
    dir[cut] = '\0';
    if (dir[0] != '\0' && !endsWithBackslash(dir)) appendText(state.installDir, "\\");
    appendText(state.installDir, installFolderName);
    return dir;
}

void findPathFileDrive(char* out, size_t capacity) {
    char root[4] = "g:\\";
    for (char letter : {'g', 'f', 'e', 'd', 'c'}) {
        root[0] = letter;
        if (plat::getDriveType(root) == plat::driveFixed) {
            formatText(out, capacity, "%svornel8\\", root);
            return;
        }
    }
    copyText(out, capacity, "");
}

bool isInstallDirectoryName(const char* dir) {
    size_t length = textLength(dir, previousDirCapacity);
    if (length < 12 || length >= previousDirCapacity) return false;
    char letter = static_cast<char>(dir[0] | 0x20);
    if (letter < 'a' || letter > 'z' || dir[1] != ':' || dir[2] != '\\') return false;
    if (!sameTextIgnoringCase(dir + length - 9, "\\vornel8\\")) return false;
    // Every folder of the path: none empty, none "." or "..".
    for (size_t start = 3; start < length;) {
        size_t end = start;
        while (end < length && dir[end] != '\\') ++end;
        size_t part = end - start;
        if (part == 0 || (dir[start] == '.' && (part == 1 || (part == 2 && dir[start + 1] == '.'))))
            return false;
        start = end + 1;
    }
    return true;
}

bool pathFilePresent() {
    char dir[dirCapacity];
    char path[pathCapacity];
    return plat::getWindowsDirectory(dir, dirCapacity) != 0 &&
           formatText(path, sizeof path, "%s\\%s", dir, pathFileName) &&
           plat::getFileAttributes(path) != plat::invalidAttributes;
}

void removePathFiles(RemovalTally& tally) {
    char dir[dirCapacity];
    char path[pathCapacity];
    if (plat::getWindowsDirectory(dir, dirCapacity) != 0 &&
        formatText(path, sizeof path, "%s\\%s", dir, pathFileName))
        removeCounted(tally, path);
    findPathFileDrive(dir, dirCapacity);
    if (dir[0] == '\0' || !formatText(path, sizeof path, "%s%s", dir, pathFileName)) return;
    // A junction of the folder's name is not ours to follow: the setup never wrote through one.
    dir[std::strlen(dir) - 1] = '\0';
    uint32_t attributes = plat::getFileAttributes(dir);
    if (attributes != plat::invalidAttributes && (attributes & plat::attrReparsePoint) != 0) return;
    if (removeCounted(tally, path) == Removal::absent) return;
    // The folder is the product's only when the path file was all it held: one that still
    // holds something else stays, one that is empty and stays is not removed.
    constexpr uint32_t errorDirNotEmpty = 145;
    if (!plat::removeDirectory(dir) && plat::lastError() != errorDirNotEmpty)
        countRemoval(tally, Removal::failed, dir);
}

bool writePathFile() {
    char path[pathCapacity];
    plat::getWindowsDirectory(state.systemDir, dirCapacity);
    formatText(path, sizeof path, "%s\\%s", state.systemDir, pathFileName);
    if (state.installDir[0] != '\0' && !endsWithBackslash(state.installDir))
        appendText(state.installDir, "\\");
    bool written = writeTextFile(path, state.installDir);

    plat::getSystemDirectory(state.systemDir, dirCapacity);
    if (state.osMajorVersion < 6) return written;

    char dir[dirCapacity];
    findPathFileDrive(dir, sizeof dir);
    if (dir[0] != '\0' && !ownPathFileFolder(dir)) {
        std::u16string fields[] = {u"second path file not written: its folder is not the setup's own",
                                   plat::wideFromAnsi(dir)};
        logFields(fields, 2);
        return false;
    }
    // No fixed drive among g: to c: leaves the bare name, in the current directory.
    formatText(path, sizeof path, "%s%s", dir, pathFileName);
    return writeTextFile(path, state.installDir) && written;
}

void readPathFile(int target) {
    char windowsDir[dirCapacity];
    char path[pathCapacity];
    plat::getWindowsDirectory(windowsDir, sizeof windowsDir);
    formatText(path, sizeof path, "%s\\%s", windowsDir, pathFileName);
    plat::FileHandle file = plat::lopen(path, plat::ofRead);
    if (file == plat::fileError) return;

    char* into = target == 1 ? state.previousInstallDir : state.installDir;
    size_t capacity = target == 1 ? previousDirCapacity : dirCapacity;
    char content[512];
    unsigned read = plat::lread(file, content, sizeof content);
    plat::lclose(file);
    if (read == plat::ioError) read = 0;
    // Whatever the file holds, only what fits the target with its terminator is taken.
    size_t taken = read < capacity ? read : capacity - 1;
    std::memcpy(into, content, taken);
    into[taken] = '\0';
    // A recorded directory that is now a link is no installation of ours: its backup, check,
    // repair or removal would reach the link's target.
    char bare[pathCapacity];
    copyText(bare, sizeof bare, into);
    size_t length = std::strlen(bare);
    if (length > 0 && bare[length - 1] == '\\') bare[length - 1] = '\0';
    uint32_t attributes = plat::getFileAttributes(bare);
    if (attributes != plat::invalidAttributes && (attributes & plat::attrReparsePoint) != 0) into[0] = '\0';
}

bool runsFromCdrom() {
    // Only the drive's root matters, so a long current directory is fetched whole.
    char current[pathCapacity] = {};
    if (plat::getCurrentDirectory(current, sizeof current) == 0) return false;
    current[3] = '\0';
    return plat::getDriveType(current) == plat::driveCdrom;
}

int detectOsBits() {
    uint32_t version = plat::getVersion();
    uint32_t major = version & 0xFF;
    uint32_t minor = (version >> 8) & 0xFF;
    state.osVersionCode = static_cast<uint16_t>(major * 10 + minor);
    if (state.osVersionCode < 60) return 32;
    int wow64 = 0;
    state.wow64Process = plat::isWow64Process(wow64) ? wow64 : 0;
    unsigned architecture = plat::getNativeProcessorArchitecture();
    return architecture == plat::archAmd64 || architecture == plat::archIa64 ? 64 : 32;
}

bool isWindows10() {
    uint32_t major = 0, minor = 0, build = 0;
    if (!plat::getNtVersionNumbers(major, minor, build)) return false;
    return major == 10 && minor == 0;
}

bool is64BitWindows() {
    state.osMajorVersion = 0;
    plat::OsVersionInfo info;
    if (plat::getVersionEx(info)) state.osMajorVersion = info.major;
    if (state.osMajorVersion <= 5) return false;
    plat::getWindowsDirectory(state.sysWow64Dir, 100);
    appendText(state.sysWow64Dir, "\\syswow64");
    return plat::directoryOpens(state.sysWow64Dir);
}

void sysWow64Path(char* out, size_t capacity) {
    plat::getWindowsDirectory(state.systemDir, dirCapacity);
    formatText(out, capacity, "%s\\syswow64", state.systemDir);
}

void selectTarget(int code) {
    switch (code) {
        case targetSysWow64:
            sysWow64Path(state.sysWow64Dir, dirCapacity);
            copyText(state.systemDir, state.sysWow64Dir);
            break;
        case targetNativeSystem:
        case targetSystem32Bit:
            plat::getSystemDirectory(state.systemDir, dirCapacity);
            break;
        default:
            plat::getWindowsDirectory(state.systemDir, dirCapacity);
            break;
    }
}

int compareInstalledSize(const char* sourceName, const char* targetName) {
    // Both paths stay in the shared buffer for the caller's messages: source, then target.
    char* sourcePath = state.scratchPath;
    char* targetPath = state.scratchPath + scratchCapacity / 2;
    formatText(sourcePath, scratchCapacity / 2, "%s%s", state.installDir, sourceName);
    formatText(targetPath, scratchCapacity / 2, "%s\\%s", state.systemDir, targetName);
    plat::FileHandle source = plat::lopen(sourcePath, plat::ofRead);
    if (source == plat::fileError) return 1;
    plat::FileHandle target = plat::lopen(targetPath, plat::ofRead);
    if (target == plat::fileError) {
        plat::lclose(source);
        return 2;
    }
    long sourceSize = plat::llseek(source, 0, plat::seekEnd);
    long targetSize = plat::llseek(target, 0, plat::seekEnd);
    plat::lclose(source);
    plat::lclose(target);
    return sourceSize == targetSize ? 0 : 3;
}

void copyToTarget(const char* sourceName, const char* targetName, int code) {
    selectTarget(code);
    withoutRedirection([&] { copyModule(sourceName, targetName); });
}

int compareWithTarget(const char* sourceName, const char* targetName, int code) {
    selectTarget(code);
    return withoutRedirection([&] { return compareInstalledSize(sourceName, targetName); });
}
