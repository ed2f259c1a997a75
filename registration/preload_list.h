// The keyboard layouts Windows loads at each user's logon, first the default input method:
// reading the current user's list, adding the product's layout, reordering it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/install_state.h"  // layoutIdCapacity

constexpr const char* keyboardLayoutsKey = "System\\CurrentControlSet\\Control\\Keyboard Layouts";

// GetVersion's high bit: the Windows 9x family keeps the list and the layouts in other forms.
bool isNineXFamily();

// Fills preloadList and preloadLayoutTexts from the current user's list; returns
// preloadCount, or 0 when the list or the Keyboard Layouts key cannot be read.
uint32_t readPreloadList();
// Puts the layout id into the current user's list unless it is there already; false when the
// list cannot be opened.
bool addToPreloadList(const char* id);
// Entry 2 becomes the first layout and entry 1 the second, for the current user and (NT) the
// default profile.
void swapFirstTwoPreloadEntries();
// On Windows XP and older: the product's layout moves up to the second place.
void moveProductToSecondPlace();
// Removes every entry that names one of the layouts (without regard to case) from the current
// user's list and, on the NT family, the default profile's; the entries that stay are
// renumbered 1, 2, ... in their order, exactly as they were stored. Returns the number of
// entries removed, 0 when none was there, -1 when one could not be removed (a list that cannot
// be rewritten is left with no entry lost). Without `defaultProfileToo` the current user's list
// only: a user signing in may not change the default profile.
int removeFromPreloadLists(const char (*ids)[layoutIdCapacity], size_t count, bool defaultProfileToo = true);
