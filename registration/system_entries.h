// The entries the setup leaves in the machine's registry besides the input method itself:
// the uninstall entry, the start-up command and the version marker among the user-agent
// tokens. All silent: a key that cannot be opened or made ends the operation.
#pragma once

// The uninstall entry "vornqwb8" with everything Windows' lists of programs show: the name,
// version, publisher, icon, location, size and the uninstaller's commands.
// With `repairProgramPlaced` (the setup's copy "vornsetup.exe" is in the install directory) the
// entry offers the repair ("ModifyPath"); without, it says there is none ("NoRepair").
void writeUninstallEntry(bool repairProgramPlaced = false);
// "vrvksjgl" under Run: the command that starts the product's program at logon.
void writeRunValue(const char* commandLine);
void writeUserAgentMarker();

// Whether the uninstall entry is there (also when it cannot be read).
bool uninstallEntryExists();
// Removes the uninstall entry with all its values, and of the shared keys only the product's
// values: "vrvksjgl" under Run and the marker "qvtk8800". Returns the number removed, 0 when
// none was there, -1 when one could not be removed (the others are removed all the same).
int removeSystemEntries();
