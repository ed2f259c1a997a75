// The files in which the input method keeps what it has learnt from its user, in the order the
// backup packs them. They are the user's: no path of the setup may lose them.
#pragma once
#include <cstddef>

struct LearnedDataFile {
    const char* name;        // the file in the install directory
    const char* packedName;  // the name it is packed under: a ".bak" copy, or itself
    bool required;           // one of the files every installation has
};

extern const LearnedDataFile learnedDataFiles[];
extern const size_t learnedDataFileCount;

// The backup of the learnt files, in the installation's directory.
constexpr const char* backupFileName = "vornback.vrz";

// True when the name (compared without regard to ASCII case) is one of the learnt files.
bool isLearnedDataFile(const char* name);
// A learnt file or the backup of them: what no file of the product may replace.
bool isUserDataFile(const char* name);
