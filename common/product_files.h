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
