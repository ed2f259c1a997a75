#include "wizard/main_window.h"

namespace {
plat::InstanceHandle wizardInstance = nullptr;
}

void setWizardInstance(plat::InstanceHandle instance) { wizardInstance = instance; }

int createMainWindow(plat::InstanceHandle, int) {
    // The wizard's pages are not part of this build yet: with no window to show, the wizard
    // mode ends as it does when the window cannot be created.
    return 0;
}

intptr_t mainWindowProc(plat::WindowHandle window, unsigned message, uintptr_t wParam,
                        intptr_t lParam) {
    if (message == plat::wmDestroy) {
        plat::postQuitMessage(0);
        return 0;
    }
    return plat::defWindowProc(window, message, wParam, lParam);
}
