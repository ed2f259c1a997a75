#include "security/directory_security.h"

#include <cstring>

#include "common/install_state.h"
#include "common/product_files.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/ipc.h"
#include "platform/process.h"
#include "platform/security.h"
#include "platform/system.h"

const char* const installDirSddl = "D: (A;OICI;GA;;;AC) (A;OICI;GRGWGX;;;AU) (A;OICI;GA;;;BA) ";

namespace {

constexpr size_t commandCapacity = 600;

// The install directory as commands name it: without its trailing backslash.
void commandDirectory(char* out, size_t capacity) {
    copyText(out, capacity, state.installDir);
    size_t length = std::strlen(out);
    if (length > 1 && out[length - 1] == '\\') out[length - 1] = '\0';
}

}  // namespace

void systemProgramPath(const char* name, char* out, size_t capacity) {
    char systemDir[dirCapacity];
    plat::getSystemDirectory(systemDir, sizeof systemDir);
    formatText(out, capacity, "%s\\%s", systemDir, name);
}

int secureInstalledPrograms() {
    char pattern[dirCapacity + 8];
    if (!formatText(pattern, sizeof pattern, "%s*.*", state.installDir)) return 0;
    plat::FindData found;
    plat::FindHandle find = plat::findFirstFile(pattern, found);
    if (find == plat::invalidFind) return 0;
    int secured = 0;
    do {
        if ((found.attributes & plat::attrDirectory) != 0 || !isProgramName(found.name)) continue;
        char path[dirCapacity + 264];
        if (formatText(path, sizeof path, "%s%s", state.installDir, found.name) &&
            plat::setProtectedAccess(path, installedProgramSddl))
            ++secured;
    } while (plat::findNextFile(find, found));
    plat::findClose(find);
    return secured;
}

bool createSecuredDirectory(const char* path) { return plat::createDirectoryWithSddl(path, installDirSddl); }

bool grantUserFullAccess(const char* path) {
    char user[198];
    plat::getUserName(user, sizeof user);
    return plat::grantFullAccess(path, user);
}

void setLowIntegrity() {
    char icacls[dirCapacity + 16];
    char dir[dirCapacity];
    char command[commandCapacity];
    systemProgramPath("icacls.exe", icacls, sizeof icacls);
    commandDirectory(dir, sizeof dir);
    formatText(command, sizeof command, "%s \"%s\" /SetIntegrityLevel Level: L", icacls, dir);
    plat::winExec(command, plat::swShow);
    // The second form names the directory bare; a name with a blank still needs its quotes.
    const char* quote = std::strchr(dir, ' ') != nullptr ? "\"" : "";
    formatText(command, sizeof command, "%s %s%s%s /SetIntegrityLevel Level: L", icacls, quote, dir,
               quote);
    plat::winExec(command, plat::swShow);
}

void launchDirectoryCheck() {
    char runas[dirCapacity + 16];
    char dir[dirCapacity];
    char command[commandCapacity];
    systemProgramPath("runas.exe", runas, sizeof runas);
    commandDirectory(dir, sizeof dir);
    formatText(command, sizeof command, "%s /trustlevel:0x20000 \"%s\\vkjcdir\"", runas, dir);
    plat::winExec(command, plat::swShow);
}

bool runAndCapture(const char* command, char* output, size_t capacity) {
    char cmd[dirCapacity + 16];
    char line[commandCapacity + 64];
    systemProgramPath("cmd.exe", cmd, sizeof cmd);
    // cmd /c strips the outer quotes and keeps the quoted names inside.
    formatText(line, sizeof line, "%s /c \"%s\"", cmd, command);
    return plat::runWithOutput(line, output, capacity);
}

bool listingGrantsAppPackagesFullAccess(const char* listing) {
    static const char group[] = "APPLICATION PACKAGE";
    size_t length = std::strlen(listing);
    size_t i = 0;
    auto lineEnd = [&](size_t from) {
        while (from < length && static_cast<unsigned char>(listing[from]) >= 0x20) ++from;
        return from;
    };
    while (i < length) {
        while (i < length && static_cast<unsigned char>(listing[i]) <= 0x20) ++i;
        if (i >= length) break;
        if (length - i >= sizeof group - 1 && std::strncmp(listing + i, group, sizeof group - 1) == 0) {
            size_t start = i;
            i = lineEnd(i);
            if (i - start >= 2 && (listing[i - 2] == 'F' || listing[i - 2] == 'f')) return true;
        } else {
            i = lineEnd(i);
            if (i >= length) return false;
        }
    }
    return false;
}

bool appPackagesHaveFullAccess() {
    char icacls[dirCapacity + 16];
    char dir[dirCapacity];
    char command[commandCapacity];
    systemProgramPath("icacls.exe", icacls, sizeof icacls);
    commandDirectory(dir, sizeof dir);
    formatText(command, sizeof command, "\"%s\" \"%s\"", icacls, dir);
    char listing[captureCapacity];
    if (!runAndCapture(command, listing, sizeof listing)) return false;
    return listingGrantsAppPackagesFullAccess(listing);
}
