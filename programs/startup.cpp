#include "programs/startup.h"

#include <cstring>

#include "checks/admin_check.h"
#include "common/install_state.h"
#include "common/locations.h"
#include "programs/command_line.h"
#include "programs/maintenance.h"
#include "common/outcome.h"
#include "programs/pipeline.h"
#include "common/product.h"
#include "common/setup_log.h"
#include "common/text.h"
#include "programs/unattended.h"
#include "settings/settings_files.h"
#include "platform/ipc.h"
#include "platform/process.h"
#include "platform/system.h"
#include "wizard/main_window.h"

const char16_t* const notAdministratorMessage =
    u"本安装程序需要以管理员权限运行，请退出后重新以管理员权限运行。（运行方式为：用鼠标右键点击安装程序，"
    u"在弹出菜单中点击“以管理员身份运行”）";

bool registerMainWindowClass(plat::InstanceHandle instance) {
    setWizardSteps({runInstallPipeline, finishInstall, finishAfterDelay});
    plat::WindowClass windowClass;
    windowClass.instance = instance;
    windowClass.procedure = mainWindowProc;
    windowClass.iconName = "vornel";
    windowClass.className = "installWClass";
    return plat::registerWindowClass(windowClass) != 0;
}

namespace {

constexpr unsigned silentInstanceWait = 30000;

const char16_t* answerName(int answer) {
    switch (answer) {
        case plat::idOk: return u"OK";
        case plat::idYes: return u"YES";
        case plat::idNo: return u"NO";
        case plat::idCancel: return u"CANCEL";
        default: return u"-";
    }
}

std::u16string number(long value) {
    char16_t digits[24];
    wideNumber(value, digits, 24);
    return digits;
}

// Every message of the run, shown or not: the exit code learns the failures, the log keeps it.
void onMessage(const char16_t* text, const char16_t* caption, unsigned, int answer) {
    noteOutcome(outcomeOfMessage(text, currentStage()));
    if (!setupLogOpen()) return;
    std::u16string fields[] = {
        u"stage=" + number(currentStage()), caption != nullptr ? caption : u"", text != nullptr ? text : u"",
        answerName(answer)};
    logFields(fields, sizeof fields / sizeof fields[0]);
}

void logStart(const char* commandLine, const SetupCommandLine& options) {
    uint32_t major = 0, minor = 0, build = 0;
    if (plat::getNtVersionNumbers(major, minor, build)) {
        build &= 0xFFFF;
    } else {
        plat::OsVersionInfo info;
        plat::getVersionEx(info);
        major = info.major;
        minor = info.minor;
        build = info.build & 0xFFFF;
    }
    std::u16string windows = u"windows=" + number(major) + u"." + number(minor) + u"." + number(build) +
                             u" " + number(detectOsBits()) + u"-bit";
    std::u16string fields[] = {u"vornsetup 9.0", u"command=" + plat::wideFromAnsi(commandLine), windows,
                               u"oemcp=" + number(state.oemCodePage),
                               u"installdir=" + plat::wideFromAnsi(state.installDir),
                               u"previousdir=" + plat::wideFromAnsi(state.previousInstallDir)};
    logFields(fields, sizeof fields / sizeof fields[0]);
    for (size_t i = 0; i < options.unknownCount; ++i) {
        std::u16string ignored[] = {u"switch ignored", plat::wideFromAnsi(options.unknown[i])};
        logFields(ignored, 2);
    }
}

// The exit code: silent mode and a run with a log tell the outcome, the wizard alone ends with 0;
// the check and the repair always tell theirs.
int endRun(const SetupCommandLine& options) {
    bool maintenance = options.check || options.repair;
    int code = options.silent || options.logRequested || maintenance ? setupOutcome() : 0;
    const char* name = maintenance ? maintenanceOutcomeName(options.repair, setupOutcome())
                                   : outcomeName(setupOutcome());
    std::u16string fields[] = {u"result=" + plat::wideFromAnsi(name), u"exit=" + number(code)};
    logFields(fields, 2);
    closeSetupLog();
    plat::setMessageObserver(nullptr);
    endUnattended();
    return code;
}

const char16_t* const helpText =
    u"智能Marl输入平台 9.0 安装程序\r\n\r\n"
    u"/S、/SILENT、/QUIET、/VERYSILENT、-S：静默安装，不显示窗口\r\n"
    u"/INTERFACE=TSF|IME、/EDITION=PINYIN|WUBI：静默安装的输入接口和版本（默认IME、Qolvane专版）\r\n"
    u"/LOG=\"路径\"：日志文件\r\n"
    u"/CHECK、/REPAIR：检查、修复已安装的输入平台\r\n"
    u"/SUPPRESSMSGBOXES、/NORESTART：接受，不改变什么（本程序从不重新启动计算机）\r\n\r\n"
    u"退出码：0 安装完毕；3010 安装完毕，重新启动后生效；1 其他错误；2 原有数据没有恢复；"
    u"3 模块没有复制或挂接；4 安装包不完整；5 有程序在使用输入法；6 输入法是系统默认输入法；"
    u"7 没有管理员权限；9 窗口没有建立；11 有文件没有写入（磁盘满或没有权限）；1602 安装被取消；1618 另一个安装程序在运行；"
    u"1639 命令行开关的值不对";

// "/?" or a switch with a value it does not take: the switches told (in the log when silent),
// nothing installed, and no wizard. The help ends with 0, a wrong value with its own code.
int tellSwitches(const char* commandLine, const SetupCommandLine& options) {
    plat::setMessageObserver(onMessage);
    if (options.silent) beginUnattended();
    computeInstallDir();
    if (options.silent || options.logRequested) {
        openSetupLog(options.logPath);
        logStart(commandLine, options);
    }
    std::u16string text = helpText;
    if (options.invalid[0] != '\0') {
        std::u16string fields[] = {u"switch value not known", plat::wideFromAnsi(options.invalid)};
        logFields(fields, 2);
        noteOutcome(exitInvalidCommandLine);
        text = u"命令行开关的值不对：" + plat::wideFromAnsi(options.invalid) + u"\r\n\r\n" + text;
    }
    plat::messageBoxW(text.c_str(), u"智能Marl安装", plat::mbOk);
    int code = endRun(options);
    return options.invalid[0] != '\0' ? exitInvalidCommandLine : code;
}

}  // namespace

