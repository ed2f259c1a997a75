// What a signed-in user without administrator rights can do to the elevated setup through the
// files and names he can write, one table per kind of attack.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

#include "../payload/container_builder.h"
#include "common/file_ops.h"
#include "common/locations.h"
#include "common/setup_log.h"
#include "payload/extraction.h"
#include "payload/module_placement.h"
#include "payload/skins.h"
#include "sim_fixture.h"
#include "userdata/restore.h"
#include "userdata/uninstall_data.h"

namespace {

class ElevatedAttacks : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        computeInstallDir();
        dir = state.installDir;
        m().makeDirectories(dir);
        state.workBuffer = work.data();
    }
    void TearDown() override {
        state.workBuffer = nullptr;
        SimTest::TearDown();
    }
    std::string dir;
    std::vector<uint8_t> work = std::vector<uint8_t>(workBufferSize, 0);
};

}  // namespace

// A skin archive or the backup rewritten while a dialog waits: programs and modules in it (run
// at logon, run elevated, copied into the system directory) are never written, nor anything
// over a locked program; the names the container may hold still come out.
TEST_F(ElevatedAttacks, UserWritableContainersYieldOnlyTheirOwnNames) {
    const std::vector<std::string> hostile = {"vornqvtk.exe", "setupw64.exe", "vornel4.ime", "vornsrf.dll",
                                              "vorndel8.exe"};
    const struct {
        bool skin;
        std::string allowed;
    } rows[] = {{true, "vrbmpsx1.bmp"}, {false, "vorndwdw.txt"}};
    for (const auto& row : rows) {
        SetUp();
        std::vector<TestEntry> entries;
        for (const std::string& name : hostile) entries.push_back({name, "planted " + name});
        entries.push_back({row.allowed, "own " + row.allowed});
        m().writeFile(dir + "vornqvtk.exe", "the locked program");
        const std::string archive = dir + (row.skin ? "冷色瓷面.vrz" : "vornback.vrz");
        m().writeFile(archive, buildContainer(entries, row.skin) + std::string(100, '\0'));
        if (row.skin) extractFromFile(archive.c_str(), isSkinFileName);
        else restoreUserData();
        EXPECT_EQ(file(dir + row.allowed), "own " + row.allowed) << row.allowed;
        EXPECT_EQ(file(dir + "vornqvtk.exe"), "the locked program") << row.allowed;
        for (size_t i = 1; i < hostile.size(); ++i) EXPECT_FALSE(m().exists(dir + hostile[i])) << hostile[i];
    }
}

// Junctions any user can make where the elevated programs walk, delete and write: the empty
// "filer", the install directory kept with the data, the second path file's folder in a drive's
// root. Nothing behind one is deleted or written; what is the setup's own still is.
TEST_F(ElevatedAttacks, JunctionsAreNeverFollowed) {
    const std::string elsewhere = "C:\\Users\\victim\\Documents\\";
    auto victimKept = [&] { return file(elsewhere + "report.doc") == "precious" && file(elsewhere + "vornqvtk.exe") == "theirs"; };
    const struct {
        const char* name;
        std::function<void()> attack;
        std::function<void()> run;
        std::function<bool()> ownDone;
    } rows[] = {
        {"filer\\ a junction",
         [&] {
             m().writeFile(dir + "vornqvtk.exe", "x");
             m().makeJunction(dir + "filer", elsewhere);
         },
         [&] {
             RemovalTally tally;
             removeInstallDirectory(dir.c_str(), false, tally);
         },
         [&] { return !m().exists(dir + "filer") && !m().exists(dir + "vornqvtk.exe"); }},
        {"the install directory a junction",
         [&] {
             std::filesystem::remove_all(m().hostPath(dir));
             m().makeJunction(dir.substr(0, dir.size() - 1), elsewhere);
         },
         [&] {
             RemovalTally tally;
             removeInstallDirectory(dir.c_str(), false, tally);
             EXPECT_EQ(tally.failed, 1u);
         },
         [] { return true; }},
        {"the second path file's folder a junction, written",
         [&] { m().makeJunction("C:\\vornel8", elsewhere); },
         [&] {
             state.osMajorVersion = 6;
             writePathFile();
         },
         [&] { return !m().exists(elsewhere + "vornpat8.vrh") && file("C:\\windows\\vornpat8.vrh") == dir; }},
        {"the second path file's folder a junction, removed",
         [&] {
             m().writeFile(elsewhere + "vornpat8.vrh", "theirs");
             m().makeJunction("C:\\vornel8", elsewhere);
         },
         [&] {
             RemovalTally tally;
             removePathFiles(tally);
         },
         [&] { return file(elsewhere + "vornpat8.vrh") == "theirs"; }},
        {"the recorded earlier directory a junction",
         [&] {
             m().makeDirectories("C:\\apps");
             m().makeJunction("C:\\apps\\vornel8", elsewhere);
             m().writeFile("C:\\windows\\vornpat8.vrh", "C:\\apps\\vornel8\\");
         },
         [&] { readPathFile(1); },
         [&] { return state.previousInstallDir[0] == '\0'; }},
        {"the second path file's folder made first by a user",
         [&] { m().writeFile("C:\\vornel8\\vornpat8.vrh", "planted"); },
         [&] {
             state.osMajorVersion = 6;
             writePathFile();
         },
         [&] {
             return file("C:\\vornel8\\vornpat8.vrh") == dir &&
                    m().accessEntries[m().normalize("C:\\vornel8")] ==
                        std::vector<std::string>{"(A;OICI;FA;;;SY)", "(A;OICI;FA;;;BA)", "(A;OICI;0x1200a9;;;AU)",
                                                 "(A;OICI;0x1200a9;;;BU)"};
         }},
    };
    for (const auto& row : rows) {
        SetUp();
        m().writeFile(elsewhere + "report.doc", "precious");
        m().writeFile(elsewhere + "vornqvtk.exe", "theirs");
        row.attack();
        row.run();
        EXPECT_TRUE(victimKept()) << row.name;
        EXPECT_TRUE(row.ownDone()) << row.name;
    }
}

