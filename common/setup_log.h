// The log of a run for administrators: UTF-8 text, a first line about the run, one line per
// message (time, stage code, caption, text, answer), a last line with the result. A log that
// cannot be written changes nothing else.
#pragma once
#include <string>

constexpr const char* defaultLogName = "vornsetup.log";

// Creates (or truncates) the log; with an empty path, `defaultName` ("vornsetup.log") in the
// temporary folder.
// With `append`, an existing log is added to instead (another setup may still be writing it).
// False when it cannot be made: nothing is logged then.
bool openSetupLog(const char* path, bool append = false, const char* defaultName = defaultLogName);
bool setupLogOpen();
// One line; tabs and line ends inside a field are written as \t, \r and \n.
void logFields(const std::u16string* fields, size_t count);
void closeSetupLog();
