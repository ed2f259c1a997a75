// The entries the setup leaves in the machine's registry besides the input method itself:
// the uninstall entry, the start-up command and the version marker among the user-agent
// tokens. All silent: a key that cannot be opened or made ends the operation.
#pragma once
#include <cstddef>

#include "common/install_state.h"  // layoutIdCapacity

// The uninstall entry "vornqwb8" with everything Windows' lists of programs show: the name,
// version, publisher, icon, location, size and the uninstaller's commands.
// With `repairProgramPlaced` (the setup's copy "vornsetup.exe" is in the install directory) the
// entry offers the repair ("ModifyPath"); without, it says there is none ("NoRepair").
// The entry also records the product's keyboard layouts as they are then ("KeyboardLayouts",
// their ids separated by blanks), so that an uninstall finds their preload entries after an
// earlier, interrupted one removed the layouts themselves.
// False when the entry could not be made with its name and uninstall commands.
bool writeUninstallEntry(bool repairProgramPlaced = false);
// Records the layouts as they are now in the entry, when there is one (after a registration).
void recordLayouts();
// The layout ids the entry records (eight hex digits each; anything else is passed over).
size_t recordedLayouts(char ids[][layoutIdCapacity], size_t capacity);
// "vrvksjgl" under Run: the command that starts the product's program at logon.
void writeRunValue(const char* commandLine);
// That command for an install directory: the program's path in quotes (unquoted, a path with
// blanks would start "C:\Program.exe" first), then "vr". False when it does not fit.
bool formatRunCommand(char* out, size_t capacity, const char* installDir);
void writeUserAgentMarker();

// Whether the uninstall entry is there (also when it cannot be read).
bool uninstallEntryExists();
// Removes the uninstall entry with all its values, and of the shared keys only the product's
// values: "vrvksjgl" under Run and the marker "qvtk8800". Returns the number removed, 0 when
// none was there, -1 when one could not be removed (the others are removed all the same).
// `keepUninstallEntry`: the entry stays, for another run of the uninstaller.
int removeSystemEntries(bool keepUninstallEntry = false);
