// The wizard's main window.
#pragma once
#include <cstdint>

#include "platform/ui.h"

// What the wizard's buttons and timer start. The install and its completion belong to the
// program's flow above the wizard, which hands them over before the window is created.
struct WizardSteps {
    void (*install)(plat::WindowHandle window) = nullptr;           // confirmed on page 6
    void (*finish)(plat::WindowHandle window) = nullptr;            // the finished page's buttons
    void (*delayedFinish)(plat::WindowHandle window) = nullptr;  // the completion timer
};
void setWizardSteps(const WizardSteps& steps);

void setWizardInstance(plat::InstanceHandle instance);
// Non-zero when the main window was created and shown.
int createMainWindow(plat::InstanceHandle instance, int showCommand);
intptr_t mainWindowProc(plat::WindowHandle window, unsigned message, uintptr_t wParam,
                        intptr_t lParam);
