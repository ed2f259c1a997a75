#include "userdata/backup.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "core/text.h"
#include "installation_builder.h"
#include "platform/files.h"
#include "sim_fixture.h"

namespace {

const std::string dir = "C:\\Program Files\\vornel8\\";

class Backup : public SimTest {
protected:
    // A used earlier installation in `where`, as the path file recorded it.
    void usedInstallation(const std::string& where) {
        for (const auto& [name, content] : learnedFiles()) m().writeFile(where + name, content);
        copyText(state.previousInstallDir, where.c_str());
    }
    std::vector<std::string> packed(const std::string& where) {
        std::vector<std::string> names;
        for (const auto& entry : readContainer(file(where + "vornback.vrz")))
            names.push_back(entry.first);
        return names;
    }
    void remove(const std::string& path) { plat::deleteFile(path.c_str()); }
};

}  // namespace

TEST_F(Backup, PacksEveryUserFileInOrderTheLibrariesThroughCopies) {
    usedInstallation(dir);
    EXPECT_EQ(backupUserData(), 1);
    auto files = learnedFiles();
    std::map<std::string, std::string> learned(files.begin(), files.end());
    auto entries = readContainer(file(dir + "vornback.vrz"));
    ASSERT_EQ(packed(dir), backupNames());
    for (const auto& [name, content] : entries) {
        bool copy = name.substr(name.size() - 4) == ".bak";
        EXPECT_EQ(content, learned[copy ? name.substr(0, name.size() - 4) + ".vrh" : name]) << name;
    }
    EXPECT_EQ(file(dir + "vrwbcmxz.bak"), learned["vrwbcmxz.vrh"]);  // the copies stay beside
    EXPECT_TRUE(m().messageBoxes.empty());
}

TEST_F(Backup, RequiredFilesDecideOptionalOnesDoNot) {
    usedInstallation(dir);
    remove(dir + "userck.txt");
    remove(dir + "delck.txt");
    EXPECT_EQ(backupUserData(), 1);
    EXPECT_EQ(packed(dir).size(), 22u);

    // File 15 missing: what came before stays packed, and the backup failed.
    remove(dir + "vornzdfh.vrh");
    EXPECT_EQ(backupUserData(), 0);
    std::vector<std::string> first14 = backupNames();
    first14.resize(14);
    EXPECT_EQ(packed(dir), first14);

    // A learnt library with neither the file nor an earlier copy: the sixth append fails.
    usedInstallation(dir);
    remove(dir + "vrdhzcm.vrh");
    remove(dir + "vrdhzcm.bak");
    EXPECT_EQ(backupUserData(), 0);
    EXPECT_EQ(packed(dir).size(), 5u);
    EXPECT_TRUE(m().messageBoxes.empty());
}

TEST_F(Backup, EachRunBuildsAFreshContainer) {
    usedInstallation(dir);
    ASSERT_EQ(backupUserData(), 1);
    m().writeFile(dir + "vorndwdw.txt", "learnt since");
    // Even a read-only or a damaged container left behind is replaced, not appended to.
    plat::setFileAttributes((dir + "vornback.vrz").c_str(), plat::attrReadOnly);
    EXPECT_EQ(backupUserData(), 1);
    auto entries = readContainer(file(dir + "vornback.vrz"));
    ASSERT_EQ(entries.size(), 24u);
    EXPECT_EQ(entries[9], std::make_pair(std::string("vorndwdw.txt"), std::string("learnt since")));
    m().writeFile(dir + "vornback.vrz", "C0garbage");
    EXPECT_EQ(backupUserData(), 1);
}

TEST_F(Backup, EarlierDirectoryElsewhereIsBackedUpThereAndInstallDirStays) {
    // Longer than installDir can hold, and still the one backed up.
    const std::string old = "D:\\" + std::string(210, 'd') + "\\";
    usedInstallation(old);
    EXPECT_EQ(backupUserData(), 1);
    EXPECT_EQ(packed(old).size(), 24u);
    EXPECT_FALSE(m().exists(dir + "vornback.vrz"));
    EXPECT_STREQ(state.installDir, dir.c_str());
}

TEST_F(Backup, WithoutAnInstallRecordTheCurrentDirectoryIsUsed) {
    EXPECT_EQ(backupUserData(), 0);
    EXPECT_EQ(file("C:\\setup\\vornback.vrz"), std::string("C0\x0A\0\0\0\0\0\0\0", 10));
    EXPECT_STREQ(state.installDir, dir.c_str());
    for (const auto& [name, content] : learnedFiles()) m().writeFile("C:\\setup\\" + name, content);
    EXPECT_EQ(backupUserData(), 1);
    EXPECT_EQ(packed("C:\\setup\\").size(), 24u);
}

TEST_F(Backup, IncompressibleDataFileIsStillPacked) {
    usedInstallation(dir);
    std::mt19937 random(7);
    std::string noise(300000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    m().writeFile(dir + "vrwbcmxz.vrh", noise);
    EXPECT_EQ(backupUserData(), 1);
    std::string container = file(dir + "vornback.vrz");
    EXPECT_EQ(readContainer(container)[4], std::make_pair(std::string("vrwbcmxz.bak"), noise));
    EXPECT_GT(container.size(), noise.size());  // stored larger than it is
}
