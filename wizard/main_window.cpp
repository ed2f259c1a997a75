#include "wizard/main_window.h"

#include <cstring>
#include <new>

#include "common/install_state.h"
#include "common/locations.h"
#include "common/progress.h"
#include "common/text.h"
#include "platform/paint.h"
#include "platform/resources.h"
#include "wizard/user_record.h"
#include "userdata/backup.h"
#include "wizard/page_painting.h"
#include "wizard/wizard_objects.h"

WizardObjects wizard;

namespace {

WizardSteps steps;

// A step the flow did not hand over does nothing.
void take(void (*step)(plat::WindowHandle), plat::WindowHandle window) {
    if (step != nullptr) step(window);
}

constexpr int windowWidth = 400;
constexpr int windowHeight = 310;
constexpr size_t titleCapacity = 200;

// The install runs inside the click handler, its completion from a timer; message boxes' modal
// loops may deliver a close or a destroy meanwhile. Nothing the install uses may be freed under
// it: such a request waits until the install, its completion and its final messages are done.
int installSteps = 0;
bool closeDeferred = false;

bool installBusy() { return installSteps > 0 || state.completionPending != 0; }

// One step of the install from the window procedure; a close that waited is honoured after it,
// unless the completion is still to come (it ends the wizard itself).
template <class Step>
void guarded(plat::WindowHandle window, Step step) {
    ++installSteps;
    step();
    --installSteps;
    if (closeDeferred && !installBusy()) {
        closeDeferred = false;
        plat::postMessage(window, plat::wmDestroy, 0, 0);
    }
}

// Inclusive of the edges; an empty rectangle (the emptied choices) holds no point, not even
// (0,0).
bool inside(const plat::Rect& r, int x, int y) {
    if (r.right <= r.left || r.bottom <= r.top) return false;
    return r.left <= x && x <= r.right && r.top <= y && y <= r.bottom;
}

plat::Rect rect(int left, int top, int right, int bottom) { return plat::Rect{left, top, right, bottom}; }

void clearFocusEditAndRepaint() {
    plat::setWindowTextA(wizard.focusEdit, "");
    plat::invalidate(wizard.mainWindow, false);
}

void setUpObjects() {
    plat::DeviceContext screen = plat::getDC(nullptr);
    wizard.textFont = plat::createFont(22, 7, 0, plat::charsetGb2312, "宋体");
    plat::selectObject(screen, wizard.textFont);
    wizard.titleFont = plat::createFont(40, 20, 0, plat::charsetGb2312, "楷体");
    wizard.progressBrush = plat::createSolidBrush(plat::rgb(30, 144, 255));
    wizard.progressBarBox = rect(30, 188, 340, 30);
    wizard.nextButtonRect = rect(40, 245, 140, 270);
    wizard.quitButtonRect = rect(260, 245, 360, 270);
    wizard.passwordRowRect = rect(30, 192, 365, 217);
    wizard.nameRowRect = rect(30, 162, 365, 187);
    wizard.phoneRowRect = rect(30, 132, 365, 157);
    if (state.interfaceChoiceOffered) {
        wizard.pinyinEditionRect = rect(160, 190, 255, 210);
        wizard.wubiEditionRect = rect(275, 190, 370, 210);
        wizard.tsfInterfaceRect = rect(160, 215, 255, 235);
        wizard.imeInterfaceRect = rect(275, 215, 370, 235);
    } else {
        wizard.pinyinEditionRect = rect(160, 210, 255, 230);
        wizard.wubiEditionRect = rect(275, 210, 370, 230);
        wizard.tsfInterfaceRect = plat::Rect{};
        wizard.imeInterfaceRect = plat::Rect{};
    }
    plat::releaseDC(nullptr, screen);
}

intptr_t onCreate(plat::WindowHandle window) {
    state.editionChoice = 0;
    state.interfaceChoiceOffered = 0;
    state.wizardStarted = 1;
    if (state.osVersionCode < 60) state.interfaceChoiceOffered = 1;
    state.progressTotal = 0;
    state.progressPosition = 0;
    wizard.mainWindow = window;
    setUpObjects();

    // A missing payload is not reported here: extraction meets it and says so.
    state.payload = plat::loadResource(wizard.instance, "QVTKVRZ", "VRZ", &state.payloadSize);
    if (state.payload == nullptr) state.payloadSize = 0;
    state.workBuffer = plat::allocateBlock(workBufferSize);
    // The backup needs no work block: without one the learnt data are still kept safe.
    backUpEarlierInstallation();
    return 0;
}

void onDestroy() {
    // Both the program and a deferred close may ask; the objects are freed once.
    if (wizard.textFont == nullptr && state.workBuffer == nullptr) {
        plat::postQuitMessage(0);
        return;
    }
    plat::freeBlock(state.workBuffer);
    state.workBuffer = nullptr;
    state.payload = nullptr;
    state.payloadSize = 0;
    plat::deleteObject(wizard.titleFont);
    plat::deleteObject(wizard.textFont);
    plat::deleteObject(wizard.progressBrush);
    wizard.titleFont = wizard.textFont = wizard.progressBrush = nullptr;
    plat::postQuitMessage(0);
}

void onPaint(plat::WindowHandle window) {
    plat::PaintSession session;
    plat::beginPaint(window, session);
    if (state.page <= 0) paintChoicePage(session.dc);
    else if (state.page <= 4) paintUserRecordPage(session.dc);
    else if (state.page <= 6) paintCopyingPage(session.dc);
    else if (state.page == 7) paintProcessingPage(session.dc);
    else paintFinishedPage(session.dc);
    plat::endPaint(window, session);
}

void leaveChoiceOrRecordPage() {
    // The shared path texts of the size comparison and the current directory start empty.
    std::memset(state.scratchPath, 0, scratchCapacity);
    plat::DeviceContext dc = plat::getDC(wizard.mainWindow);
    paintUserRecordPage(dc);
    plat::releaseDC(wizard.mainWindow, dc);
    for (plat::WindowHandle edit : {wizard.passwordEdit, wizard.nameEdit, wizard.phoneEdit}) {
        plat::showWindow(edit, plat::swHide);
        plat::showWindow(edit, plat::swShowWindow);
    }
    if (state.page == 0) {
        plat::setWindowTextA(wizard.phoneEdit, "");
        loadUserRecord();
    }
    computeInstallDir();
    acceptUserRecord();
    plat::invalidate(wizard.mainWindow, false);
}

void onClick(plat::WindowHandle window, intptr_t lParam) {
    int x = static_cast<int>(static_cast<uint32_t>(lParam) & 0xFFFF);
    int y = static_cast<int>((static_cast<uint32_t>(lParam) >> 16) & 0xFFFF);
    if (state.page == 7) return;
    if (inside(wizard.quitButtonRect, x, y)) {
        if (state.page >= 8) guarded(window, [&] { take(steps.finish, window); });
        else plat::postMessage(window, plat::wmDestroy, 0, 0);
        return;
    }
    bool chose = true;
    if (inside(wizard.pinyinEditionRect, x, y)) state.editionChoice = 1;
    else if (inside(wizard.wubiEditionRect, x, y)) state.editionChoice = 0;
    else if (inside(wizard.tsfInterfaceRect, x, y)) {
        if (state.interfaceChoiceOffered) state.interfaceChoice = 1;
    } else if (inside(wizard.imeInterfaceRect, x, y)) {
        if (state.interfaceChoiceOffered) state.interfaceChoice = 0;
    } else {
        chose = false;
    }
    if (chose) {
        plat::invalidate(window, false);
        return;
    }
    if (!inside(wizard.nextButtonRect, x, y)) return;

    // The choices are fixed from the first confirmation on.
    wizard.pinyinEditionRect = wizard.wubiEditionRect = plat::Rect{};
    wizard.tsfInterfaceRect = wizard.imeInterfaceRect = plat::Rect{};
    switch (state.page) {
        case 6: guarded(window, [&] { take(steps.install, window); }); break;
        case 9: guarded(window, [&] { take(steps.finish, window); }); break;
        case 8:
            state.page = 9;
            plat::invalidate(window, false);
            break;
        case 0:
        case 1: leaveChoiceOrRecordPage(); break;
        default: break;
    }
}

}  // namespace

