#include "programs/pipeline.h"

#include <string>

#include "checks/default_input_method.h"
#include "checks/in_use.h"
#include "common/install_state.h"
#include "common/locations.h"
#include "common/progress.h"
#include "common/text.h"
#include "common/outcome.h"
#include "common/setup_log.h"
#include "payload/extraction.h"
#include "payload/installed_files.h"
#include "payload/module_placement.h"
#include "payload/module_removal.h"
#include "payload/skins.h"
#include "platform/fault.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "registration/keyboard_layout.h"
#include "registration/preload_list.h"
#include "registration/system_entries.h"
#include "registration/text_service.h"
#include "registration/user_steps.h"
#include "security/directory_security.h"
#include "settings/settings_files.h"
#include "userdata/backup.h"
#include "userdata/install_report.h"
#include "userdata/restore.h"

const char16_t* const installedMessage = u"安装完毕，如不能使用，请重新启动计算机！";

namespace {

const char16_t* const liveDataWarning =
    u"检测到内存中有智能Marl数据没有退出，请安装后重新启动机器再使用！";

// A processor fault during the wizard's install names the stage in progress.
void showStageOnFault() { plat::messageBoxA(state.stageMessage, "智能Marl(Qolvane)安装", plat::mbOk); }

void endFaultScope() { plat::setFaultNotifier(nullptr); }

void endWizard(plat::WindowHandle window) {
    endFaultScope();
    plat::postMessage(window, plat::wmDestroy, 0, 0);
}

}  // namespace

bool preparePayloadAndFacts(plat::InstanceHandle instance) {
    state.osBits = static_cast<uint32_t>(detectOsBits());
    state.windows10 = state.osVersionCode > 60 && isWindows10() ? 1 : 0;
    // A missing payload is not reported here: extraction meets it and says so.
    state.payload = plat::loadResource(instance, "QVTKVRZ", "VRZ", &state.payloadSize);
    if (state.payload == nullptr) state.payloadSize = 0;
    // Prepared twice, the first block is not left behind.
    plat::freeBlock(state.workBuffer);
    state.workBuffer = plat::allocateBlock(workBufferSize);
    return state.workBuffer != nullptr;
}

void registerStepsForEveryUser() {
    if (isNineXFamily()) return;
    uint32_t size = 0;
    const uint8_t* program = plat::loadResource(plat::programInstance(), "VORNUSER8", "EXE", &size);
    char path[dirCapacity + 16];
    if (program == nullptr || !userStepsProgramPath(path, sizeof path)) {
        std::u16string fields[] = {u"per-user steps not registered: the setup carries no vornuser8.exe"};
        logFields(fields, 1);
        noteOutcome(exitPayloadDamaged);
        return;
    }
    if (!placeUserStepsProgram(program, size)) {
        char text[dirCapacity + 96];
        formatText(text, sizeof text, "没有成功写入%s文件（错误%u）！请检查磁盘空间和访问权限后重新安装。", path,
                   static_cast<unsigned>(plat::getLastError()));
        plat::messageBoxA(text, "智能Marl安装", plat::mbOk);
        noteOutcome(exitWriteFailed);
        return;
    }
    if (!registerUserSteps(userStepsAdd)) {
        std::u16string fields[] = {u"per-user steps not registered"};
        logFields(fields, 1);
        noteOutcome(exitOtherFailure);
    }
}

void releasePayloadAndWorkBlock() {
    plat::freeBlock(state.workBuffer);
    state.workBuffer = nullptr;
    state.payload = nullptr;
    state.payloadSize = 0;
}

void coreInstall() {
    computeInstallDir();
    plat::getSystemDirectory(state.systemDir, dirCapacity);
    // An uninstall or setup before this one may have left deletes for the restart on these
    // names: they would take the files placed now.
    if (!keepInstalledFilesThroughRestart()) {
        std::u16string fields[] = {u"restart deletes not cancelled"};
        logFields(fields, 1);
        noteOutcome(exitOtherFailure);
    }
    // The record every later run finds the installation by.
    if (!writePathFile()) {
        std::u16string fields[] = {u"path file not written"};
        logFields(fields, 1);
        noteOutcome(exitOtherFailure);
    }
    createSecuredDirectory(state.installDir);
    grantUserFullAccess(state.installDir);
    char filer[dirCapacity + 8];
    formatText(filer, sizeof filer, "%sfiler\\", state.installDir);
    plat::createDirectory(filer);

    setStage(10041);
    stopInputMethodServer();

    setStage(10042);
    installFiles(0);

    setStage(10043);
    grantUserFullAccess(state.installDir);
    setLowIntegrity();
    advanceProgress();
    if (state.interfaceChoice == 1) {
        registerTextService();
        enableTextService();
    } else {
        imeInstallSequence();
    }

    setStage(10044);
    // Before any of them is started with our rights, and before the Run value names one.
    secureInstalledPrograms();
    advanceProgress();
    writeUserAgentMarker();
    registerStepsForEveryUser();
    advanceProgress();
    if (state.wizardStarted == 0) {
        char command[dirCapacity + 24];
        if (formatRunCommand(command, sizeof command, state.installDir)) writeRunValue(command);
    }
    advanceProgress();
    if (state.interfaceChoice == 0 && is64BitWindows()) {
        // The program quoted, so that no "C:\Program.exe" is started in its place; the argument
        // as the companion reads it, everything after "regvr32=". Started only when it is the
        // payload's, held so that nobody changes it before Windows has loaded it.
        char command[dirCapacity * 2 + 32];
        char program[dirCapacity + 16];
        plat::FileHandle held = plat::fileError;
        if (formatText(program, sizeof program, "%ssetupw64.exe", state.installDir))
            held = plat::openDenyingWriters(program);
        if (held != plat::fileError && heldFileIsPayloadContent(held, "setupw64.exe") &&
            formatText(command, sizeof command, "\"%s\" regvr32=%s", program, state.installDir)) {
            plat::winExec(command, plat::swShow);
        } else {
            std::u16string fields[] = {u"not started: not the payload's content", plat::wideFromAnsi(program)};
            logFields(fields, 2);
            noteOutcome(exitModuleFailed);
        }
        if (held != plat::fileError) plat::lclose(held);
    }
}

