// File helpers shared by extraction, module placement and restore.
#pragma once
#include <cstdint>

// Clears read-only and the like, then deletes: 0 when deleted or when the file does not open
// for reading (nothing there), -1 when the delete failed.
int deleteFile(const char* path);
// Renames a busy file out of the way: its fifth-last character becomes '2', else '1', else
// another mark, never giving a name the setup installs or the user keeps. The file under its
// new name is deleted at once, or, still in use, at the next restart.
void moveAside(const char* path);

// What became of a file of the product that was to go.
// waiting: busy, and its delete at the restart was recorded before (by an earlier uninstall).
enum class Removal { absent, removed, atRestart, waiting, failed };
// Deletes a file of the product. One in use (a module loaded by running programs) is renamed
// as moveAside renames it and deleted at the next restart: its own name is free at once for a
// later install, which a delete recorded under that name would otherwise remove at the restart.
// When no rename is possible, the file is not removed (failed).
Removal removeProductFile(const char* path);

// What a removal met, for the uninstaller's report and exit code.
struct RemovalTally {
    unsigned removed = 0;
    unsigned atRestart = 0;
    unsigned waiting = 0;
    unsigned failed = 0;
};
// Told of each thing removed, put off to the restart or not removed (a log, for instance).
// Windows' error number of the last removal counted as failed (a file's delete or rename, or the
// registry call that failed); 0 when Windows gave none.
uint32_t lastRemovalError();
void setRemovalObserver(void (*observer)(Removal result, const char* what));
// Counts the result (absent counts nothing) and tells the observer.
void countRemoval(RemovalTally& tally, Removal result, const char* what);
// removeProductFile, counted.
Removal removeCounted(RemovalTally& tally, const char* path);
// A registry removal's result (removed count, 0 nothing there, -1 not all removed), counted.
void countRegistryRemoval(RemovalTally& tally, int result, const char* what, uint32_t error = 0);
// Copies installDir + source to systemDir + "\" + target, moving a busy target aside once.
void copyModule(const char* sourceName, const char* targetName);
