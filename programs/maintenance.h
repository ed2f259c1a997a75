// The check (/CHECK) and the repair (/REPAIR) of an installation, entries beside the install.
#pragma once
#include "platform/ui.h"

enum class MaintenanceMode { check, repair };

// The installation the path file named at start-up (previousInstallDir): checked against the
// payload and the registration with Windows, and with `repair` what is missing or damaged put
// back (the learnt files never overwritten). Every finding and every repair is logged; without
// `silent` one message box tells them. Returns the exit code (MaintenanceExitCode, or the
// setup's 2, 3, 4 for what could not be put back).
int runMaintenance(MaintenanceMode mode, plat::InstanceHandle instance, bool silent);
// Whether the path file read at start-up names an installation's directory: without one the
// repair has nothing to do and changes nothing, not even through the administrator check.
bool installationRecorded();
