// The simulated machine must behave as Windows does where the setup depends on it.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/sim/machine.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "sim_fixture.h"

namespace {
class SimMachine : public SimTest {};
}  // namespace

TEST_F(SimMachine, NamesAreCaseInsensitive) {
    m().writeFile("C:\\Windows\\Test.TXT", "x");
    EXPECT_EQ(file("c:\\WINDOWS\\test.txt"), "x");
    plat::FileHandle f = plat::lopen("C:\\WINDOWS\\TEST.txt", plat::ofRead);
    ASSERT_NE(f, plat::fileError);
    char c = 0;
    EXPECT_EQ(plat::lread(f, &c, 1), 1u);
    EXPECT_EQ(c, 'x');
    plat::lclose(f);
}

TEST_F(SimMachine, BusyFileCanBeRenamedButNotDeletedOrOverwritten) {
    m().writeFile("C:\\a.dll", "old");
    m().markBusy("C:\\a.dll");
    EXPECT_FALSE(plat::deleteFile("C:\\a.dll"));
    EXPECT_EQ(plat::lastError(), plat::errorSharingViolation);
    EXPECT_EQ(plat::lcreat("C:\\a.dll", 0), plat::fileError);
    EXPECT_TRUE(plat::moveFile("C:\\a.dll", "C:\\b.dll"));
    EXPECT_TRUE(m().isBusy("C:\\b.dll"));
    EXPECT_NE(plat::lcreat("C:\\a.dll", 0), plat::fileError);
}

TEST_F(SimMachine, ReadOnlyFileRefusesWritesUntilCleared) {
    plat::lclose(plat::lcreat("C:\\r.txt", 1));
    EXPECT_EQ(plat::getFileAttributes("C:\\r.txt"), plat::attrArchive | plat::attrReadOnly);
    EXPECT_FALSE(plat::deleteFile("C:\\r.txt"));
    EXPECT_TRUE(plat::setFileAttributes("C:\\r.txt", plat::attrArchive));
    EXPECT_TRUE(plat::deleteFile("C:\\r.txt"));
}

TEST_F(SimMachine, GbkMessageBoxesAreRecordedAsUtf16) {
    m().answers.push_back(plat::idNo);
    EXPECT_EQ(plat::messageBoxA("是否保留？", "智能Marl安装", plat::mbYesNo), plat::idNo);
    EXPECT_EQ(plat::messageBoxA("x", "y", plat::mbOk), plat::idOk);
    ASSERT_EQ(m().messageBoxes.size(), 2u);
    EXPECT_EQ(m().messageBoxes[0].text, u"是否保留？");
    EXPECT_EQ(m().messageBoxes[0].caption, u"智能Marl安装");
    EXPECT_EQ(sim::toUtf8(m().messageBoxes[0].caption), "\xE6\x99\xBA\xE8\x83\xBD" "Marl\xE5\xAE\x89\xE8\xA3\x85");
}

TEST_F(SimMachine, VersionWordCarriesTheBuildAndFamily) {
    EXPECT_EQ(plat::getVersion() & 0xFFFF, 0x0206u);
    EXPECT_EQ(plat::getVersion() & 0x80000000u, 0u);
    m().ntFamily = false;
    EXPECT_NE(plat::getVersion() & 0x80000000u, 0u);
}
