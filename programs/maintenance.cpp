#include "programs/maintenance.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "checks/installation_check.h"
#include "common/install_state.h"
#include "common/learned_data.h"
#include "common/locations.h"
#include "common/outcome.h"
#include "programs/pipeline.h"
#include "common/setup_log.h"
#include "common/text.h"
#include "programs/unattended.h"
#include "payload/extraction.h"
#include "payload/installed_files.h"
#include "payload/module_placement.h"
#include "payload/module_removal.h"
#include "platform/files.h"
#include "registration/keyboard_layout.h"
#include "registration/preload_list.h"
#include "registration/system_entries.h"
#include "registration/text_service.h"
#include "security/directory_security.h"

namespace {

constexpr size_t pathCapacity = 260;
constexpr size_t boxLines = 20;

struct KindText {
    const char* log;
    const char16_t* box;
};

KindText kindText(FindingKind kind) {
    switch (kind) {
        case FindingKind::fileMissing: return {"missing file", u"缺少文件："};
        case FindingKind::fileDamaged: return {"damaged file", u"文件已损坏："};
        case FindingKind::learntFileMissing: return {"missing learnt file", u"缺少学习数据文件："};
        case FindingKind::moduleMissing: return {"missing module", u"缺少模块："};
        case FindingKind::moduleDifferent: return {"different module", u"模块与安装目录中的不同："};
        case FindingKind::layoutMissing: return {"missing keyboard layout", u"缺少键盘布局："};
        case FindingKind::preloadMissing: return {"missing preload entry", u"当前用户的输入法列表中没有："};
        case FindingKind::textServiceKeyMissing: return {"missing text-service key", u"缺少文本服务注册项："};
        case FindingKind::uninstallEntryMissing: return {"missing uninstall entry", u"缺少卸载项："};
        case FindingKind::interfaceUnknown: return {"interface unknown", u"无法确定安装的输入接口："};
        case FindingKind::userStepsMissing: return {"missing per-user steps", u"其他用户登录时不会得到输入法设置："};
    }
    return {"finding", u""};
}

bool isFileFinding(FindingKind kind) {
    return kind == FindingKind::fileMissing || kind == FindingKind::fileDamaged ||
           kind == FindingKind::learntFileMissing;
}

bool isKeyFinding(FindingKind kind) {
    return kind == FindingKind::layoutMissing || kind == FindingKind::textServiceKeyMissing ||
           kind == FindingKind::userStepsMissing ||
           kind == FindingKind::uninstallEntryMissing;
}

// What a finding names, for people: a file of the install directory by its full path, a key
// with its root.
std::u16string objectText(const Finding& finding) {
    std::string text = finding.name;
    if (isFileFinding(finding.kind)) text = std::string(state.installDir) + text;
    if (isKeyFinding(finding.kind)) text = "HKEY_LOCAL_MACHINE\\" + text;
    return plat::wideFromAnsi(text.c_str());
}

void logLine(const char16_t* what, const Finding& finding) {
    std::u16string fields[] = {what, plat::wideFromAnsi(kindText(finding.kind).log), objectText(finding)};
    logFields(fields, 3);
}

void logNote(const char16_t* what, const char* detail) {
    std::u16string fields[] = {what, plat::wideFromAnsi(detail)};
    logFields(fields, 2);
}

// The box's list: at most boxLines, then how many more.
void appendList(std::u16string& text, const Finding* const* findings, size_t count, size_t lost) {
    for (size_t i = 0; i < count && i < boxLines; ++i)
        text += u"\r\n" + std::u16string(kindText(findings[i]->kind).box) + objectText(*findings[i]);
    size_t more = lost + (count > boxLines ? count - boxLines : 0);
    if (more > 0) {
        char16_t number[24];
        wideNumber(static_cast<long>(more), number, 24);
        text += u"\r\n……另有" + std::u16string(number) + u"项";
    }
}

std::unique_ptr<InstallationCheck> newCheck() {
    return std::unique_ptr<InstallationCheck>(new (std::nothrow) InstallationCheck);
}

bool sameFinding(const Finding& a, const Finding& b) {
    return a.kind == b.kind && std::strcmp(a.name, b.name) == 0;
}

bool contains(const InstallationCheck& check, const Finding& finding) {
    for (size_t i = 0; i < check.count; ++i)
        if (sameFinding(check.findings[i], finding)) return true;
    return false;
}

// ---- the repair, step by step; each reports failures through its own messages

// A learnt file from the backup (under its name, else the name it is packed as), else from the
// payload. The backed-up phrase library is brought into its stored form, as a restore does.
PutBack putBackLearnt(const char* name, const ContainerBytes& backup) {
    ArchiveEntry entry;
    if (backup.size > 0) {
        PutBack result = PutBack::notWritten;
        bool found = findEntry(backup.bytes.get(), backup.size, name, entry);
        for (size_t i = 0; !found && i < learnedDataFileCount; ++i)
            found = std::strcmp(learnedDataFiles[i].name, name) == 0 &&
                    findEntry(backup.bytes.get(), backup.size, learnedDataFiles[i].packedName, entry);
        if (found) {
            char packed[scratchNameField];
            entryName(entry, packed, sizeof packed);
            result = putBackEntry(entry, name, false, std::strcmp(packed, "vorncyzk.bak") == 0);
            if (result == PutBack::written) return result;
        }
    }
    if (!findEntry(state.payload, state.payloadSize, name, entry)) return PutBack::notWritten;
    return putBackEntry(entry, name, false, false);
}

// Worst exit code of what could not be put back.
int repairFiles(const InstallationCheck& check) {
    int worst = exitHealthy;
    ContainerBytes backup;
    readBackupFile(state.installDir, backup);
    for (size_t i = 0; i < check.count; ++i) {
        const Finding& finding = check.findings[i];
        PutBack result = PutBack::written;
        if (finding.kind == FindingKind::learntFileMissing) {
            result = putBackLearnt(finding.name, backup);
            if (result != PutBack::written && worst < exitDataNotRestored) worst = exitDataNotRestored;
            continue;
        }
        if (finding.kind != FindingKind::fileMissing && finding.kind != FindingKind::fileDamaged) continue;
        ArchiveEntry entry;
        const char* source = sourceEntryName(finding.name, check.interfaceChoice, state.windows10 == 1);
        if (!findEntry(state.payload, state.payloadSize, source, entry)) {
            result = PutBack::damagedEntry;
        } else {
            bool patch = installedForm(finding.name, check.interfaceChoice) == InstalledForm::labelPatched;
            result = putBackEntry(entry, finding.name, patch, false);
        }
        if (result == PutBack::damagedEntry) worst = exitPayloadDamaged;
        if (result == PutBack::notWritten && worst < exitModuleFailed) worst = exitModuleFailed;
    }
    return worst;
}

// Whether the install directory's `name` is what the payload makes of it.
bool intactInstalledFile(const char* name, int interfaceChoice) {
    ArchiveEntry entry;
    const char* source = sourceEntryName(name, interfaceChoice, state.windows10 == 1);
    return findEntry(state.payload, state.payloadSize, source, entry) &&
           installedFileState(state.payload, state.payloadSize, entry, name, interfaceChoice) == FileState::intact;
}

// Every placed module that is not the install directory's copy, copied again (after the files,
// so that a copy just put back is what is placed). A copy that is still damaged is never placed:
// the module stays as it is and the check after the repair reports it.
void repairModules(int interfaceChoice) {
    PlacedModule modules[4];
    size_t count = placedModules(interfaceChoice, modules);
    for (size_t i = 0; i < count; ++i) {
        char path[pathCapacity];
        ModuleState placed = comparePlacedModule(modules[i], path, sizeof path);
        if (placed != ModuleState::missing && placed != ModuleState::different) continue;
        if (intactInstalledFile(modules[i].source, interfaceChoice))
            copyModuleVerified(modules[i].source, modules[i].target, modules[i].code);
        else
            logNote(u"not placed from a damaged copy", path);
    }
}

bool has(const InstallationCheck& check, FindingKind kind) {
    for (size_t i = 0; i < check.count; ++i)
        if (check.findings[i].kind == kind) return true;
    return false;
}

// The registrations the install makes, as it makes them, where they are missing. The modules
// are in place by now: regsvr32 and IMM find them.
void repairRegistration(const InstallationCheck& check) {
    if (has(check, FindingKind::layoutMissing)) {
        char ids[1][layoutIdCapacity];
        // IMM may accept the module and still leave no layout entry: then it is written by hand.
        if (!installImeLayout() || productLayouts(ids, 1) == 0) registerKeyboardLayout();
    }
    if (has(check, FindingKind::layoutMissing) || has(check, FindingKind::preloadMissing)) {
        char ids[1][layoutIdCapacity];
        if (productLayouts(ids, 1) > 0) {
            // The list names NT layouts in lower case, 9x layouts in upper case.
            bool nineX = isNineXFamily();
            for (char& c : ids[0]) {
                if (nineX && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
                if (!nineX && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            }
            addToPreloadList(ids[0]);
        }
    }
    if (has(check, FindingKind::textServiceKeyMissing)) {
        state.interfaceChoice = 1;
        registerTextService();
        writeTipCategories();
    }
    if (has(check, FindingKind::userStepsMissing)) registerStepsForEveryUser();
    if (has(check, FindingKind::uninstallEntryMissing)) (void)writeUninstallEntry(placeRepairProgram());
    else if (has(check, FindingKind::layoutMissing)) recordLayouts();
}

// The path file's directory with its backslash, when it is one the setup can have made (as the
// uninstaller checks it: the repair writes payload files into it) and it is there.
bool recordedDirectory(char (&dir)[dirCapacity]) {
    return copyText(dir, sizeof dir, state.previousInstallDir) && dir[0] != '\0' &&
           (endsWithBackslash(dir) || appendText(dir, "\\")) && isInstallDirectoryName(dir) &&
           plat::directoryOpens(dir);
}

bool locateInstallation() {
    char dir[dirCapacity];
    if (!recordedDirectory(dir)) {
        logNote(u"not installed", state.previousInstallDir[0] != '\0' ? state.previousInstallDir : "no path file");
        return false;
    }
    copyText(state.installDir, dir);
    return true;
}

void showBox(const std::u16string& text) { plat::messageBoxW(text.c_str(), u"智能Marl", plat::mbOk); }

int check(const InstallationCheck& found, bool silent) {
    const Finding* list[findingCapacity];
    for (size_t i = 0; i < found.count; ++i) {
        logLine(u"finding", found.findings[i]);
        list[i] = &found.findings[i];
    }
    if (found.lost > 0) logNote(u"findings not listed", std::to_string(found.lost).c_str());
    int code = found.count + found.lost > 0 ? exitDamaged : exitHealthy;
    if (silent) return code;
    if (code == exitHealthy) {
        showBox(u"智能Marl安装完好，没有发现问题。");
        return code;
    }
    std::u16string text = u"智能Marl的安装有以下问题：";
    appendList(text, list, found.count, found.lost);
    text += u"\r\n\r\n可以用 vornsetup.exe /REPAIR 修复。";
    showBox(text);
    return code;
}

int repair(const InstallationCheck& before, bool silent) {
    if (before.count + before.lost == 0) {
        logNote(u"nothing to repair", state.installDir);
        if (!silent) showBox(u"智能Marl安装完好，无需修复。");
        return exitHealthy;
    }
    // Messages of the steps go to the log and into the one box, not each into its own.
    beginUnattended();
    state.interfaceChoice = before.interfaceChoice == 1 ? 1 : 0;
    // As the install: deletes left for the restart would take what is put back now.
    bool restartListClear = keepInstalledFilesThroughRestart();
    if (!restartListClear) logNote(u"restart deletes not cancelled", "");
    int worst = repairFiles(before);
    // As the install: what was put back is locked before any of it is copied, registered or
    // started, and the setup's own copy the entry may bring with it afterwards.
    secureInstalledPrograms();
    if (before.interfaceChoice >= 0) {
        repairModules(before.interfaceChoice);
        repairRegistration(before);
    }
    if (has(before, FindingKind::uninstallEntryMissing)) secureInstalledPrograms();
    // The record of the installation, as the install writes it (the administrator check may have
    // rewritten it with another directory).
    bool recorded = writePathFile();
    if (!recorded) logNote(u"path file not written", state.installDir);
    if (!silent) endUnattended();

    std::unique_ptr<InstallationCheck> after = newCheck();
    if (!after) return exitModuleFailed;
    checkInstallation(state.payload, state.payloadSize, *after);
    const Finding* done[findingCapacity];
    const Finding* left[findingCapacity];
    size_t doneCount = 0;
    size_t leftCount = 0;
    for (size_t i = 0; i < before.count; ++i)
        if (!contains(*after, before.findings[i])) done[doneCount++] = &before.findings[i];
    for (size_t i = 0; i < after->count; ++i) left[leftCount++] = &after->findings[i];
    for (size_t i = 0; i < doneCount; ++i) logLine(u"repaired", *done[i]);
    for (size_t i = 0; i < leftCount; ++i) logLine(u"not repaired", *left[i]);

    int code = exitHealthy;
    if (leftCount + after->lost > 0) {
        code = worst;
        for (size_t i = 0; i < leftCount; ++i) {
            int its = left[i]->kind == FindingKind::learntFileMissing ? exitDataNotRestored : exitModuleFailed;
            if (its > code) code = its;
        }
        if (code == exitHealthy) code = exitModuleFailed;
    }
    if ((!restartListClear || !recorded) && code == exitHealthy) code = exitOtherFailure;
    if (silent) return code;
    std::u16string text;
    if (doneCount > 0) {
        text = u"智能Marl已修复：";
        appendList(text, done, doneCount, 0);
    }
    if (leftCount + after->lost > 0) {
        text += std::u16string(text.empty() ? u"" : u"\r\n\r\n") + u"以下问题没有修复：";
        appendList(text, left, leftCount, after->lost);
    }
    for (const UnattendedMessage& message : unattendedMessages()) text += u"\r\n\r\n" + message.text;
    showBox(text);
    return code;
}

}  // namespace

bool installationRecorded() {
    char dir[dirCapacity];
    return recordedDirectory(dir);
}

int runMaintenance(MaintenanceMode mode, plat::InstanceHandle instance, bool silent) {
    state.runMode = silentMode;
    state.wizardStarted = 0;
    if (!locateInstallation()) {
        if (!silent) showBox(u"没有找到智能Marl的安装。");
        return exitNotInstalled;
    }
    // The payload the installation is checked against, and the machine's facts.
    std::unique_ptr<InstallationCheck> found = newCheck();
    if (!preparePayloadAndFacts(instance) || state.payload == nullptr || !found) {
        logNote(u"the payload cannot be read", "");
        releasePayloadAndWorkBlock();
        if (!silent) showBox(u"安装程序的文件不完整，请重新下载安装。");
        return exitPayloadDamaged;
    }
    checkInstallation(state.payload, state.payloadSize, *found);
    int code = mode == MaintenanceMode::check ? check(*found, silent) : repair(*found, silent);
    releasePayloadAndWorkBlock();
    return code;
}
