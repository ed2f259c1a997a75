// vornuser8.exe: the per-user steps of the installation, run in each user's session at sign-in
// (registration/user_steps.h) with that user's rights, without a window or a message box.
//   /ADD      the product's layout into the user's preload list, its text-service profiles
//             enabled for the user: whatever of them the machine has registered.
//   /REMOVE   what follows taken out of the user's lists: layout ids ("e0200804") and
//             text-service profiles ("0x0804:{clsid}{profile}").
// Each run adds to "vornuser8.log" in the user's temporary folder.
#pragma once

enum PerUserExitCode : int {
    perUserDone = 0,
    perUserFailed = 1,          // a list could not be changed (the log names it)
    perUserNothingRegistered = 1605,  // /ADD: nothing of the product on the machine
    perUserInvalidCommandLine = 1639,
};

int runPerUserSteps(const char* commandLine);
