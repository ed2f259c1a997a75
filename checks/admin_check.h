#pragma once

// True when the program must refuse to run: the Windows directory (Vista and later) cannot be
// written. Also captures previousInstallDir from the path file.
bool isNotAdministrator();
