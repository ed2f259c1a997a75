#include "userdata/restore.h"

#include <gtest/gtest.h>

#include "common/locations.h"
#include "common/text.h"
#include "installation_builder.h"
#include "sim_fixture.h"

namespace {

const std::string dir = "C:\\Program Files\\vornel8\\";
const std::u16string restored15 = u"成功恢复了15个原有数据文件！";
const std::u16string notRestored =
    u"有文件没有成功解压，请重新下载安装！\r\n\r\n\r\n原有数据文件没有成功复制，原有数据不能使用！"
    u"\r\n";

class Restore : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        work_.assign(workBufferSize, 0);
        state.workBuffer = work_.data();
        computeInstallDir();
        copyText(state.previousInstallDir, dir.c_str());
        m().makeDirectories(dir);
    }
    void TearDown() override {
        state.workBuffer = nullptr;
        SimTest::TearDown();
    }
    std::vector<std::u16string> texts() {
        std::vector<std::u16string> all;
        for (const auto& box : m().messageBoxes) all.push_back(box.text);
        return all;
    }
    std::vector<uint8_t> work_;
};

// A backup of the fifteen required files.
std::vector<TestEntry> fifteen() {
    std::vector<TestEntry> entries;
    auto learned = learnedFiles();
    for (size_t i = 0; i < 15; ++i)
        entries.push_back({backupNames()[i], learned[i < 8 ? i : i == 8 ? 1 : i - 1].second});
    return entries;
}

}  // namespace

TEST_F(Restore, FifteenFilesComeBackOverTheInstalledOnesWithTheirCount) {
    for (const TestEntry& entry : fifteen()) m().writeFile(dir + entry.name, "as installed");
    m().writeFile(dir + "vornback.vrz", buildContainer(fifteen()));
    restoreUserData();
    for (const TestEntry& entry : fifteen())
        EXPECT_EQ(file(dir + entry.name), entry.content) << entry.name;
    EXPECT_EQ(texts(), std::vector<std::u16string>{restored15});
    EXPECT_EQ(m().messageBoxes[0].caption, u"智能Marl");
    EXPECT_EQ(state.progressPosition, 15);  // one step per entry
}

TEST_F(Restore, MovedInstallDirectoryGetsTheBackupCopiedFirst) {
    const std::string old = "D:\\Old\\vornel8\\";
    copyText(state.previousInstallDir, old.c_str());
    std::string backup = buildContainer(fifteen());
    m().writeFile(old + "vornback.vrz", backup);
    restoreUserData();
    EXPECT_EQ(file(dir + "vornback.vrz"), backup);
    EXPECT_EQ(file(dir + "vrwbcmxz.bak"), fifteen()[4].content);
    EXPECT_EQ(texts(), std::vector<std::u16string>{restored15});
}

TEST_F(Restore, DamagedEntryIsNamedKeepsWhatWasThereAndTheSummaryFollows) {
    std::vector<TestEntry> entries = fifteen();
    entries[9].digest = std::string(32, '0');  // "vorndwdw.txt" no longer matches its digest
    m().writeFile(dir + "vorndwdw.txt", "the installed copy");
    m().writeFile(dir + "vornback.vrz", buildContainer(entries));
    restoreUserData();
    EXPECT_EQ(texts(),
              (std::vector<std::u16string>{u"没有成功解压复制vorndwdw.txt文件！请重新下载安装。",
                                           u"vorndwdw.txt...." + notRestored}));
    EXPECT_EQ(file(dir + "vorndwdw.txt"), "the installed copy");
    EXPECT_EQ(file(dir + "vornzdfh.vrh"), entries[14].content);

    // A backup cut short: what it holds comes back, the rest is reported missing.
    m().messageBoxes.clear();
    std::string backup = buildContainer(fifteen());
    m().writeFile(dir + "vornback.vrz", backup.substr(0, backup.size() - 5));
    restoreUserData();
    EXPECT_EQ(file(dir + "vorndwdw.txt"), fifteen()[9].content);
    EXPECT_EQ(texts(), std::vector<std::u16string>{notRestored});
}

TEST_F(Restore, PhraseLibraryNormalisedOnTheWayCountsAsRestoredWhenWritten) {
    // Backed up while its trailer was missing; the digest in the backup is of these bytes.
    std::vector<TestEntry> entries = fifteen();
    entries[0].content = "学习; 记住的词组; 中国; ";
    m().writeFile(dir + "vornback.vrz", buildContainer(entries));
    restoreUserData();
    std::string normalised = storedLibrary(entries[0].content);
    ASSERT_NE(normalised, entries[0].content);
    EXPECT_EQ(file(dir + "vorncyzk.bak"), normalised);
    EXPECT_EQ(texts(), std::vector<std::u16string>{restored15});

    // Not written at all: a failure still.
    m().messageBoxes.clear();
    m().writeFile(dir + "vorncyzk.bak", "the payload's library");
    m().denyWrite(dir + "vorncyzk.bak");
    restoreUserData();
    ASSERT_EQ(m().messageBoxes.size(), 2u);
    EXPECT_EQ(m().messageBoxes[1].text, u"vorncyzk.bak...." + notRestored);
}

TEST_F(Restore, MissingOrShortBackupIsSkippedSilently) {
    restoreUserData();
    std::string tiny = buildContainer({{"delck.txt", "x"}});
    ASSERT_LT(tiny.size(), 100u);
    m().writeFile(dir + "vornback.vrz", tiny);
    restoreUserData();
    EXPECT_TRUE(m().messageBoxes.empty());
    EXPECT_FALSE(m().exists(dir + "delck.txt"));
}
