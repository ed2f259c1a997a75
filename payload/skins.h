// The status window's skin and window mode: the dialog that asks for them, and the chosen
// skin's archive unpacked into installDir, where its bitmaps take the names the input method
// loads.
#pragma once
#include <cstdint>

#include "platform/ui.h"

// Control identifiers of the dialog ("PYKEY", and "PYKEYB" in traditional script).
constexpr int skinOkButton = 105;
constexpr int twoLineWindowButton = 101;
constexpr int singleLineWindowButton = 102;
constexpr int doubleWindowButton = 106;
constexpr int windowsStyleWindowButton = 107;
constexpr int coolPorcelainButton = 110;  // "冷色瓷面"
constexpr int pinkPorcelainButton = 111;  // "粉色瓷面"
constexpr int littleAngelButton = 112;    // "小天使"

// The skin's own files, "vrbmp8.vrh" and "vrbmpsx1.bmp" to "vrbmpsx7.bmp": all a skin archive
// (a file any user can rewrite) may produce.
bool isSkinFileName(const char* name);

// The skin half of the payload check, run after verifyPayloadFiles. When the earlier data are
// kept and a complete skin is there, it leaves both alone; otherwise it asks for the window
// mode and the skin (a dialog owned by mainWindow), unpacks the chosen skin archive, checks its
// files and puts "vrbmps44.bmp" over "vrbmpsx4.bmp". Failures are reported, never fatal.
void installSkin(plat::WindowHandle mainWindow);

// The dialog's procedure: seven radio buttons with a flag each, folded into windowModeChoice
// and skinChoice on OK, the only way out.
intptr_t skinDialogProc(plat::WindowHandle dialog, unsigned message, uintptr_t wParam,
                        intptr_t lParam);
