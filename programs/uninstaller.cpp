#include "programs/uninstaller.h"

#include <string>

#include "checks/in_use.h"
#include "programs/command_line.h"
#include "common/install_state.h"
#include "common/locations.h"
#include "common/product.h"
#include "common/setup_log.h"
#include "common/text.h"
#include "programs/unattended.h"
#include "common/file_ops.h"
#include "payload/module_removal.h"
#include "platform/files.h"
#include "platform/ipc.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "registration/keyboard_layout.h"
#include "registration/preload_list.h"
#include "registration/registry_text.h"
#include "registration/system_entries.h"
#include "registration/text_service.h"
#include "registration/user_steps.h"
#include "userdata/uninstall_data.h"

namespace {

constexpr const char* uninstallLogName = "vorndel8.log";
constexpr unsigned silentInstanceWait = 30000;

// Every text in both scripts: traditional where the OEM code page is 950.
struct Text {
    const char16_t* simplified;
    const char16_t* traditional;
};

const Text caption = {u"智能Marl卸载", u"智能Marl解除安裝"};
const Text question = {
    u"确实要从本机卸载智能Marl输入平台 9.0 吗？\r\n\r\n"
    u"是否保留您的词组等学习数据？保留的数据在重新安装时可以恢复。\r\n\r\n"
    u"“是”：卸载，保留学习数据\r\n“否”：卸载，同时删除学习数据\r\n“取消”：不卸载",
    u"確實要從本機解除安裝智能Marl輸入平台 9.0 嗎？\r\n\r\n"
    u"是否保留您的詞組等學習資料？保留的資料在重新安裝時可以還原。\r\n\r\n"
    u"「是」：解除安裝，保留學習資料\r\n「否」：解除安裝，同時刪除學習資料\r\n「取消」：不解除安裝"};
const Text removed = {u"智能Marl输入平台 9.0 已从本机卸载。", u"智能Marl輸入平台 9.0 已從本機解除安裝。"};
const Text keptAt = {u"\r\n\r\n您的学习数据保留在 ", u"\r\n\r\n您的學習資料保留在 "};
const Text keptEnd = {u"，重新安装时可以恢复。", u"，重新安裝時可以還原。"};
const Text restart = {u"\r\n\r\n部分文件正在使用中，将在重新启动计算机时删除。请重新启动计算机以完成卸载。",
                      u"\r\n\r\n部分檔案正在使用中，將在重新啟動電腦時刪除。請重新啟動電腦以完成解除安裝。"};
const Text failed = {u"\r\n\r\n有些项目没有成功删除（详见卸载记录）。请关闭所有程序后重新运行卸载程序。",
                     u"\r\n\r\n有些項目沒有成功刪除（詳見解除安裝記錄）。請關閉所有程式後重新執行解除安裝程式。"};
const Text nothing = {u"本机没有安装智能Marl输入平台 9.0，没有需要卸载的内容。",
                      u"本機沒有安裝智能Marl輸入平台 9.0，沒有需要解除安裝的內容。"};
const Text another = {u"另一个智能Marl安装或卸载程序正在运行，请等它结束后再卸载。",
                      u"另一個智能Marl安裝或解除安裝程式正在執行，請等它結束後再解除安裝。"};
const Text notAdministrator = {u"本卸载程序需要以管理员权限运行，请用鼠标右键点击卸载程序，选择“以管理员身份运行”。",
                               u"本解除安裝程式需要以系統管理員權限執行，請用滑鼠右鍵點選解除安裝程式，選擇「以系統管理員身分執行」。"};

const char16_t* in(const Text& text) { return state.oemCodePage == 950 ? text.traditional : text.simplified; }

int show(const std::u16string& text, unsigned type) { return plat::messageBoxW(text.c_str(), in(caption), type); }

std::u16string number(long value) {
    char16_t digits[24];
    wideNumber(value, digits, 24);
    return digits;
}

void logLine(std::u16string a, std::u16string b = {}) {
    std::u16string fields[] = {std::move(a), std::move(b)};
    logFields(fields, fields[1].empty() ? 1 : 2);
}

void onMessage(const char16_t* text, const char16_t*, unsigned, int answer) {
    logLine(u"message", std::u16string(text != nullptr ? text : u"") + u"\t" + number(answer));
}

void onRemoval(Removal result, const char* what) {
    if (result == Removal::absent) return;  // its own file, gone already
    const char16_t* verb = result == Removal::removed     ? u"removed"
                           : result == Removal::atRestart ? u"removed at the restart"
                           : result == Removal::waiting   ? u"waits for the restart"
                                                          : u"not removed";
    std::u16string fields[] = {verb, plat::wideFromAnsi(what), u"error=" + number(lastRemovalError())};
    // Windows' error number where it gave one.
    logFields(fields, result == Removal::failed && lastRemovalError() != 0 ? 3 : 2);
}

// Administrators only may change the Windows directory (before Vista everyone may, and there
// is no test, as in the setup). The probe is a file of its own: the path file is left alone.
bool isAdministrator() {
    is64BitWindows();
    if (state.osMajorVersion < 6) return true;
    char dir[dirCapacity];
    char probe[dirCapacity + 24];
    if (plat::getWindowsDirectory(dir, dirCapacity) == 0 ||
        !formatText(probe, sizeof probe, "%s\\vorndel8.tmp", dir))
        return false;
    plat::FileHandle file = plat::lcreat(probe, 0);
    if (file == plat::fileError) return false;
    plat::lclose(file);
    plat::deleteFile(probe);
    return true;
}

constexpr const char* uninstallEntryKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vornqwb8";
constexpr const char* textServiceKey = "SOFTWARE\\Microsoft\\CTF\\TIP\\{65653599-5030-4C0F-8871-83F6AFDE5098}";

bool runValuePresent() {
    plat::ScopedKey run;
    if (!plat::openKey(plat::hkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                       plat::RegAccess::read, run))
        return false;
    uint32_t type = 0, size = 0;
    long result = plat::regQueryValue(run.get(), "vrvksjgl", &type, nullptr, &size);
    return result == plat::regOk || result == plat::regMoreData;
}

// Anything of the product on the machine, besides the learnt data and their backup (what an
// uninstall that keeps them leaves) and this program itself.
bool installationFound(const char* dir) {
    char ids[4][layoutIdCapacity];
    return pathFilePresent() || registryKeyExists(plat::hkeyLocalMachine, uninstallEntryKey) ||
           registryKeyExists(plat::hkeyLocalMachine, textServiceKey) || findProductLayouts(ids, 4) > 0 ||
           runValuePresent() || systemModulesPresent() || productFilesPresent(dir);
}

// The installation's directory: as the path file records it, when that is a directory the
// setup can have made; else where the setup puts it on this machine.
void locateInstallation(char* dir) {
    computeInstallDir();
    state.previousInstallDir[0] = '\0';
    readPathFile(1);
    const char* recorded = state.previousInstallDir;
    copyText(dir, previousDirCapacity, isInstallDirectoryName(recorded) ? recorded : state.installDir);
    if (recorded[0] != '\0' && !isInstallDirectoryName(recorded))
        logLine(u"path file names no install directory", plat::wideFromAnsi(recorded));
}

constexpr size_t layoutIdsCapacity = 16;

// The layouts the install recorded whose keys an earlier, interrupted run removed: their
// preload entries are still the product's. A recorded id whose key is there now and not ours
// (findProductLayouts passed it over) is another input method's.
void addRecordedLayouts(char (*ids)[layoutIdCapacity], size_t& count) {
    char recorded[8][layoutIdCapacity];
    size_t found = recordedLayouts(recorded, 8);
    for (size_t r = 0; r < found && count < layoutIdsCapacity; ++r) {
        bool known = false;
        for (size_t i = 0; i < count && !known; ++i) known = sameTextIgnoringCase(ids[i], recorded[r]);
        char key[96];
        if (known || !formatText(key, sizeof key, "%s\\%s", keyboardLayoutsKey, recorded[r]) ||
            registryKeyExists(plat::hkeyLocalMachine, key))
            continue;
        copyText(ids[count++], layoutIdCapacity, recorded[r]);
    }
}

// A registry step counted, with Windows' error number of the call that failed in it.
template <typename Step>
void registryStep(RemovalTally& tally, const char* what, Step step) {
    plat::takeRegistryFailure();
    int result = step();
    countRegistryRemoval(tally, result, what, plat::takeRegistryFailure());
}

// The other users' entries go at their next sign-in, as they came: the component now runs the
// removal of what this uninstall took from the machine, which the program can no longer find
// there then. Without a program to run it (an installation older than the component), or with
// nothing to remove, the component goes.
void registerRemovalForEveryUser(const char (*ids)[layoutIdCapacity], size_t idCount, const std::u16string& profiles,
                                 RemovalTally& tally) {
    if (isNineXFamily()) return;
    plat::takeRegistryFailure();
    std::string arguments = userStepsRemove;
    for (size_t i = 0; i < idCount; ++i) arguments += std::string(" ") + ids[i];
    // The profiles are ASCII ("0x0804:{...}{...}", ";" between them).
    std::string rest;
    for (char16_t c : profiles) rest += c == u';' ? ' ' : static_cast<char>(c);
    if (!rest.empty()) arguments += " " + rest;
    char program[dirCapacity + 16];
    bool present = userStepsProgramPath(program, sizeof program) &&
                   plat::getFileAttributes(program) != plat::invalidAttributes;
    if (present && (idCount > 0 || !rest.empty())) {
        if (registerUserSteps(arguments.c_str())) logLine(u"per-user removal registered", plat::wideFromAnsi(arguments.c_str()));
        else countRegistryRemoval(tally, -1, "per-user removal", plat::takeRegistryFailure());
        return;
    }
    long status = removeUserSteps();
    countRegistryRemoval(tally, status == plat::regOk ? 1 : status == plat::regFileNotFound ? 0 : -1, "per-user steps",
                         static_cast<uint32_t>(status));
    if (status != plat::regOk && status != plat::regFileNotFound) return;
    // Nobody runs the program any more; this account's mark of it goes with it.
    if (present) removeCounted(tally, program);
    char mark[dirCapacity];
    formatText(mark, sizeof mark, "Software\\Microsoft\\Active Setup\\Installed Components\\%s", userStepsComponent);
    plat::regDeleteTree(plat::hkeyCurrentUser, mark, plat::RegView::process);
}

void removeEverything(const char* dir, bool keepLearnedData, RemovalTally& tally) {
    // The server quits and its program is moved aside; its copy goes with the directory.
    copyText(state.installDir, dirCapacity, dir);
    stopInputMethodServer();
    // Before the modules' unregistration takes the profiles' keys away.
    const std::u16string profiles = productProfileIds();
    // While the modules are still there to unregister themselves.
    registryStep(tally, "text service", [] { return unregisterTextService(); });
    char ids[layoutIdsCapacity][layoutIdCapacity];
    size_t idCount = 0;
    registryStep(tally, "keyboard layout", [&] { return removeKeyboardLayouts(ids, layoutIdsCapacity, &idCount); });
    addRecordedLayouts(ids, idCount);
    if (idCount > 0) registryStep(tally, "preload list", [&] { return removeFromPreloadLists(ids, idCount); });
    registerRemovalForEveryUser(ids, idCount, profiles, tally);
    removeSystemModules(tally);
    removeInstallDirectory(dir, keepLearnedData, tally);
    removePathFiles(tally);
    removeAsideUninstallers(tally);
    // Last: until all the rest is gone the entry stays, with the uninstaller it runs, so that
    // the uninstall can be run again to finish it.
    registryStep(tally, "uninstall entry, Run value, marker", [&] { return removeSystemEntries(tally.failed > 0); });
    if (tally.failed > 0) logLine(u"uninstall entry kept");
}

int finish(int code) {
    logLine(u"exit=" + number(code));
    closeSetupLog();
    plat::setMessageObserver(nullptr);
    setRemovalObserver(nullptr);
    endUnattended();
    plat::startProgramsHidden(false);
    return code;
}

}  // namespace

