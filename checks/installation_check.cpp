#include "checks/installation_check.h"

#include <cstring>

#include "common/learned_data.h"
#include "common/locations.h"
#include "common/text.h"
#include "payload/archive.h"
#include "payload/extraction.h"
#include "payload/installed_files.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "registration/keyboard_layout.h"
#include "platform/security.h"
#include "registration/preload_list.h"
#include "registration/registry_text.h"
#include "registration/user_steps.h"

const char* const textServiceKeys[textServiceKeyCount] = {
    "SOFTWARE\\Microsoft\\CTF\\TIP\\{65653599-5030-4C0F-8871-83F6AFDE5098}",
    "SOFTWARE\\Microsoft\\CTF\\TIP\\{65653599-5030-4C0F-8871-83F6AFDE5098}\\Category\\Item"
    "\\{65653599-5030-4C0F-8871-83F6AFDE5098}\\{13A016DF-560B-46CD-947A-4C3AF1E0E35D}",
    "SOFTWARE\\Microsoft\\CTF\\TIP\\{65653599-5030-4C0F-8871-83F6AFDE5098}\\Category\\Item"
    "\\{65653599-5030-4C0F-8871-83F6AFDE5098}\\{25504FB4-7BAB-4BC1-9C69-CF81890F0EF5}",
    "SOFTWARE\\Microsoft\\CTF\\TIP\\{65653599-5030-4C0F-8871-83F6AFDE5098}\\Category\\Item"
    "\\{65653599-5030-4C0F-8871-83F6AFDE5098}\\{34745C63-B2F0-4784-8B67-5E12C8701A31}",
};

namespace {

using plat::RegAccess;
using plat::ScopedKey;

constexpr size_t pathCapacity = 260;
constexpr const char* uninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vornqwb8";

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameText(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (lower(*a) != lower(*b)) return false;
    return *a == *b;
}

bool installedFileExists(const char* name) {
    char path[pathCapacity];
    if (!formatText(path, sizeof path, "%s%s", state.installDir, name)) return false;
    uint32_t attributes = plat::getFileAttributes(path);
    return attributes != plat::invalidAttributes && (attributes & plat::attrDirectory) == 0;
}

void add(InstallationCheck& out, FindingKind kind, const char* name) {
    if (out.count == findingCapacity) {
        ++out.lost;
        return;
    }
    Finding& finding = out.findings[out.count++];
    finding.kind = kind;
    copyText(finding.name, findingNameCapacity, name);
}

bool inPreloadList(const char ids[][layoutIdCapacity], size_t count) {
    uint32_t entries = readPreloadList();
    for (uint32_t i = 0; i < entries; ++i)
        for (size_t j = 0; j < count; ++j)
            if (sameText(state.preloadList[i], ids[j])) return true;
    return false;
}

bool uninstallEntryPresent() {
    ScopedKey entry;
    if (!plat::openKey(plat::hkeyLocalMachine, uninstallKey, RegAccess::read, entry)) return false;
    uint32_t type = plat::regNone;
    uint32_t size = 0;
    return plat::regQueryValue(entry.get(), "UninstallString", &type, nullptr, &size) == plat::regOk &&
           type == plat::regSz && size > 0;
}

// A learnt file that is gone is a finding only where something can give it back: the backup,
// under its own name or the name it is packed as, or the payload.
bool learntFileRestorable(const char* name, const ContainerBytes& backup, const uint8_t* payload,
                          size_t payloadSize) {
    ArchiveEntry entry;
    if (backup.size > 0) {
        if (findEntry(backup.bytes.get(), backup.size, name, entry)) return true;
        for (size_t i = 0; i < learnedDataFileCount; ++i)
            if (std::strcmp(learnedDataFiles[i].name, name) == 0 &&
                findEntry(backup.bytes.get(), backup.size, learnedDataFiles[i].packedName, entry))
                return true;
    }
    return findEntry(payload, payloadSize, name, entry);
}

void checkFiles(const uint8_t* payload, size_t payloadSize, InstallationCheck& out) {
    ContainerBytes backup;
    readBackupFile(state.installDir, backup);
    // The learnt files first: some have no payload entry at all.
    for (size_t i = 0; i < learnedDataFileCount; ++i) {
        const char* name = learnedDataFiles[i].name;
        // The settings record is listed twice (through its copy and as itself).
        bool seen = false;
        for (size_t j = 0; j < i; ++j) seen = seen || std::strcmp(learnedDataFiles[j].name, name) == 0;
        if (seen) continue;
        if (!installedFileExists(name) && learntFileRestorable(name, backup, payload, payloadSize))
            add(out, FindingKind::learntFileMissing, name);
    }
    ArchiveWalk walk(payload, payloadSize);
    ArchiveEntry entry;
    while (walk.next(entry)) {
        char name[scratchNameField];
        if (!entryName(entry, name, sizeof name)) continue;
        InstalledForm form = installedForm(name, out.interfaceChoice);
        if (form == InstalledForm::notKept) continue;
        if (form == InstalledForm::userOwned) {
            // The learnt list was seen above; the other user-owned files of the payload here.
            if (!isLearnedDataFile(name) && !installedFileExists(name))
                add(out, FindingKind::learntFileMissing, name);
            continue;
        }
        FileState found = installedFileState(payload, payloadSize, entry, name, out.interfaceChoice);
        if (found == FileState::missing) add(out, FindingKind::fileMissing, name);
        if (found == FileState::damaged) add(out, FindingKind::fileDamaged, name);
    }
}

// The component runs the program's /ADD, and the program is there to run.
bool userStepsRegistered() {
    char program[dirCapacity + 16];
    char want[dirCapacity + 32];
    char command[dirCapacity + 32];
    return userStepsProgramPath(program, sizeof program) &&
           formatText(want, sizeof want, "\"%s\" %s", program, userStepsAdd) &&
           readUserStepsCommand(command, sizeof command) && std::strcmp(command, want) == 0 &&
           plat::getFileAttributes(program) != plat::invalidAttributes;
}

void checkRegistration(InstallationCheck& out) {
    if (out.interfaceChoice == 0) {
        char ids[8][layoutIdCapacity];
        size_t count = productLayouts(ids, 8);
        if (count == 0) add(out, FindingKind::layoutMissing, keyboardLayoutsKey);
        // Without a layout there is nothing the list could name.
        // The preload list is the user's: LocalSystem's, where a deployment tool runs the check,
        // is nobody's, and its lack no damage of the installation.
        else if (!plat::runsAsLocalSystem() && !inPreloadList(ids, count))
            add(out, FindingKind::preloadMissing, ids[0]);
    } else if (out.interfaceChoice == 1) {
        for (const char* key : textServiceKeys)
            if (!registryKeyExists(plat::hkeyLocalMachine, key)) add(out, FindingKind::textServiceKeyMissing, key);
    } else {
        add(out, FindingKind::interfaceUnknown, state.installDir);
    }
    if (!uninstallEntryPresent()) add(out, FindingKind::uninstallEntryMissing, uninstallKey);
    if (!isNineXFamily() && !userStepsRegistered()) add(out, FindingKind::userStepsMissing, userStepsComponentKey);
}

}  // namespace

