#include "common/progress.h"

#include "common/install_state.h"

namespace {
WizardView view;

bool visible() { return state.runMode != silentMode; }
}  // namespace

void setWizardView(const WizardView& v) { view = v; }

void drawProgress() {
    if (visible() && view.paintProgress != nullptr)
        view.paintProgress(state.progressPosition, state.progressTotal);
}

void advanceProgress() {
    state.progressPosition += 1;
    drawProgress();
}

void redrawCopyingPage() {
    if (visible() && view.redrawCopyingPage != nullptr) view.redrawCopyingPage();
}

void showFinishedPage() {
    state.page = 8;
    if (visible() && view.showFinishedPage != nullptr) view.showFinishedPage();
}
