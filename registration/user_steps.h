// The per-user part of a machine-wide install, for every account and not only the one that ran
// the setup (a deployment tool runs it as SYSTEM): Windows runs the component's command once in
// each user's session at sign-in, and again for everybody when its version rises (Active
// Setup). The command is a program of its own, vornuser8.exe: it runs with the user's rights,
// where the setup itself asks for an administrator's.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr const char* userStepsProgramName = "vornuser8.exe";
constexpr const char* userStepsComponent = "{E3B1C9A2-5D47-4F08-9B6E-2A7C41D0F853}";
constexpr const char* userStepsComponentKey =
    "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{E3B1C9A2-5D47-4F08-9B6E-2A7C41D0F853}";
// The arguments of the two steps: the product's entries added, or taken away ("/REMOVE" is
// followed by the layout ids and text-service profiles to take away, which the uninstall has
// removed from the machine by the time a user signs in).
constexpr const char* userStepsAdd = "/ADD";
constexpr const char* userStepsRemove = "/REMOVE";

// "<Windows directory>\vornuser8.exe": a folder only administrators may change, as a program
// that every user runs at sign-in needs. False when the name does not fit.
bool userStepsProgramPath(char* out, size_t capacity);
// Writes the program there: beside it first, then over the old one in one step (one a user's
// sign-in holds is moved aside). False when it could not be written.
bool placeUserStepsProgram(const uint8_t* bytes, uint32_t size);
// The component in the native registry view, where Windows looks for it: StubPath
// "\"<program>\" <arguments>", a version above the one registered before, so that every user
// runs it again, and IsInstalled 1. The running account is marked as having run it: this run
// did its steps for it. False when something of it could not be written.
bool registerUserSteps(const char* arguments);
// The component's StubPath: true with it in `out`, false when there is none or it is no text
// that fits.
bool readUserStepsCommand(char* out, size_t capacity);
// The component deleted: regOk, regFileNotFound when it was not there, else the failure.
long removeUserSteps();
