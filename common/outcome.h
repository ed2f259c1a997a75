// How a run ended, as its exit code tells it: 0 installed without a failure, 3010 installed and a
// restart completes it, otherwise the most serious failure met. The codes are documented for
// administrators, and listed for deployment tools in deploy/exit-codes.tsv.
#pragma once

enum SetupExitCode : int {
    exitInstalled = 0,
    exitOtherFailure = 1,        // any other reported failure
    exitDataNotRestored = 2,     // the learnt data could not be put back (the backup keeps them)
    exitModuleFailed = 3,        // a module could not be copied or registered
    exitPayloadDamaged = 4,      // the payload is incomplete or damaged
    exitInUse = 5,               // programs still use the input method: nothing installed
    exitDefaultInputMethod = 6,  // the input method is the system's default: nothing installed
    exitNotAdministrator = 7,    // no administrator rights: nothing installed
    exitAnotherSetup = 1618,     // another setup of the product was running: nothing installed
                                 // (msiexec's ERROR_INSTALL_ALREADY_RUNNING, which deployment tools retry)
    exitNoWizard = 9,            // the wizard's window could not be created: nothing installed
    exitWriteFailed = 11,        // a sound file of the payload could not be written (disk full, access denied)
    exitCancelled = 1602,        // the wizard was left before the install (msiexec's ERROR_INSTALL_USEREXIT)
    exitInvalidCommandLine = 1639,  // a switch's value is not one it takes: nothing installed
                                    // (msiexec's ERROR_INVALID_COMMAND_LINE)
};

// The check (/CHECK) and the repair (/REPAIR) of an installation. Besides these, the repair ends
// with 2, 3 or 4 as the setup does when something could not be put back (learnt data, a module
// or its registration, a file of the payload), and both with 7 and 1618 as the setup does.
enum MaintenanceExitCode : int {
    exitHealthy = 0,          // check: nothing missing or damaged; repair: repaired, or nothing to do
    exitDamaged = 10,         // check: something missing or damaged (each finding in the log)
    exitNotInstalled = 1605,  // no installation found (msiexec's ERROR_UNKNOWN_PRODUCT)
    exitRestartNeeded = 3010, // installed or repaired, a restart completes it (msiexec's ERROR_SUCCESS_REBOOT_REQUIRED)
};

void resetOutcome();
// Keeps the more serious of what was noted and this: a failure over a restart needed, a
// restart needed over success.
void noteOutcome(int code);
int setupOutcome();
// Whether a run that ends with this code installed the product, with or without failures.
bool outcomeInstalled(int code);
// A short name of an exit code, for the log's last line.
const char* outcomeName(int code);
// The same for the check and the repair.
const char* maintenanceOutcomeName(bool repair, int code);
// The failure a message of the install reports, 0 for a notice, a question or a warning. The
// stage tells an entry of the restored backup from one of the payload.
int outcomeOfMessage(const char16_t* message, int stage);
