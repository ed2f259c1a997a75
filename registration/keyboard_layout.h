// The input method as an IMM keyboard layout: through IMM, or written by hand when IMM
// refuses the module.
#pragma once

// ImmInstallIMEW on "<system directory>\vornel4.ime"; true when IMM accepted the module.
bool installImeLayout();
// Writes the product's entry under the Keyboard Layouts key (reusing an earlier
// installation's entry, or taking a free layout number) and adds it to the current user's
// preload list. Failures are shown to the user.
void registerKeyboardLayout();
