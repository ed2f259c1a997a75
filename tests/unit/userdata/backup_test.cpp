#include "userdata/backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "common/setup_log.h"
#include "common/text.h"
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

TEST_F(Backup, MissingFilesAreSkippedRequiredOrNot) {
    struct Row {
        std::vector<std::string> gone;
        std::vector<std::string> notPacked;
    };
    const std::vector<Row> rows = {
        {{"userck.txt", "delck.txt"}, {"userck.txt", "delck.txt"}},
        {{"vornzdfh.vrh"}, {"vornzdfh.vrh"}},  // the last required file
        {{"vrdhzcm.vrh"}, {"vrdhzcm.bak"}},     // a learnt library: no copy to pack
        {{"vrszsj43.vrh"}, {"vrszsj43.bak", "vrszsj43.vrh"}},
        {{"vorncyzk.vrh", "vorndwdw.txt", "vrszsj06.vrh"}, {"vorncyzk.bak", "vorndwdw.txt", "vrszsj06.vrh"}},
    };
    for (const Row& row : rows) {
        boot(sim::Os::win10_64);
        usedInstallation(dir);
        for (const std::string& name : row.gone) remove(dir + name);
        std::vector<std::string> expected;
        for (const std::string& name : backupNames())
            if (std::find(row.notPacked.begin(), row.notPacked.end(), name) == row.notPacked.end())
                expected.push_back(name);
        EXPECT_EQ(backupUserData(), 1) << row.gone[0];
        EXPECT_EQ(state.learnedDataUnsaved, 0) << row.gone[0];
        EXPECT_EQ(packed(dir), expected) << row.gone[0];
        EXPECT_TRUE(m().messageBoxes.empty());
    }
    // Nothing at all to keep: no backup, and the earlier one stays.
    boot(sim::Os::win10_64);
    copyText(state.previousInstallDir, dir.c_str());
    m().writeFile(dir + "vornback.vrz", "earlier");
    EXPECT_EQ(backupUserData(), 0);
    EXPECT_EQ(file(dir + "vornback.vrz"), "earlier");
    EXPECT_EQ(state.learnedDataUnsaved, 0);
}

TEST_F(Backup, AFailedBackupLeavesTheEarlierOneAsItWas) {
    usedInstallation(dir);
    ASSERT_EQ(backupUserData(), 1);
    m().writeFile(dir + "vorndwdw.txt", "learnt since");
    const std::string earlier = file(dir + "vornback.vrz");
    // Count the fault points of a backup, then fail each in turn.
    m().faults = {};
    ASSERT_EQ(backupUserData(), 1);
    const uint64_t points = m().faults.passed;
    ASSERT_GT(points, 100u);
    for (uint64_t at = 1; at <= points; ++at) {
        m().writeFile(dir + "vornback.vrz", earlier);
        m().writeFile(dir + "vornback.new", "left by a run that crashed");
        m().faults = {0, at, ""};
        int result = backupUserData();
        std::string where = m().faults.failedPoint + " at " + std::to_string(at);
        std::string now = file(dir + "vornback.vrz");
        if (result == 1) {
            // Complete: every learnt file, as it is now.
            ASSERT_EQ(readContainer(now).size(), 25u) << where;
            EXPECT_EQ(readContainer(now)[9].second, "learnt since") << where;
        } else {
            EXPECT_EQ(now, earlier) << where;
            EXPECT_EQ(state.learnedDataUnsaved, 1) << where;
        }
        // The container under construction never stays behind, unless it could not be removed.
        if (m().faults.failedPoint != "file delete") {
            EXPECT_FALSE(m().exists(dir + "vornback.new")) << where;
        }
    }
}

TEST_F(Backup, EachRunBuildsAFreshContainer) {
    usedInstallation(dir);
    ASSERT_EQ(backupUserData(), 1);
    m().writeFile(dir + "vorndwdw.txt", "learnt since");
    // Even a read-only or a damaged container left behind is replaced, not appended to.
    plat::setFileAttributes((dir + "vornback.vrz").c_str(), plat::attrReadOnly);
    EXPECT_EQ(backupUserData(), 1);
    auto entries = readContainer(file(dir + "vornback.vrz"));
    ASSERT_EQ(entries.size(), 25u);
    EXPECT_EQ(entries[9], std::make_pair(std::string("vorndwdw.txt"), std::string("learnt since")));
    m().writeFile(dir + "vornback.vrz", "C0garbage");
    EXPECT_EQ(backupUserData(), 1);
}

TEST_F(Backup, EarlierDirectoryElsewhereIsBackedUpThereAndInstallDirStays) {
    // Longer than installDir can hold, and still the one backed up.
    const std::string old = "D:\\" + std::string(210, 'd') + "\\";
    usedInstallation(old);
    EXPECT_EQ(backupUserData(), 1);
    EXPECT_EQ(packed(old).size(), 25u);
    EXPECT_FALSE(m().exists(dir + "vornback.vrz"));
    EXPECT_STREQ(state.installDir, dir.c_str());
}

TEST_F(Backup, WithoutAnInstallRecordOnlyTheInstallDirectoryCounts) {
    // Data files in the current directory (a download folder, say) are none of ours.
    for (const auto& [name, content] : learnedFiles()) m().writeFile("C:\\setup\\" + name, content);
    m().faults = {};
    EXPECT_EQ(backupUserData(), 0);
    EXPECT_EQ(m().faults.passed, 0u);  // not one file opened, created or copied
    EXPECT_FALSE(m().exists("C:\\setup\\vornback.vrz"));
    EXPECT_FALSE(m().exists("C:\\setup\\vorncyzk.bak"));
    EXPECT_STREQ(state.installDir, dir.c_str());
    EXPECT_STREQ(state.previousInstallDir, "");
    // An installation whose record was lost is still the user's: it is backed up where it is.
    usedInstallation(dir);
    state.previousInstallDir[0] = '\0';
    EXPECT_EQ(backupUserData(), 1);
    EXPECT_EQ(packed(dir), backupNames());
    EXPECT_STREQ(state.previousInstallDir, dir.c_str());
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

TEST_F(Backup, ALearntFileLargerThanARestoreUnpacksStaysOutAndIsLogged) {
    for (uint32_t size : {learnedFileSizeLimit, learnedFileSizeLimit + 1}) {
        boot(sim::Os::win10_64);
        usedInstallation(dir);
        const std::string big(size, 'p');
        m().writeFile(dir + "vornpyck.vrh", big);
        ASSERT_TRUE(openSetupLog("C:\\backup.log"));
        EXPECT_EQ(backupUserData(), 1);
        closeSetupLog();
        bool fits = size == learnedFileSizeLimit;
        std::vector<std::string> names = backupNames();
        if (!fits) names.pop_back();
        EXPECT_EQ(packed(dir), names) << size;
        if (fits) {
            EXPECT_EQ(readContainer(file(dir + "vornback.vrz")).back().second, big);
        }
        EXPECT_EQ(state.learnedDataUnsaved, fits ? 0 : 2) << size;
        EXPECT_EQ(file("C:\\backup.log").find("learnt file too large to back up") != std::string::npos, !fits);
        EXPECT_EQ(file(dir + "vornpyck.vrh"), big);
    }
}
