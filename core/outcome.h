// How a run ended, as its exit code tells it: 0 installed without a failure, otherwise the most
// serious failure met (the higher code). The codes are documented for administrators.
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
    exitAnotherSetup = 8,        // another setup of the product was running: nothing installed
};

void resetOutcome();
// Keeps the more serious of what was noted and this.
void noteOutcome(int code);
int setupOutcome();
// A short name of an exit code, for the log's last line.
const char* outcomeName(int code);
// The failure a message of the install reports, 0 for a notice, a question or a warning. The
// stage tells an entry of the restored backup from one of the payload.
int outcomeOfMessage(const char16_t* message, int stage);
