#include "common/outcome.h"

#include <string_view>

namespace {

int worst = exitInstalled;

bool startsWith(std::u16string_view text, std::u16string_view start) {
    return text.substr(0, start.size()) == start;
}

constexpr int restoreStage = 1005;

}  // namespace

void resetOutcome() { worst = exitInstalled; }

// 3010 is a success that asks for a restart: above 0, below every failure. The failures
// rank by their code.
long severity(int code) { return code == exitRestartNeeded ? 1 : code == exitInstalled ? 0 : 1L + code; }

void noteOutcome(int code) {
    if (severity(code) > severity(worst)) worst = code;
}

int setupOutcome() { return worst; }

bool outcomeInstalled(int code) {
    return code <= exitPayloadDamaged || code == exitWriteFailed || code == exitRestartNeeded;
}

const char* outcomeName(int code) {
    switch (code) {
        case exitInstalled: return "installed";
        case exitOtherFailure: return "installed with a failure";
        case exitDataNotRestored: return "installed, the learnt data not restored";
        case exitModuleFailed: return "installed, a module not copied or registered";
        case exitPayloadDamaged: return "installed from an incomplete or damaged payload";
        case exitInUse: return "not installed: programs use the input method";
        case exitDefaultInputMethod: return "not installed: the input method is the default";
        case exitNotAdministrator: return "not installed: no administrator rights";
        case exitAnotherSetup: return "not installed: another setup was running";
        case exitNoWizard: return "not installed: the wizard's window could not be created";
        case exitWriteFailed: return "installed, a file not written (disk full or access denied)";
        case exitCancelled: return "not installed: the wizard was left";
        case exitInvalidCommandLine: return "not installed: a switch's value is not known";
        case exitRestartNeeded: return "installed, a restart completes it";
        default: return "unknown";
    }
}

const char* maintenanceOutcomeName(bool repair, int code) {
    switch (code) {
        case exitHealthy: return repair ? "repaired, or nothing to repair" : "healthy";
        case exitDamaged: return "damaged";
        case exitNotInstalled: return "not installed";
        case exitRestartNeeded: return "repaired, a restart completes it";
        case exitDataNotRestored: return "not repaired: learnt data could not be restored";
        case exitModuleFailed: return "not repaired: a file, module or registration could not be restored";
        case exitPayloadDamaged: return "not repaired: the payload is incomplete or damaged";
        default: return outcomeName(code);
    }
}

int outcomeOfMessage(const char16_t* message, int stage) {
    if (message == nullptr) return exitInstalled;
    std::u16string_view text(message);
    // An entry that could not be unpacked: of the backup while it is restored, else the payload's.
    if (startsWith(text, u"没有成功解压复制"))
        return stage == restoreStage ? exitDataNotRestored : exitPayloadDamaged;
    // A sound entry whose file could not be written: of the backup, the learnt data stay in it.
    if (startsWith(text, u"没有成功写入")) return stage == restoreStage ? exitDataNotRestored : exitWriteFailed;
    if (startsWith(text, u"原有数据文件没有成功复制") ||
        text.find(u"原有数据文件没有成功复制") != std::u16string_view::npos)
        return exitDataNotRestored;
    if (startsWith(text, u"文件解压不完整") || text.find(u"上述文件没有成功复制") != std::u16string_view::npos)
        return exitPayloadDamaged;
    if (startsWith(text, u"没有成功复制") || startsWith(text, u"安装包没有成功解压") ||
        (startsWith(text, u"系统") && text.find(u"位dll文件没有挂接成功") != std::u16string_view::npos) ||
        // The keyboard layout could not be registered.
        startsWith(text, u"Software open error") || startsWith(text, u"在WIN2000和WIN NT系统中安装本软件时"))
        return exitModuleFailed;
    // The input method's data still mapped by running programs: used after a restart only.
    if (startsWith(text, u"检测到内存中有智能Marl数据没有退出")) return exitRestartNeeded;
    if (startsWith(text, u"智能Marl汉字输入系统9.0版安装情况报告") || startsWith(text, u"皮肤文件没有成功复制"))
        return exitOtherFailure;
    return exitInstalled;
}
