#include "core/startup.h"

#include <cstring>

#include "checks/admin_check.h"
#include "core/install_state.h"
#include "core/locations.h"
#include "core/pipeline.h"
#include "platform/system.h"
#include "wizard/main_window.h"

const char16_t* const notAdministratorMessage =
    u"本安装程序需要以管理员权限运行，请退出后重新以管理员权限运行。（运行方式为：用鼠标右键点击安装程序，"
    u"在弹出菜单中点击“以管理员身份运行”）";

bool containsWord(const char* commandLine, const char* word) {
    if (commandLine == nullptr || word == nullptr) return false;
    size_t wordLength = std::strlen(word);
    if (wordLength == 0) return true;
    for (const char* start = commandLine; *start != '\0'; ++start) {
        size_t i = 0;
        for (; i < wordLength; ++i) {
            char c = start[i];
            if (c == '\0') return false;
            char folded = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
            if (folded != word[i] && c != word[i]) break;
        }
        if (i == wordLength) return true;
    }
    return false;
}

bool registerMainWindowClass(plat::InstanceHandle instance) {
    plat::WindowClass windowClass;
    windowClass.instance = instance;
    windowClass.procedure = mainWindowProc;
    windowClass.iconName = "vornel";
    windowClass.className = "installWClass";
    return plat::registerWindowClass(windowClass) != 0;
}

int runSetup(plat::InstanceHandle instance, plat::InstanceHandle previousInstance,
             const char* commandLine, int showCommand) {
    state.page = 0;
    state.oemCodePage = plat::getOemCodePage();
    state.runMode = wizardMode;

    computeInstallDir();

    // Binds silent mode as well: the command line is read only after this.
    if (isNotAdministrator()) {
        plat::messageBoxW(notAdministratorMessage, u"智能Marl", plat::mbOk);
        return 0;
    }

    if (!containsWord(commandLine, "regvr32") && containsWord(commandLine, "setvrsrf32")) {
        silentInstall(instance);
        return 0;
    }

    setWizardInstance(instance);
    if (previousInstance != nullptr) return 0;
    if (!registerMainWindowClass(instance)) return 0;
    if (!createMainWindow(instance, showCommand)) return 0;

    plat::Message message;
    while (plat::getMessage(message) > 0) {
        plat::translateMessage(message);
        plat::dispatchMessage(message);
    }
    return static_cast<int>(message.wParam);
}
