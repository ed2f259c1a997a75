// The entries the setup leaves in the machine's registry besides the input method itself:
// the uninstall entry, the start-up command and the version marker among the user-agent
// tokens. All silent: a key that cannot be opened or made ends the operation.
#pragma once

void writeUninstallEntry();
// "vrvksjgl" under Run: the command that starts the product's program at logon.
void writeRunValue(const char* commandLine);
void writeUserAgentMarker();
