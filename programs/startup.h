// The program's entry: start-up, the administrator refusal and the two run modes.
#pragma once
#include "platform/ui.h"
#include "programs/command_line.h"  // containsWord

bool registerMainWindowClass(plat::InstanceHandle instance);
// Returns the exit code.
int runSetup(plat::InstanceHandle instance, plat::InstanceHandle previousInstance,
             const char* commandLine, int showCommand);

extern const char16_t* const notAdministratorMessage;
