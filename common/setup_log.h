// The log of a run for administrators: UTF-8 text, every line opened by the local time and its
// offset (ISO 8601, "2026-12-08T09:30:05+08:00"), a first line about the run, one line per
// message (stage code, caption, text, answer), a last line with the result. A later run adds to
// the log after a separator line, never erases it. A log that cannot be written changes nothing
// else.
#pragma once
#include <string>

#include "platform/system.h"

constexpr const char* defaultLogName = "vornsetup.log";

// Opens the log to add to it, or creates it; with an empty path, `defaultName` ("vornsetup.log")
// in the temporary folder. A log that holds an earlier run's lines gets a separator line first.
// False when it cannot be made: nothing is logged then.
bool openSetupLog(const char* path, const char* defaultName = defaultLogName);
// The separator line's only field.
constexpr const char16_t* logSeparator = u"--------";
// "2026-12-08T09:30:05+08:00".
std::u16string isoTime(const plat::LocalTime& time);
bool setupLogOpen();
// One line; tabs and line ends inside a field are written as \t, \r and \n.
void logFields(const std::u16string* fields, size_t count);
void closeSetupLog();
