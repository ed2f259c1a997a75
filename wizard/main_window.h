// The wizard's main window.
#pragma once
#include <cstdint>

#include "platform/ui.h"

void setWizardInstance(plat::InstanceHandle instance);
// Non-zero when the main window was created and shown.
int createMainWindow(plat::InstanceHandle instance, int showCommand);
intptr_t mainWindowProc(plat::WindowHandle window, unsigned message, uintptr_t wParam,
                        intptr_t lParam);
