// Where the platform goes and what kind of Windows it goes onto.
#pragma once
#include <cstddef>

#include "common/install_state.h"
#include "platform/system.h"

// Target codes of module placement.
constexpr int targetWindowsDir = 0;
constexpr int targetSysWow64 = 1;
constexpr int targetNativeSystem = 2;  // system directory with redirection off
constexpr int targetSystem32Bit = 3;   // system directory of 32-bit Windows

constexpr const char* pathFileName = "vornpat8.vrh";

const char* computeInstallDir();
// Both path files (the second from Vista on) name installDir; false when one could not be
// written, which then keeps what it held before.
bool writePathFile();
// Target 1: into previousInstallDir; target 0: into installDir.
void readPathFile(int target);
// "x:\vornel8\" for the first fixed drive among g, f, e, d, c; empty when there is none.
void findPathFileDrive(char* out, size_t capacity);
bool runsFromCdrom();
bool is64BitWindows();
int detectOsBits();
bool isWindows10();
void selectTarget(int code);
void sysWow64Path(char* out, size_t capacity);
int compareInstalledSize(const char* sourceName, const char* targetName);
void copyToTarget(const char* sourceName, const char* targetName, int code);
int compareWithTarget(const char* sourceName, const char* targetName, int code);

// A directory the uninstaller may empty: a local absolute path ("x:\...") whose last folder is
// "vornel8", with its backslash, as computeInstallDir makes every install directory, and no
// "." or ".." folder in it. Whatever else a path file holds is nobody's install directory.
bool isInstallDirectoryName(const char* dir);
// Whether the path file is in the Windows directory.
bool pathFilePresent();
struct RemovalTally;
// Both path files, and the second one's folder when nothing else is in it.
void removePathFiles(RemovalTally& tally);

// Runs `operation` with WOW64 file-system redirection off when this process runs under WOW64.
template <class Operation>
auto withoutRedirection(Operation&& operation) -> decltype(operation()) {
    int wow64 = 0;
    if (!plat::isWow64Process(wow64) || wow64 == 0) return operation();
    void* oldValue = nullptr;
    if (plat::disableWow64FsRedirection(&oldValue) == 1) {
        struct Revert {
            void* value;
            ~Revert() { plat::revertWow64FsRedirection(value); }
        } revert{oldValue};
        return operation();
    }
    return operation();
}
