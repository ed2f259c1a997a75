#include "userdata/uninstall_data.h"

#include <filesystem>
#include <map>
#include <set>

#include "installation_builder.h"
#include "userdata/backup.h"
#include "sim_fixture.h"

namespace {

constexpr const char* dir = "C:\\Program Files\\vornel8\\";

class UninstallData : public SimTest {
protected:
    // A used installation: payload files, ".bak" copies, the learnt files, the Pinyin library and
    // its working copy, "filer\", a file and a folder that are not the product's.
    void install() {
        for (const char* name : {"vornqvtk.exe", "vorncyzk.bak", "vornpyck.vrh", "vornpyck.dat", "vornback.new",
                                 "blank.jpg", "my notes.txt"})
            m().writeFile(std::string(dir) + name, name);
        for (const auto& [name, content] : learnedFiles()) m().writeFile(std::string(dir) + name, content);
        m().writeFile(std::string(dir) + "filer\\note.txt", "n");
        m().writeFile(std::string(dir) + "mine\\photo.jpg", "p");
    }
    std::set<std::string> namesIn(const std::string& folder) {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m().hostPath(folder)))
            names.insert(entry.path().filename().string());
        return names;
    }
};

}  // namespace

TEST_F(UninstallData, KeptDataStayWithACompleteBackupAndNothingElseOfTheProduct) {
    install();
    RemovalTally tally;
    removeInstallDirectory(dir, true, tally);
    // Not the Pinyin library, its working copy or the user's own file either.
    std::set<std::string> expected = {"vornback.vrz", "mine", "vornpyck.vrh", "vornpyck.dat", "my notes.txt"};
    for (const auto& file : learnedFiles()) expected.insert(file.first);
    EXPECT_EQ(namesIn(dir), expected);
    for (const auto& [name, content] : learnedFiles()) EXPECT_EQ(file(std::string(dir) + name), content) << name;
    // Every learnt file packed, with its content: a later setup restores them all.
    std::map<std::string, std::string> packed;
    for (const auto& [name, content] : readContainer(file(std::string(dir) + "vornback.vrz"))) packed[name] = content;
    std::vector<std::string> names;
    for (const auto& entry : readContainer(file(std::string(dir) + "vornback.vrz"))) names.push_back(entry.first);
    EXPECT_EQ(names, backupNames());
    EXPECT_EQ(packed["cfontset.bak"], file(std::string(dir) + "cfontset.vrh"));
    EXPECT_EQ(tally.failed, 0u);
    EXPECT_EQ(tally.atRestart, 0u);
    // Two files (the unfinished "vornback.new" went with the backup), 8 ".bak" copies, filer's file.
    EXPECT_EQ(tally.removed, 11u);
}

TEST_F(UninstallData, WithoutTheDataTheDirectoryGoesAtOnceOrAfterItsBusyFileAtTheRestart) {
    for (bool busy : {false, true}) {
        boot(sim::Os::win10_64);
        install();
        m().attributes.clear();
        std::filesystem::remove_all(m().hostPath(std::string(dir) + "mine"));
        if (busy) m().markBusy(std::string(dir) + "vornqvtk.exe");
        RemovalTally tally;
        removeInstallDirectory(dir, false, tally);
        EXPECT_EQ(tally.failed, 0u) << busy;
        EXPECT_EQ(tally.atRestart, busy ? 1u : 0u);
        EXPECT_EQ(m().exists(dir), busy);
        if (busy) {
            // The renamed file first, then the directory it leaves empty.
            std::vector<std::string> expected = {m().normalize(std::string(dir) + "vornqvt2.exe"),
                                                 m().normalize("C:\\Program Files\\vornel8")};
            EXPECT_EQ(m().pendingDeletes, expected);
            EXPECT_EQ(namesIn(dir), std::set<std::string>{"vornqvt2.exe"});
            m().restart();
            EXPECT_FALSE(m().exists(dir));
        }
    }
}

TEST_F(UninstallData, AFolderThatIsNotTheProductsKeepsTheDirectoryWithoutAFailure) {
    install();
    RemovalTally tally;
    removeInstallDirectory(dir, false, tally);
    EXPECT_EQ(namesIn(dir), std::set<std::string>{"mine"});
    EXPECT_EQ(file(std::string(dir) + "mine\\photo.jpg"), "p");
    EXPECT_EQ(tally.failed, 0u);
    EXPECT_FALSE(productFilesPresent(dir));
}

TEST_F(UninstallData, ALearntFileTooLargeToPackIsKeptWithItsCopiesAndNoFailure) {
    install();
    const std::string big(learnedFileSizeLimit + 1, 'p');
    m().writeFile(std::string(dir) + "vornpyck.vrh", big);
    RemovalTally tally;
    removeInstallDirectory(dir, true, tally);
    EXPECT_EQ(tally.failed, 0u);
    EXPECT_EQ(file(std::string(dir) + "vornpyck.vrh"), big);
    // The backup lacks a learnt file: the copies it made stay as well.
    EXPECT_TRUE(m().exists(std::string(dir) + "cfontset.bak"));
}
