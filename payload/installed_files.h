// The install directory file by file as an install leaves it, and single files put back: what the
// check and the repair of an installation stand on.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "payload/archive.h"
#include "platform/files.h"


// A container file read whole.
struct ContainerBytes {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
};
// "vornback.vrz" in `dir`; false when there is none, it cannot be read whole, it is larger than
// any backup of the learnt files can be, or it is no current-layout container.
bool readBackupFile(const char* dir, ContainerBytes& out);
// The entry named exactly `name`; false when the container has none (or is damaged before it).
bool findEntry(const uint8_t* container, size_t size, const char* name, ArchiveEntry& out);

// What becomes of a payload file in the install directory, by interface (1 TSF, 0 IME).
enum class InstalledForm {
    shipped,       // the entry's content
    labelPatched,  // the entry with its version label patched ("setupw64.exe", IME)
    tsfModule,     // "vornsrf.dll"/"vornsrf6.dll": its own content or (not Windows 10) the
                   // module renamed to it; either is intact, a Windows upgraded since may hold
                   // the other
    notKept,       // a module of the other interface or build, deleted by the install
    userOwned,     // isUserDataFile
};
InstalledForm installedForm(const char* name, int interfaceChoice);
// The payload entry whose content the install leaves as `name` on this Windows.
const char* sourceEntryName(const char* name, int interfaceChoice, bool windows10);

// The version after each product label turned from 6.3 or 6.7 into 9.0, in memory, exactly as
// patchVersionLabel does to a file (which also leaves a file over its limit alone).
void patchVersionLabelBytes(uint8_t* bytes, size_t length);

enum class FileState { intact, missing, damaged };
// The installed file `name` (installDir) against the payload entry, for the interface. Uses the
// work block for a file whose expected content must be worked out.
FileState installedFileState(const uint8_t* payload, size_t payloadSize, const ArchiveEntry& entry,
                             const char* name, int interfaceChoice);

// Whether the file open as `held` holds what the install places from the install directory's
// `name` now: the payload entry's content, its version label patched for the IME modules of
// the first pass; for the text-service modules either build's. Read from the handle, which the
// caller keeps open (denying writers) until it has used the file.
bool heldFileIsPayloadContent(plat::FileHandle held, const char* name);

enum class PutBack { written, damagedEntry, notWritten };
// Unpacks the entry (its digest checked) into the work block and writes it as installDir +
// name, a busy file moved aside first. `patchLabel` patches the version label on the way;
// `phraseLibrary` brings a phrase library into its stored form, as a restore does.
PutBack putBackEntry(const ArchiveEntry& entry, const char* name, bool patchLabel,
                     bool phraseLibrary);

// The setup program itself copied into installDir as "vornsetup.exe", the program the uninstall
// entry's repair starts. True when it is there afterwards (also when it is the copy running).
bool placeRepairProgram();
constexpr const char* repairProgramName = "vornsetup.exe";
