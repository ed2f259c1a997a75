// Painting of the wizard's pages, the progress bar and the drawing pieces they share. The
// painters read the install state and the window objects (wizard_objects.h) and keep nothing
// between calls.
#pragma once
#include "platform/paint.h"
#include "platform/ui.h"

// One painter per page group, given the context to paint into.
void paintChoicePage(plat::DeviceContext dc);      // page 0
void paintUserRecordPage(plat::DeviceContext dc);  // pages 1 to 4
void paintCopyingPage(plat::DeviceContext dc);     // pages 5 and 6 (and 7 while files are copied)
void paintProcessingPage(plat::DeviceContext dc);  // page 7
void paintFinishedPage(plat::DeviceContext dc);    // pages 8 and 9

// The bar in the progress box: empty below position 1, else filled 340 * position / total.
// Outlined with whatever pen the context holds.
void paintProgressBar(plat::DeviceContext dc, int position, int total);

// The install's hooks (WizardView):
// drawProgress: the position capped at total - 15, painted at once through the window's own
// context; nothing in silent mode.
void paintProgressHook(int position, int total);
// The copying page painted at once through the window's own context.
void redrawCopyingPageHook();

// --- shared drawing pieces ---
// 310 horizontal lines, each with its own pen, deleted after use.
void paintChoiceBackground(plat::DeviceContext dc);
void paintStandardBackground(plat::DeviceContext dc);
uint32_t choiceBackgroundColour(int y);
uint32_t standardBackgroundColour(int y);
// Black along the bottom and right, white along the top and left; WHITE_PEN stays selected.
void drawRaisedFrame(plat::DeviceContext dc, int left, int top, int right, int bottom);
void drawRaisedFrame(plat::DeviceContext dc, const plat::Rect& r);
// Black at (x,y), grey shadows 8 to 10 pixels down-right, white on top at 11.
void drawEmbossedText(plat::DeviceContext dc, int x, int y, const char* text);
void drawEmbossedText(plat::DeviceContext dc, int x, int y, const char16_t* text);
// Grey shadows 8 to 10 pixels down-right, then pink at 11 and again one pixel further right.
void drawGlowText(plat::DeviceContext dc, int x, int y, const char* text);
void drawGlowText(plat::DeviceContext dc, int x, int y, const char16_t* text);
