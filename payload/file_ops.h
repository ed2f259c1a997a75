// File helpers shared by extraction, module placement and restore.
#pragma once

// Clears read-only and the like, then deletes: 0 when deleted or when the file does not open
// for reading (nothing there), -1 when the delete failed.
int deleteFile(const char* path);
// Renames a busy file out of the way: its fifth-last character becomes '2', else '1'.
void moveAside(const char* path);
// Copies installDir + source to systemDir + "\" + target, moving a busy target aside once.
void copyModule(const char* sourceName, const char* targetName);