// The default log in a temporary folder every user may write to (the system's, under SYSTEM):
// a name made first by a user, as a hard link, a link or a file of his own, is not written;
// the log goes under a fresh name beside it.
TEST_F(ElevatedAttacks, TheLogIsNeverWrittenThroughAUsersName) {
    const std::string log = "C:\\temp\\vornsetup.log";
    const std::string target = "C:\\windows\\win.ini";
    const struct {
        const char* name;
        std::function<void()> plant;
    } rows[] = {
        {"hard link", [&] { std::filesystem::create_hard_link(m().hostPath(target), m().hostPath(log)); }},
        {"symbolic link", [&] { std::filesystem::create_symlink(m().hostPath(target), m().hostPath(log)); }},
        {"a user's own file",
         [&] {
             m().writeFile(log, "his");
             m().owners[m().normalize(log)] = "victim";
         }},
    };
    for (const auto& row : rows) {
        SetUp();
        m().writeFile(target, "[windows]");
        row.plant();
        ASSERT_TRUE(openSetupLog(nullptr)) << row.name;
        std::u16string line = u"a line";
        logFields(&line, 1);
        closeSetupLog();
        EXPECT_EQ(file(target), "[windows]") << row.name;
        EXPECT_EQ(logOf("C:\\temp\\vornsetup-2.log"), "a line\r\n") << row.name;
    }
    // Its own log of an earlier run is the log's, added to after a separator.
    SetUp();
    m().writeFile(log, "earlier\r\n");
    ASSERT_TRUE(openSetupLog(nullptr));
    closeSetupLog();
    EXPECT_EQ(file(log), "earlier\r\n2026-12-08T09:30:05+08:00\t--------\r\n");
    EXPECT_FALSE(m().exists("C:\\temp\\vornsetup-2.log"));
}

// Between the extraction and the lock a program or module inherited write access for every
// user; a handle opened then stays valid. They are locked from their first byte instead.
TEST_F(ElevatedAttacks, ProgramsAndModulesAreLockedAsTheyAreWritten) {
    const std::string payload = buildContainer({{"vornqvtk.exe", "p"}, {"vornel4.ime", "m"}, {"vrhzbs.vrh", "d"}});
    ASSERT_TRUE(extractAll(reinterpret_cast<const uint8_t*>(payload.data()), payload.size(), work.data(), work.size()));
    EXPECT_EQ(m().protectedAccess,
              (std::vector<std::string>{m().normalize(dir + "vornqvtk.exe"), m().normalize(dir + "vornel4.ime")}));
    EXPECT_EQ(m().accessEntries[m().normalize(dir + "vornel4.ime")].size(), 5u);
    EXPECT_EQ(file(dir + "vrhzbs.vrh"), "d");
}

// A module or program in the install directory that is not the payload's (planted before the
// setup ran and held against it, or changed since) is never copied where Windows loads it from;
// the payload's is, under a handle that lets nobody change it meanwhile.
TEST_F(ElevatedAttacks, OnlyThePayloadsContentIsPlaced) {
    const std::string payload = buildContainer({{"vornel4.ime", "the module"}, {"vorndel8.exe", "the uninstaller"}});
    const struct {
        const char* name;
        std::string content;
        int target;
        std::string placed;
        bool genuine;
    } rows[] = {
        {"vornel4.ime", "the module", targetSystem32Bit, "C:\\windows\\system32\\vornel4.ime", true},
        {"vornel4.ime", "the modulf", targetSystem32Bit, "C:\\windows\\system32\\vornel4.ime", false},  // same size
        {"vorndel8.exe", "planted", targetWindowsDir, "C:\\windows\\vorndel8.exe", false},
    };
    for (const auto& row : rows) {
        SetUp();
        boot(sim::Os::win7_32);
        computeInstallDir();
        state.workBuffer = work.data();
        state.payload = reinterpret_cast<const uint8_t*>(payload.data());
        state.payloadSize = static_cast<uint32_t>(payload.size());
        m().writeFile(dir + row.name, row.content);
        copyModuleVerified(row.name, row.name, row.target);
        EXPECT_EQ(file(row.placed), row.genuine ? row.content : "<missing>") << row.content;
        EXPECT_EQ(m().messageBoxes.empty(), row.genuine) << row.content;
        EXPECT_TRUE(m().writersDenied.empty()) << row.content;
        state.payload = nullptr;
    }
}
