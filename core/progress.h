// Progress of the install. The wizard paints the bar; lower steps only report through here,
// and silent mode draws nothing.
#pragma once

using ProgressPainter = void (*)(int position, int total);

void setProgressPainter(ProgressPainter painter);
// Paints the bar for the current position (nothing in silent mode or without a painter).
void drawProgress();
// progressPosition += 1, then drawProgress.
void advanceProgress();
