// How the install shows itself in the wizard. The wizard fills in the view; lower steps only
// report through here, and silent mode (no view) draws nothing.
#pragma once

struct WizardView {
    void (*paintProgress)(int position, int total) = nullptr;
    void (*redrawCopyingPage)() = nullptr;
    // The finished page: the focused edit field cleared, the window repainted without erasing.
    void (*showFinishedPage)() = nullptr;
};

void setWizardView(const WizardView& view);
// Paints the bar for the current position.
void drawProgress();
// progressPosition += 1, then drawProgress.
void advanceProgress();
void redrawCopyingPage();
// page = 8 and the finished page shown.
void showFinishedPage();