size_t productLayouts(char ids[][layoutIdCapacity], size_t capacity) {
    return findProductLayouts(ids, capacity);
}

int installedInterface() {
    if (installedFileExists("vornel4.ime") || installedFileExists("vornel64.ime")) return 0;
    if (installedFileExists("vornsrf.dll") || installedFileExists("vornsrf6.dll")) return 1;
    char ids[1][layoutIdCapacity];
    if (productLayouts(ids, 1) > 0) return 0;
    if (registryKeyExists(plat::hkeyLocalMachine, textServiceKeys[0])) return 1;
    return -1;
}

size_t placedModules(int interfaceChoice, PlacedModule out[4]) {
    size_t count = 0;
    if (interfaceChoice == 0) {
        if (is64BitWindows()) {
            out[count++] = {"vornel4.ime", "vornel4.ime", targetSysWow64};
            out[count++] = {"vornel64.ime", "vornel4.ime", targetNativeSystem};
        } else {
            out[count++] = {"vornel4.ime", "vornel4.ime", targetSystem32Bit};
        }
    } else if (interfaceChoice == 1) {
        if (state.osBits == 32) {
            out[count++] = {"vornsrf.dll", "vornsrf.dll", targetSystem32Bit};
        } else {
            out[count++] = {"vornsrf.dll", "vornsrf.dll", targetSysWow64};
            out[count++] = {"vornsrf6.dll", "vornsrf6.dll", targetNativeSystem};
        }
    }
    out[count++] = {"vorndel8.exe", "vorndel8.exe", targetWindowsDir};
    return count;
}

ModuleState comparePlacedModule(const PlacedModule& module, char* path, size_t capacity) {
    int sizes = compareWithTarget(module.source, module.target, module.code);
    // Both paths are left in the shared buffer: the install directory's, then the placed one.
    char source[scratchCapacity / 2];
    copyText(source, sizeof source, state.scratchPath);
    copyText(path, capacity, state.scratchPath + scratchCapacity / 2);
    if (sizes == 1) return ModuleState::sourceMissing;
    if (sizes == 2) return ModuleState::missing;
    if (sizes == 3) return ModuleState::different;
    // Equal sizes: the contents too, where the copy lies (the native directory included).
    bool same = withoutRedirection([&] {
        char a[md5TextSize];
        char b[md5TextSize];
        md5File(source, a);
        md5File(path, b);
        return std::strncmp(a, b, 32) == 0;
    });
    return same ? ModuleState::same : ModuleState::different;
}

void checkInstallation(const uint8_t* payload, size_t payloadSize, InstallationCheck& out) {
    out.count = 0;
    out.lost = 0;
    out.interfaceChoice = installedInterface();
    checkFiles(payload, payloadSize, out);
    PlacedModule modules[4];
    size_t count = placedModules(out.interfaceChoice, modules);
    for (size_t i = 0; i < count; ++i) {
        char path[pathCapacity];
        ModuleState placed = comparePlacedModule(modules[i], path, sizeof path);
        if (placed == ModuleState::missing) add(out, FindingKind::moduleMissing, path);
        if (placed == ModuleState::different) add(out, FindingKind::moduleDifferent, path);
    }
    checkRegistration(out);
}
