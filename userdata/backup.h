// The user data of an earlier installation, packed into one container before anything is
// installed, so that the user can keep what the input method has learnt.
#pragma once
#include <cstdint>

#include "common/learned_data.h"  // backupFileName

// The backup is built under this name beside it and takes its place only when complete.
constexpr const char* backupBuildName = "vornback.new";
// The largest learnt file the backup packs: what a restore can unpack in the work block. A
// larger one stays where it is, unpacked and logged.
constexpr uint32_t learnedFileSizeLimit = 2097008;

// Packs every learnt file that the earlier installation (previousInstallDir; with no record, the
// install directory, which then becomes previousInstallDir) holds into "vornback.vrz" there. 1 when at least one was packed and none that exists failed; 0 otherwise,
// and then the earlier "vornback.vrz" is left as it was. With no earlier installation nothing
// is written. When a learnt file exists but could not be packed, learnedDataUnsaved is 1 (2 when
// it is only too large to pack), so that the install keeps the learnt files where they are. Nothing is shown; installDir is left
// as computeInstallDir gives it.
int backupUserData();
// What window creation and silent mode do before anything is installed: backupState 1 when the
// backup was made, else 0.
void backUpEarlierInstallation();
