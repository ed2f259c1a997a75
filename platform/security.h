// Access control of the install directory.
#pragma once
#include "platform/files.h"  // FileHandle

namespace plat {

// ConvertStringSecurityDescriptorToSecurityDescriptorA (revision 1), then CreateDirectoryA with
// that descriptor; false when the text does not convert or the directory cannot be made (an
// existing directory keeps its access list).
bool createDirectoryWithSddl(const char* path, const char* sddl);
// Creates (or empties) the file with the SDDL's DACL from its first byte, for reading and
// writing (a handle for lwrite and lclose). A file that was there keeps its list on creation, so
// it is given this one as setProtectedAccess does. Where the text does not convert (Windows 9x)
// the file is made as _lcreat makes it.
FileHandle createFileWithSddl(const char* path, const char* sddl);
// Whether this process runs as the LocalSystem account (S-1-5-18), as deployment tools run
// setups: its own profile is then nobody's.
bool runsAsLocalSystem();
// GetUserNameA; empty text on failure.
bool getUserName(char* out, unsigned capacity);
// Gives the file exactly the SDDL's DACL, protected from what its directory would pass on
// (SetNamedSecurityInfoA with PROTECTED_DACL_SECURITY_INFORMATION); false when any step fails.
bool setProtectedAccess(const char* path, const char* sddl);
// Reads the path's DACL, merges one GENERIC_ALL grant for the account inherited by files and
// subdirectories (SetEntriesInAclA) and writes it back; false when any step fails.
bool grantFullAccess(const char* path, const char* account);

}  // namespace plat
