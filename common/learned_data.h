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
// The user's files, the one list every step goes by: the learnt files under their own names and
// the names the backup packs them as, the Pinyin library's copy, the libraries' working copies
// and the backup itself. No check calls them damaged, no repair or install overwrites them, and an
// uninstall that keeps the data keeps them.
bool isUserDataFile(const char* name);
