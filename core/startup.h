// The program's entry: start-up, the administrator refusal and the two run modes.
#pragma once
#include "platform/ui.h"

// Case-insensitive substring test of the command line (upper-case ASCII folded).
bool containsWord(const char* commandLine, const char* word);
bool registerMainWindowClass(plat::InstanceHandle instance);
// Returns the exit code.
int runSetup(plat::InstanceHandle instance, plat::InstanceHandle previousInstance,
             const char* commandLine, int showCommand);

extern const char16_t* const notAdministratorMessage;
