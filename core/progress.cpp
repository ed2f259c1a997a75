#include "core/progress.h"

#include "core/install_state.h"

namespace {
ProgressPainter painter = nullptr;
}

void setProgressPainter(ProgressPainter p) { painter = p; }

void drawProgress() {
    if (state.runMode == silentMode || painter == nullptr) return;
    painter(state.progressPosition, state.progressTotal);
}

void advanceProgress() {
    state.progressPosition += 1;
    drawProgress();
}