void silentInstall(plat::InstanceHandle instance) {
    state.runMode = silentMode;
    // Without a window nothing else locates the payload or takes the machine's facts.
    preparePayloadAndFacts(instance);
    // The wizard's checks before anything changes: an input method in use or the system's
    // default cannot be replaced, and nobody is there to close the programs.
    setStage(1001);
    if (defaultInputMethodAllowsInstall() == 0) {
        noteOutcome(exitDefaultInputMethod);
        releasePayloadAndWorkBlock();
        return;
    }
    setStage(1002);
    scanInputMethodWindows();
    if (state.inUseCount > 0) {
        // The list of programs is in the work block; without one the count is all there is.
        plat::messageBoxW(state.workBuffer != nullptr ? reinterpret_cast<const char16_t*>(state.workBuffer)
                                                      : u"智能Marl安装软件检测到有软件在使用智能Marl输入法",
                          u"智能Marl", plat::mbOk);
        noteOutcome(exitInUse);
        releasePayloadAndWorkBlock();
        return;
    }
    setStage(1003);
    findInputMethodMapping();
    if (state.inUseCount > 0) plat::messageBoxW(liveDataWarning, u"智能Marl", plat::mbOk);
    // Before anything changes, as window creation does; the keep question counts as yes.
    backUpEarlierInstallation();
    setStage(1004);
    coreInstall();
    // As the wizard finishes a text service: the placed modules compared, its keys checked
    // and its further categories written.
    if (state.interfaceChoice == 1) finalTsfCheck();
    setStage(1005);
    if (state.backupState == 2) restoreUserData();
    releasePayloadAndWorkBlock();
}

void imeInstallSequence() {
    if (state.osMajorVersion > 5) {
        if (!installImeLayout()) registerKeyboardLayout();
    } else {
        if (!installImeLayout()) registerKeyboardLayout();
        locateInPreloadList();
        moveProductToSecondPlace();
    }
    recordLayouts();
    installFiles(1);
}

namespace {
bool installFinished = false;
}  // namespace

bool wizardInstallFinished() { return installFinished; }
void forgetWizardInstall() { installFinished = false; }

void runInstallPipeline(plat::WindowHandle window) {
    state.page = 7;
    plat::setFaultNotifier(showStageOnFault);
    state.progressPosition = 0;
    state.progressTotal = 110;
    setStage(1001);
    drawProgress();

    bool checkInUse = true;
    if (state.interfaceChoice == 1) {
        state.inUseCount = static_cast<int32_t>(findProductInSortOrder());
        // A text service that is not in the user's list cannot be in use.
        checkInUse = state.inUseCount != 0;
    } else {
        state.inUseCount = defaultInputMethodAllowsInstall();
        if (state.inUseCount == 0) {
            noteOutcome(exitDefaultInputMethod);
            endWizard(window);
            return;
        }
    }
    if (checkInUse) {
        setStage(1002);
        scanInputMethodWindows();
        if (state.inUseCount > 0) {
            plat::messageBoxW(reinterpret_cast<const char16_t*>(state.workBuffer), u"智能Marl",
                              plat::mbOk);
            state.page = 6;
            endFaultScope();
            return;
        }
        setStage(1003);
        findInputMethodMapping();
        if (state.inUseCount > 0) plat::messageBoxW(liveDataWarning, u"智能Marl", plat::mbOk);
    }

    setStage(1004);
    coreInstall();

    setStage(10141);
    verifyPayloadFiles();
    installSkin(window);
    writeSettingsFiles();
    patchInputSettings();

    setStage(1005);
    writeInstallStamp();
    // After the settings files, so that the user's own copies replace them.
    if (state.backupState == 2) restoreUserData();

    plat::getWindowsDirectory(state.systemDir, dirCapacity);
    setStage(1006);
    if (is64BitWindows()) {
        showFinishedPage();
        if (state.interfaceChoice == 0) {
            state.completionPending = 1;
            endFaultScope();
            // Without its timer the completion would never come and the window never close.
            if (!plat::setTimer(window, completionTimer, completionDelay)) finishAfterDelay(window);
            return;
        }
    }
    finishInstall(window);
}

void finishInstall(plat::WindowHandle window) {
    // A Finish click while the completion still waits for its timer completes it now, once.
    if (state.completionPending) {
        finishAfterDelay(window);
        return;
    }
    // A report of a fault replaces the success text.
    if (installReport() == 0) plat::messageBoxW(installedMessage, u"智能Marl", plat::mbOk);
    finalTsfCheck();
    installFinished = true;
    endWizard(window);
}

void finishAfterDelay(plat::WindowHandle window) {
    plat::killTimer(window, completionTimer);
    state.completionPending = 0;
    showFinishedPage();
    copyModuleVerified("vornel4.ime", "vornel4.ime", targetSysWow64);
    // As in finishInstall: a report of a fault replaces the success text.
    if (installReport() == 0) plat::messageBoxW(installedMessage, u"智能Marl", plat::mbOk);
    finalTsfCheck();
    installFinished = true;
    endWizard(window);
}
