#include "common/learned_data.h"

#include "common/text.h"

#include <initializer_list>

const LearnedDataFile learnedDataFiles[] = {
    {"vorncyzk.vrh", "vorncyzk.bak", true}, {"vrszsj43.vrh", "vrszsj43.bak", true},
    {"cfontset.vrh", "cfontset.bak", true}, {"cwbzlcz1.vrh", "cwbzlcz1.bak", true},
    {"vrwbcmxz.vrh", "vrwbcmxz.bak", true}, {"vrdhzcm.vrh", "vrdhzcm.bak", true},
    {"vorndhz.vrh", "vorndhz.bak", true},   {"vrgbkhz.vrh", "vrgbkhz.bak", true},
    // Packed as it is too, after its copy: the settings record comes back under both names.
    {"vrszsj43.vrh", "vrszsj43.vrh", true}, {"vorndwdw.txt", "vorndwdw.txt", true},
    {"vornzdym.vrh", "vornzdym.vrh", true}, {"vrpyzdym.vrh", "vrpyzdym.vrh", true},
    {"vrwbpy.txt", "vrwbpy.txt", true},     {"vornynhz.txt", "vornynhz.txt", true},
    {"vornzdfh.vrh", "vornzdfh.vrh", true}, {"userck.txt", "userck.txt", false},
    {"delck.txt", "delck.txt", false},      {"ftvrzdym.txt", "ftvrzdym.txt", false},
    {"ftpyzdym.txt", "ftpyzdym.txt", false}, {"cwb.ov1", "cwb.ov1", false},
    {"vornpymb.ov1", "vornpymb.ov1", false}, {"vrgbkbh.vrh", "vrgbkbh.vrh", false},
    {"vrszsj05.vrh", "vrszsj05.vrh", false}, {"vrszsj06.vrh", "vrszsj06.vrh", false},
    // The Pinyin edition learns into its library as the Wubi one does; last, as it is the largest.
    {"vornpyck.vrh", "vornpyck.vrh", false},
};
const size_t learnedDataFileCount = sizeof learnedDataFiles / sizeof learnedDataFiles[0];

bool isLearnedDataFile(const char* name) {
    if (name == nullptr) return false;
    for (const LearnedDataFile& file : learnedDataFiles)
        if (sameTextIgnoringCase(file.name, name)) return true;
    return false;
}

bool isUserDataFile(const char* name) {
    if (name == nullptr) return false;
    for (const LearnedDataFile& file : learnedDataFiles)
        if (sameTextIgnoringCase(file.name, name) || sameTextIgnoringCase(file.packedName, name)) return true;
    for (const char* other : {"vornpyck.bak", "vorncyzk.dat", "vornpyck.dat", backupFileName})
        if (sameTextIgnoringCase(other, name)) return true;
    return false;
}
