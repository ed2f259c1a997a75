// The modules the setup placed outside the install directory, removed again by the uninstaller.
#pragma once
#include "common/file_ops.h"

// Whether any of the product's modules is in a system directory.
bool systemModulesPresent();
// Every module name of the product, and the names earlier installs moved busy ones aside to,
// from the system directories the setup places into: on 64-bit Windows SysWOW64 and, with
// file-system redirection off, the native system directory; else the system directory. Files
// in use go at the next restart.
void removeSystemModules(RemovalTally& tally);
// The uninstaller's copies moved aside by earlier installs, in the Windows directory. Its own
// file is left to removeOwnProgram.
void removeAsideUninstallers(RemovalTally& tally);
// The uninstaller itself, which cannot delete the file it runs from: deleted if the system lets
// it, else at the restart. Not counted: nothing of the product works through it any more.
Removal removeOwnProgram();
// Takes the deletes an uninstall or an earlier setup recorded for the next restart off the
// files this setup installs (the install directory's installed and kept names, the placed
// modules, the uninstaller in the Windows directory, the directory itself), and only those:
// moved-aside files still go. False when the list could not be read or written back.
bool keepInstalledFilesThroughRestart();