int runUninstaller(const char* commandLine) {
    resetInstallState();
    state.oemCodePage = plat::getOemCodePage();
    const SetupCommandLine options = parseCommandLine(commandLine);
    if (options.silent) {
        beginUnattended();
        plat::startProgramsHidden(true);
    }
    if (options.silent || options.logRequested) {
        openSetupLog(options.logPath, uninstallLogName);
        logLine(u"vorndel8 9.0", u"command=" + plat::wideFromAnsi(commandLine != nullptr ? commandLine : ""));
    }
    plat::setMessageObserver(onMessage);
    setRemovalObserver(onRemoval);

    bool running = false;
    if (!plat::holdSingleInstance(instanceMutexName, options.silent ? silentInstanceWait : 0, running)) {
        show(in(another), plat::mbOk);
        return finish(uninstallAnotherRunning);
    }
    if (!isAdministrator()) {
        show(in(notAdministrator), plat::mbOk);
        return finish(uninstallNotAdministrator);
    }
    char dir[previousDirCapacity];
    locateInstallation(dir);
    logLine(u"installdir=" + plat::wideFromAnsi(dir));
    if (!installationFound(dir)) {
        show(in(nothing), plat::mbOk);
        return finish(uninstallNotInstalled);
    }
    bool keep = !options.removeData;
    if (!options.silent) {
        int answer = show(in(question), plat::mbYesNoCancel | plat::mbIconQuestion);
        if (answer != plat::idYes && answer != plat::idNo) return finish(uninstallCancelled);
        keep = answer == plat::idYes;
    }
    logLine(keep ? u"learnt data kept" : u"learnt data removed");

    RemovalTally tally;
    removeEverything(dir, keep, tally);
    // Its own file last; that it may have to wait for the restart needs no restart of the user.
    // Kept while the uninstall entry is.
    if (tally.failed == 0) onRemoval(removeOwnProgram(), "vorndel8.exe");

    std::u16string report = in(removed);
    if (keep && plat::getFileAttributes(dir) != plat::invalidAttributes)
        report += in(keptAt) + plat::wideFromAnsi(dir) + in(keptEnd);
    if (tally.atRestart + tally.waiting > 0) report += in(restart);
    if (tally.failed > 0) report += in(failed);
    show(report, plat::mbOk | plat::mbIconInformation);
    logLine(u"removed=" + number(tally.removed), u"at restart=" + number(tally.atRestart) + u"\twaiting=" +
                                                    number(tally.waiting) + u"\tfailed=" + number(tally.failed));
    if (tally.failed > 0) return finish(uninstallFailed);
    return finish(tally.atRestart > 0 ? uninstallRestartNeeded : uninstallRemoved);
}
