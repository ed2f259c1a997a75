// The input method as an IMM keyboard layout: through IMM, or written by hand when IMM
// refuses the module.
#pragma once
#include <cstddef>

#include "common/install_state.h"  // layoutIdCapacity

// ImmInstallIMEW on "<system directory>\vornel4.ime"; true when IMM accepted the module.
bool installImeLayout();
// Writes the product's entry under the Keyboard Layouts key (reusing an earlier
// installation's entry, or taking a free layout number) and adds it to the current user's
// preload list. Failures are shown to the user.
void registerKeyboardLayout();

// The product's layouts: the subkeys of the Keyboard Layouts key whose "Ime File" names
// VORNEL4.IME (without regard to case), whoever wrote them, IMM or registerKeyboardLayout.
// Fills at most `capacity` ids, in enumeration order, and returns how many it filled. Reads
// only; a key that cannot be read, or whose name is no layout id, is passed over.
// `unknown`, when given, is set when a layout could not be read: it may be the product's.
size_t findProductLayouts(char ids[][layoutIdCapacity], size_t capacity, bool* unknown = nullptr);
// Deletes the product's layouts (findProductLayouts) with whatever subkeys they have, and
// names the ones deleted in `removedIds` (at most `capacity`, `removedCount` of them), so that
// their preload entries can go next. Returns the number deleted, 0 when there were none, -1
// when one could not be deleted (the others are deleted all the same).
int removeKeyboardLayouts(char removedIds[][layoutIdCapacity], size_t capacity,
                          size_t* removedCount);
