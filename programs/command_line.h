// What the command line asks for: the run mode and the administrators' switches.
#pragma once
#include <cstddef>

// Case-insensitive substring test of the command line (upper-case ASCII folded).
bool containsWord(const char* commandLine, const char* word);

constexpr size_t logPathCapacity = 260;
constexpr size_t unknownSwitchCount = 8;
constexpr size_t switchCapacity = 64;

struct SetupCommandLine {
    // "setvrsrf32" anywhere (as containsWord finds it), "/S" or "/VERYSILENT"; never with
    // "regvr32", which forces the wizard.
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
    // Switches not known here, kept (cut to their capacity) so that the log can name them.
    size_t unknownCount = 0;
    char unknown[unknownSwitchCount][switchCapacity] = {};
};

// Splits the command line into tokens as Windows programs do (blanks separate, double quotes
// group and are dropped) and reads the switches as whole tokens, without regard to case.
SetupCommandLine parseCommandLine(const char* commandLine);
