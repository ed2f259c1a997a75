// Installations as the user-data steps meet them: the files of a complete install, the user
// files of a used one, phrase libraries in their stored form, and a container read back.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "../payload/container_builder.h"
#include "payload/archive.h"
#include "payload/extraction.h"

// A phrase library in its stored form: the phrases, "VORN", the byte sum and the phrase count.
inline std::string storedLibrary(const std::string& phrases) {
    std::string bytes = phrases + std::string(12, '\0');
    size_t kept = compactPhraseLibrary(reinterpret_cast<uint8_t*>(bytes.data()), phrases.size());
    bytes.resize(kept + 12);
    return bytes;
}

// What a complete install holds besides its modules: the two phrase libraries and enough other
// files for the installation report to count it complete.
inline std::vector<TestEntry> completeInstallEntries() {
    std::vector<TestEntry> entries = {{"vorncyzk.vrh", storedLibrary("中国; 人民; 五笔字型; ")},
                                      {"vornpyck.vrh", storedLibrary("拼音; 输入法; 汉字; ")}};
    // Data files of the payload, under their own names: an uninstall keeping the user's data
    // removes only what the setup installs.
    for (const char* name : {
        "big5hz.ov1", "bjzt020.bmp", "bjzt030.bmp", "bjzt040.bmp", "bjzt120.bmp", "bjzt130.bmp",
        "bjzt140.bmp", "blank.jpg", "bmjb20.bmp", "bmjb30.bmp", "bmjb40.bmp", "bmjbx20.bmp",
        "bmjbx30.bmp", "bmjbx40.bmp", "vral01.jpg", "vral02.jpg", "vrbj01.jpg", "vrbmpfk5.bmp",
        "vrbyy0.bmp", "vrbyy1.bmp", "vrdwhz0.vrh", "vorn1.wav", "vorn2.wav", "vorn20.bmp",
        "vorn3.wav", "vorn30.bmp", "vorn4.wav", "vorn40.bmp", "vorn5.wav", "vorn6.wav",
        "vorn7.wav", "vorndzk0.vrh", "vorngbk.ovl", "vornjfk.ov1", "vornskfh.vrh", "vornszsj.vrh",
        "vrfcz.txt", "vrhzbs.vrh", "vrkeyyx1.wav", "vrpyjm1.txt", "vrpykey0.txt", "vrpykey1.txt",
        "vrpykey2.txt", "vrpykey3.txt", "vrpykey4.txt", "vrpykey5.txt", "vrpyltwj.vrh",
        "vrpyzdfy.txt", "vrspeeke.txt", "vrspk1.txt", "vrspk2.txt", "vrspk3.txt", "vrspk4.txt",
        "vrszsj01.vrh", "vrszsj02.vrh", "vrszsj03.vrh", "vrszsj04.vrh", "vrszsj42.vrh",
        "vrszsj44.vrh", "vrver.txt", "vrwbjm.txt", "vrxz0.bmp", "vrxz1.bmp", "VRQVTK41.BMP",
        "vrqvtk61.bmp", "ggbhver.dat", "jfb5hzb.txt", "jfhzb.txt", "jptb020.bmp", "jptb030.bmp",
         })
        entries.push_back({name, std::string("data ") + name});
    return entries;
}

// The user-data files of a used installation, in the order the backup packs them: the eight
// learnt libraries (packed through ".bak" copies), the seven other required files, the nine
// optional ones, then the Pinyin library. Each with content of its own.
inline std::vector<std::pair<std::string, std::string>> learnedFiles() {
    std::vector<std::pair<std::string, std::string>> files = {
        {"vorncyzk.vrh", storedLibrary("学习; 记住的词组; 中国; ")}};
    for (const char* name :
         {"vrszsj43.vrh", "cfontset.vrh", "cwbzlcz1.vrh", "vrwbcmxz.vrh", "vrdhzcm.vrh",
          "vorndhz.vrh",  "vrgbkhz.vrh",  "vorndwdw.txt", "vornzdym.vrh", "vrpyzdym.vrh",
          "vrwbpy.txt",   "vornynhz.txt", "vornzdfh.vrh", "userck.txt",   "delck.txt",
          "ftvrzdym.txt", "ftpyzdym.txt", "cwb.ov1",      "vornpymb.ov1", "vrgbkbh.vrh",
          "vrszsj05.vrh", "vrszsj06.vrh"})
        files.push_back({name, std::string("learnt by ") + name + std::string(40, '\x5A')});
    files[1].second = std::string(200, '\x07');  // the settings record
    files.push_back({"vornpyck.vrh", storedLibrary("拼音; 用户教的词组; ")});
    return files;
}

// The names packed, in order: the first eight are the ".bak" copies.
inline std::vector<std::string> backupNames() {
    std::vector<std::string> names;
    for (const auto& file : learnedFiles()) names.push_back(file.first);
    for (size_t i = 0; i < 8; ++i) names[i].replace(names[i].size() - 4, 4, ".bak");
    names.insert(names.begin() + 8, "vrszsj43.vrh");
    return names;
}

// The entries of a container file: names and inflated contents.
inline std::vector<std::pair<std::string, std::string>> readContainer(const std::string& bytes) {
    std::vector<std::pair<std::string, std::string>> entries;
    ArchiveWalk walk(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ArchiveEntry entry;
    std::vector<uint8_t> content(1 << 21);
    while (walk.next(entry)) {
        char name[100];
        entryName(entry, name, sizeof name);
        uint32_t length = inflateEntry(entry, content.data(), content.size());
        entries.push_back({name, std::string(content.begin(), content.begin() + length)});
    }
    return entries;
}