int runSetup(plat::InstanceHandle instance, plat::InstanceHandle previousInstance,
             const char* commandLine, int showCommand) {
    state.page = 0;
    state.oemCodePage = plat::getOemCodePage();
    state.runMode = wizardMode;
    resetOutcome();
    // Read first, without side effects: whether anyone will see a box decides how the
    // administrator refusal is told.
    const SetupCommandLine options = parseCommandLine(commandLine);
    if (options.help || options.invalid[0] != '\0') return tellSwitches(commandLine, options);
    // One setup at a time over the same directory and the same learnt data. A second wizard
    // shows the first and ends; a second silent run waits for the first a while, then gives up.
    bool another = false;
    if (!plat::holdSingleInstance(instanceMutexName, options.silent ? silentInstanceWait : 0, another)) {
        if (!options.silent) {
            if (plat::WindowHandle first = plat::findWindow("installWClass")) plat::bringToFront(first);
            return 0;
        }
        noteOutcome(exitAnotherSetup);
        computeInstallDir();
        // The first one's log may still be open: added to, not replaced.
        if (openSetupLog(options.logPath)) {
            logStart(commandLine, options);
            std::u16string fields[] = {u"another setup of this product is running"};
            logFields(fields, 1);
        }
        return endRun(options);
    }
    plat::setMessageObserver(onMessage);
    // Nobody answers a box in silent mode: each is answered as by default, and logged.
    if (options.silent) {
        beginUnattended();
        plat::startProgramsHidden(true);
    }

    computeInstallDir();
    // The check changes nothing and needs no rights to read, so it skips the administrator
    // check, which writes the path file to learn whether it may.
    bool refused = false;
    if (options.check || options.repair) readPathFile(1);
    // Nor does the repair of nothing: it ends with "not installed" having written nothing.
    bool nothingToRepair = options.repair && !installationRecorded();
    if (!options.check && !nothingToRepair) refused = isNotAdministrator();
    if (options.silent || options.logRequested) {
        openSetupLog(options.logPath);
        logStart(commandLine, options);
    }
    // Binds silent mode as well.
    if (refused) {
        plat::messageBoxW(notAdministratorMessage, u"智能Marl", plat::mbOk);
        noteOutcome(exitNotAdministrator);
        return endRun(options);
    }

    if (options.check || options.repair) {
        int code = runMaintenance(options.check ? MaintenanceMode::check : MaintenanceMode::repair,
                                  instance, options.silent);
        plat::startProgramsHidden(false);
        // Its own code, not the most serious of the messages met on the way; a module moved
        // aside for the restart still asks for one.
        bool restart = setupOutcome() == exitRestartNeeded;
        resetOutcome();
        noteOutcome(code);
        if (restart && options.repair) noteOutcome(exitRestartNeeded);
        return endRun(options);
    }

    if (options.silent) {
        // The interface and edition asked for; the others as silent mode always took them.
        if (options.interfaceChoice >= 0) state.interfaceChoice = static_cast<uint32_t>(options.interfaceChoice);
        if (options.editionChoice >= 0) state.editionChoice = static_cast<uint32_t>(options.editionChoice);
        silentInstall(instance);
        // The wizard writes its settings files; silent mode only the edition, when told one.
        if (options.editionChoice >= 0 && outcomeInstalled(setupOutcome())) applyEditionChoice();
        plat::startProgramsHidden(false);
        return endRun(options);
    }

    setWizardInstance(instance);
    forgetWizardInstall();
    if (previousInstance != nullptr || !registerMainWindowClass(instance) ||
        !createMainWindow(instance, showCommand)) {
        noteOutcome(exitNoWizard);
        return endRun(options);
    }

    plat::Message message;
    while (plat::getMessage(message) > 0) {
        plat::translateMessage(message);
        plat::dispatchMessage(message);
    }
    // Left before the install ran to its end, and for no reason of its own (the refusals note
    // theirs): the user quit.
    if (!wizardInstallFinished() && setupOutcome() == exitInstalled) noteOutcome(exitCancelled);
    int code = endRun(options);
    // The final message's wParam (PostQuitMessage's 0), unless a log asked for the outcome.
    return options.logRequested ? code : static_cast<int>(message.wParam);
}
