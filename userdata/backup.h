// The user data of an earlier installation, packed into one container before anything is
// installed, so that the user can keep what the input method has learnt.
#pragma once

constexpr const char* backupFileName = "vornback.vrz";

// Packs the earlier installation's user-data files into "vornback.vrz" in that installation's
// directory (previousInstallDir when it differs from installDir; with no record at all, the
// current directory). 1 when every required file went in, 0 otherwise; nothing is shown.
// installDir is left as computeInstallDir gives it.
int backupUserData();
