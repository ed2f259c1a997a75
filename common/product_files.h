// The names of the files the setup puts into the install directory, and those it gives them
// when it moves a busy one aside: what an uninstall that keeps the user's data may remove, and
// what no moved-aside file may ever be called.
#pragma once
#include <cstddef>

// A payload entry, or a file the install makes of the payload: the repair program, the
// settings files, the skin's files. Compared as Windows compares names.
bool isInstalledName(const char* name);

// The characters moveAside puts in a name's fifth-last place, in the order it tries them.
extern const char asideMarks[];
extern const size_t asideMarkCount;
// A name moveAside may have given an installed file: an installed name with one of the marks
// in its fifth-last place. Installed names themselves are not aside names.
bool isAsideName(const char* name);
// A program or module by its name (".exe", ".dll", ".ime", in any case): what every user runs
// or loads, so what only administrators may change.
bool isProgramName(const char* name);
// The access list programs and modules get: every user and application package may run them,
// only administrators and the system may change them.
extern const char* const installedProgramSddl;
