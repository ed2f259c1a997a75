// The installation's directory as the uninstaller leaves it.
#pragma once
#include "common/file_ops.h"

// Whether the directory holds anything of the product besides the user's data.
bool productFilesPresent(const char* dir);
// With `keepLearnedData`: the learnt files stay, packed first into a complete "vornback.vrz"
// beside them so that a later setup offers to restore them; every other file goes, "filer\" too.
// A backup that cannot be completed keeps the ".bak" copies as well and counts as a failure:
// the earlier "vornback.vrz" stays as it was. Without: everything goes, the directory itself
// too (at the restart when a file in it is still in use). Other folders in it stay.
// `dir` ends in a backslash.
void removeInstallDirectory(const char* dir, bool keepLearnedData, RemovalTally& tally);
