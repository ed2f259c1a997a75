// An installation checked against the payload it came from and against what the install
// registers with Windows. The check only reads: files, modules, registry.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/install_state.h"

enum class FindingKind : uint8_t {
    fileMissing,            // a payload file of the install directory
    fileDamaged,
    learntFileMissing,      // a learnt file the backup (or the payload) can give back
    moduleMissing,          // a module in the Windows or a system directory
    moduleDifferent,        // not the install directory's copy
    layoutMissing,          // no keyboard layout names the IME module
    preloadMissing,         // the layout is not in the current user's preload list
    textServiceKeyMissing,  // one of the keys the text service's registration makes
    uninstallEntryMissing,  // no "UninstallString" in the uninstall entry
    interfaceUnknown,       // neither interface's module nor registration is there
    userStepsMissing,       // other users get nothing at sign-in: no component running vornuser8.exe /ADD, or no program
};

constexpr size_t findingNameCapacity = 264;
constexpr size_t findingCapacity = 256;

struct Finding {
    FindingKind kind = FindingKind::fileMissing;
    // The file (bare name), the module's full path, or the key.
    char name[findingNameCapacity] = {};
};

struct InstallationCheck {
    int interfaceChoice = -1;  // 1 TSF, 0 IME, -1 unknown
    size_t count = 0;
    size_t lost = 0;  // findings beyond the capacity (counted, not kept)
    Finding findings[findingCapacity];
};

// The interface of the installation in installDir: its IME module copies ("vornel4.ime",
// "vornel64.ime") mean IME, "vornsrf.dll" means TSF; with neither there, the registry's product
// keyboard layout means IME and the text service's key TSF. -1 when nothing tells.
int installedInterface();

// A module the install places outside the install directory: installDir + source, copied to
// the target code's directory under the target name.
struct PlacedModule {
    const char* source;
    const char* target;
    int code;
};
// The modules of the interface on this Windows (the uninstaller included); returns the count.
size_t placedModules(int interfaceChoice, PlacedModule out[4]);
enum class ModuleState { same, sourceMissing, missing, different };
// The placed module against the install directory's copy, by size and then by content; its
// full path in `path`. sourceMissing: the install directory's copy is what is missing.
ModuleState comparePlacedModule(const PlacedModule& module, char* path, size_t capacity);

// The product's keyboard layouts (their ids); returns how many.
size_t productLayouts(char ids[][layoutIdCapacity], size_t capacity);
// The text service's keys the modules' registration writes (root, three categories).
constexpr size_t textServiceKeyCount = 4;
extern const char* const textServiceKeys[textServiceKeyCount];

// Everything of the installation in installDir, against `payload`; the findings in `out`.
void checkInstallation(const uint8_t* payload, size_t payloadSize, InstallationCheck& out);
