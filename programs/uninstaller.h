// vorndel8.exe: removes what the setup added, keeping the learnt data unless told otherwise.
#pragma once
#include "platform/ui.h"

// The uninstaller's exit codes, in the conventions deployment tools know (msiexec's).
enum UninstallExitCode : int {
    uninstallRemoved = 0,
    uninstallFailed = 1,          // something of the product could not be removed
    uninstallNotAdministrator = 7,
    uninstallAnotherRunning = 1618,  // a setup or uninstaller of the product was running
    uninstallCancelled = 1602,    // the user said no
    uninstallNotInstalled = 1605, // nothing of the product found
    uninstallRestartNeeded = 3010,
};

// The program's entry; returns the exit code.
int runUninstaller(const char* commandLine);