void setWizardSteps(const WizardSteps& given) { steps = given; }

void setWizardInstance(plat::InstanceHandle instance) { wizard.instance = instance; }

int createMainWindow(plat::InstanceHandle instance, int showCommand) {
    wizard.instance = instance;
    int width = plat::screenWidth();
    int height = plat::screenHeight();

    char16_t title[titleCapacity] = u"智能Marl系统安装32-";
    state.osBits = static_cast<uint32_t>(detectOsBits());
    state.windows10 = 0;
    if (state.osVersionCode > 60) state.windows10 = isWindows10() ? 1 : 0;
    if (is64BitWindows()) copyWide(title, titleCapacity, u"智能Marl系统安装3264-");
    char numbers[64];
    formatText(numbers, sizeof numbers, "%u-%d-10%d-%u", state.osBits, state.wow64Process,
               state.windows10, static_cast<unsigned>(state.osVersionCode));
    appendWide(title, titleCapacity, u"os：");
    char16_t wideNumbers[64] = {};
    for (size_t i = 0; i < 63 && numbers[i] != '\0'; ++i) wideNumbers[i] = static_cast<char16_t>(numbers[i]);
    appendWide(title, titleCapacity, wideNumbers);
    // Traditional script replaces the whole title, OS numbers and all. The caption is taken at
    // creation, so the choice is made before the window exists.
    if (state.oemCodePage == 950) copyWide(title, titleCapacity, u"智能Marl系統安裝");
    state.interfaceChoice = 1;

    WizardView view;
    view.paintProgress = paintProgressHook;
    view.redrawCopyingPage = redrawCopyingPageHook;
    view.showFinishedPage = clearFocusEditAndRepaint;
    setWizardView(view);

    plat::WindowHandle window =
        plat::createWindow("installWClass", title, plat::wsSysMenu, (width - windowWidth) / 2,
                           (height - 300) / 2, windowWidth, windowHeight, instance);
    if (window == nullptr) return 0;
    wizard.mainWindow = window;
    wizard.focusEdit = plat::createEditControl(window, 120, 195, 230, 20, instance);
    wizard.passwordEdit = plat::createEditControl(window, 130, 195, 230, 20, instance);
    wizard.nameEdit = plat::createEditControl(window, 130, 165, 230, 20, instance);
    wizard.phoneEdit = plat::createEditControl(window, 130, 135, 230, 20, instance);
    plat::showWindow(window, showCommand);
    plat::updateWindow(window);
    return 1;
}

intptr_t mainWindowProc(plat::WindowHandle window, unsigned message, uintptr_t wParam,
                        intptr_t lParam) {
    switch (message) {
        case plat::wmCreate: return onCreate(window);
        case plat::wmPaint: onPaint(window); return 0;
        case plat::wmSetFocus: plat::setFocus(wizard.focusEdit); return 0;
        case plat::wmMouseMove: return 0;
        case plat::wmLButtonDown:
        case plat::wmRButtonDown: onClick(window, lParam); return 0;
        case plat::wmTimer: guarded(window, [&] { take(steps.delayedFinish, window); }); return 0;
        case plat::wmClose:
            if (installBusy()) {
                closeDeferred = true;
                return 0;
            }
            return plat::defWindowProc(window, message, wParam, lParam);
        case plat::wmDestroy:
            if (installBusy()) {
                closeDeferred = true;
                return 0;
            }
            onDestroy();
            return 0;
        default: return plat::defWindowProc(window, message, wParam, lParam);
    }
}
