// Access rights and integrity level of the install directory.
#pragma once
#include <cstddef>

#include "common/product_files.h"  // installedProgramSddl

extern const char* const installDirSddl;
// Gives every program and module in installDir (.exe, .dll, .ime) that access list, so that no
// user can swap one that an administrator or every user's logon runs; the data files keep what
// the directory passes on. The number of files secured.
int secureInstalledPrograms();
constexpr size_t captureCapacity = 10000;

bool createSecuredDirectory(const char* path);
bool grantUserFullAccess(const char* path);
// Starts the two icacls commands that give the install directory its low integrity level.
void setLowIntegrity();
// Starts the directory-check program at basic-user trust level.
void launchDirectoryCheck();
// Runs a command through the command processor and collects its standard output (cut to the
// capacity).
bool runAndCapture(const char* command, char* output, size_t capacity);
// True when the icacls listing of the install directory gives all application packages full
// access.
bool appPackagesHaveFullAccess();
// Is the listing's all-application-packages line one with full access?
bool listingGrantsAppPackagesFullAccess(const char* listing);
// "<system directory>\name": system programs are never looked up by bare name, which would search
// the setup's own folder first.
void systemProgramPath(const char* name, char* out, size_t capacity);
