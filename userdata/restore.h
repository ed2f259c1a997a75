// The kept user data put back over the fresh install.
#pragma once

// Copies the backup into installDir when the install directory moved, unpacks every entry
// over the installed files, checks them and tells the user how many came back (or which did
// not). A missing, unreadable or too short backup is skipped without a message.
void restoreUserData();
