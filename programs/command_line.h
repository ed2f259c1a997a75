// What the command line asks for: the run mode and the administrators' switches.
#pragma once
#include <cstddef>

// Case-insensitive substring test of the command line (upper-case ASCII folded).
bool containsWord(const char* commandLine, const char* word);

constexpr size_t logPathCapacity = 260;
constexpr size_t unknownSwitchCount = 8;
constexpr size_t switchCapacity = 64;

struct SetupCommandLine {
    // "setvrsrf32" anywhere (as containsWord finds it), "/S", "-S", "/VERYSILENT", "/SILENT" or
    // "/QUIET" (as other installers take them); never with "regvr32", which forces the wizard.
    // "/SUPPRESSMSGBOXES" and "/NORESTART" are taken and change nothing: silent mode shows no
    // box, and the setup never restarts the machine.
    bool silent = false;
    // "/LOG" or "/LOG=path": a log, in `logPath` or, when that is empty, in the default place.
    bool logRequested = false;
    char logPath[logPathCapacity] = {};
    // "/REMOVEDATA", the uninstaller's: the learnt data go with the rest.
    bool removeData = false;
    // "/CHECK": the installation checked, nothing changed. "/REPAIR": what is missing or damaged
    // put back. Both given, only the check runs: it is the one that cannot do harm.
    bool check = false;
    bool repair = false;
    // "/?" or "/HELP": the switches and exit codes told, nothing else done.
    bool help = false;
    // "/INTERFACE=TSF|IME" and "/EDITION=PINYIN|WUBI", for silent mode: -1 when not given.
    int interfaceChoice = -1;  // 1 TSF, 0 IME
    int editionChoice = -1;    // 1 Pinyin, 0 Wubi
    // A switch whose value is not one it takes (the first such, cut to its capacity): the run
    // ends at once with its own exit code, whatever else was asked.
    char invalid[switchCapacity] = {};
    // Switches not known here, kept (cut to their capacity) so that the log can name them.
    size_t unknownCount = 0;
    char unknown[unknownSwitchCount][switchCapacity] = {};
};

// The next token of a command line as Windows programs split it: `token` receives at most
// capacity - 1 bytes; `cut` says whether it was longer. Returns where the next one starts.
const char* nextToken(const char* at, char* token, size_t capacity, bool& cut);
// The token is the switch `name` (upper case), without regard to the token's case.
bool sameSwitch(const char* token, const char* name);

// Splits the command line into tokens as Windows programs do (blanks separate, double quotes
// group and are dropped) and reads the switches as whole tokens, without regard to case.
SetupCommandLine parseCommandLine(const char* commandLine);
