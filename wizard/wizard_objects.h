// The wizard window's objects: created with the main window, alive until WM_DESTROY, read by
// the painters and the page handlers.
#pragma once
#include "platform/paint.h"
#include "platform/ui.h"

struct WizardObjects {
    plat::InstanceHandle instance = nullptr;
    plat::WindowHandle mainWindow = nullptr;
    plat::WindowHandle focusEdit = nullptr;
    plat::WindowHandle passwordEdit = nullptr;
    plat::WindowHandle nameEdit = nullptr;
    plat::WindowHandle phoneEdit = nullptr;
    plat::GdiObject textFont = nullptr;
    plat::GdiObject titleFont = nullptr;
    plat::GdiObject progressBrush = nullptr;

    // Hit rectangles in client coordinates; a point is inside when left <= x <= right and
    // top <= y <= bottom.
    plat::Rect nextButtonRect;
    plat::Rect quitButtonRect;
    plat::Rect phoneRowRect;
    plat::Rect nameRowRect;
    plat::Rect passwordRowRect;
    plat::Rect pinyinEditionRect;
    plat::Rect wubiEditionRect;
    plat::Rect tsfInterfaceRect;
    plat::Rect imeInterfaceRect;
    // Stored as left, top, width, height: x 30, y 188, 340 by 30.
    plat::Rect progressBarBox;
};

extern WizardObjects wizard;
