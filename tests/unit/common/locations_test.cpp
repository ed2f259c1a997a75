#include "common/locations.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/text.h"
#include "platform/files.h"
#include "sim_fixture.h"

namespace {

class Locations : public SimTest {};

std::string installDirFrom(sim::Machine& m, const std::string& folder) {
    m.programFilesFolder = folder;
    return computeInstallDir();
}

}  // namespace

TEST_F(Locations, InstallDirDropsParenthesisedSuffixAndBlanks) {
    EXPECT_EQ(installDirFrom(m(), "C:\\Program Files (x86)"), "C:\\Program Files\\vornel8\\");
    EXPECT_EQ(installDirFrom(m(), "C:\\Program Files"), "C:\\Program Files\\vornel8\\");
    EXPECT_EQ(installDirFrom(m(), "D:\\Apps   (x86) (y)"), "D:\\Apps\\vornel8\\");
    EXPECT_EQ(installDirFrom(m(), "D:\\Apps\\"), "D:\\Apps\\vornel8\\");
    EXPECT_EQ(installDirFrom(m(), "(x86)"), "vornel8\\");
}

TEST_F(Locations, InstallDirWithoutShellFolderUsesTheFixedOne) {
    m().hasProgramFilesFolder = false;
    EXPECT_STREQ(computeInstallDir(), "c:\\Program Files\\vornel8\\");
}

TEST_F(Locations, InstallDirFromAnOverlongFolderStaysInItsField) {
    std::string longFolder = "C:\\" + std::string(250, 'a');
    std::memset(state.previousInstallDir, 0x5A, 8);
    computeInstallDir();
    m().programFilesFolder = longFolder;
    computeInstallDir();
    EXPECT_EQ(std::strlen(state.installDir), dirCapacity - 1);
    EXPECT_EQ(state.previousInstallDir[0], 0x5A);  // the next field is untouched
}

TEST_F(Locations, PathFileCopiesHoldTheExactDirectory) {
    computeInstallDir();
    is64BitWindows();
    writePathFile();
    EXPECT_EQ(file("C:\\windows\\vornpat8.vrh"), "C:\\Program Files\\vornel8\\");
    EXPECT_EQ(file("C:\\vornel8\\vornpat8.vrh"), "C:\\Program Files\\vornel8\\");
    EXPECT_STREQ(state.systemDir, "C:\\windows\\system32");
}

TEST_F(Locations, PathFileGetsTheMissingBackslash) {
    is64BitWindows();
    copyText(state.installDir, "E:\\x");
    writePathFile();
    EXPECT_STREQ(state.installDir, "E:\\x\\");
    EXPECT_EQ(file("C:\\windows\\vornpat8.vrh"), "E:\\x\\");
}

TEST_F(Locations, PathFileOnXpHasNoSecondCopy) {
    boot(sim::Os::xp32);
    computeInstallDir();
    is64BitWindows();
    writePathFile();
    EXPECT_EQ(file("C:\\windows\\vornpat8.vrh"), "C:\\Program Files\\vornel8\\");
    EXPECT_FALSE(m().exists("C:\\vornel8"));
}

TEST_F(Locations, SecondCopyGoesToTheFirstFixedDriveFromG) {
    m().driveTypes['d'] = plat::driveFixed;
    m().driveTypes['e'] = plat::driveCdrom;
    m().driveTypes['h'] = plat::driveFixed;
    char dir[dirCapacity];
    findPathFileDrive(dir, sizeof dir);
    EXPECT_STREQ(dir, "d:\\vornel8\\");
    m().driveTypes['g'] = plat::driveFixed;
    findPathFileDrive(dir, sizeof dir);
    EXPECT_STREQ(dir, "g:\\vornel8\\");
}

TEST_F(Locations, OnlyDriveHGivesTheCurrentDirectory) {
    m().driveTypes.clear();
    m().driveTypes['h'] = plat::driveFixed;
    char dir[dirCapacity] = "junk";
    findPathFileDrive(dir, sizeof dir);
    EXPECT_STREQ(dir, "");
    computeInstallDir();
    is64BitWindows();
    writePathFile();
    EXPECT_EQ(file("C:\\setup\\vornpat8.vrh"), "C:\\Program Files\\vornel8\\");
}

TEST_F(Locations, ReadPathFileFillsTheChosenTarget) {
    copyText(state.installDir, "unchanged");
    copyText(state.previousInstallDir, "also unchanged");
    readPathFile(0);
    readPathFile(1);
    EXPECT_STREQ(state.installDir, "unchanged");  // no file: left as it was
    EXPECT_STREQ(state.previousInstallDir, "also unchanged");

    m().writeFile("C:\\windows\\vornpat8.vrh", "D:\\old\\vornel8\\");
    readPathFile(1);
    EXPECT_STREQ(state.previousInstallDir, "D:\\old\\vornel8\\");
    EXPECT_STREQ(state.installDir, "unchanged");
    readPathFile(0);
    EXPECT_STREQ(state.installDir, "D:\\old\\vornel8\\");

    m().writeFile("C:\\windows\\vornpat8.vrh", "");
    readPathFile(0);
    EXPECT_STREQ(state.installDir, "");
}

TEST_F(Locations, OversizedPathFileIsCutToTheTarget) {
    m().writeFile("C:\\windows\\vornpat8.vrh", std::string(600, 'q'));
    std::memset(state.systemDir, 0x33, 4);
    readPathFile(1);
    EXPECT_EQ(std::strlen(state.previousInstallDir), previousDirCapacity - 1);
    EXPECT_EQ(state.systemDir[0], 0x33);
    readPathFile(0);
    EXPECT_EQ(std::strlen(state.installDir), dirCapacity - 1);
    EXPECT_EQ(std::string(state.previousInstallDir, 3), "qqq");
}

struct VersionCase {
    sim::Os os;
    uint16_t code;
    int bits;
    int wow64;
    bool is64;
    uint32_t major;
    bool ten;
};

class Versions : public SimTest, public ::testing::WithParamInterface<VersionCase> {};

std::string versionCaseName(const ::testing::TestParamInfo<VersionCase>& info) {
    static const char* const names[] = {"xp32",    "xp64",    "vista32",  "vista64",
                                        "win7_32", "win7_64", "win10_32", "win10_64"};
    return names[static_cast<int>(info.param.os)];
}

TEST_P(Versions, CodesAndBitness) {
    const VersionCase& c = GetParam();
    boot(c.os);
    EXPECT_EQ(detectOsBits(), c.bits);
    EXPECT_EQ(state.osVersionCode, c.code);
    EXPECT_EQ(state.wow64Process, c.wow64);
    EXPECT_EQ(is64BitWindows(), c.is64);
    EXPECT_EQ(state.osMajorVersion, c.major);
    EXPECT_EQ(isWindows10(), c.ten);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, Versions,
    ::testing::Values(VersionCase{sim::Os::xp32, 51, 32, 0, false, 5, false},
                      // 64-bit XP: the version code stops the query before WOW64 is asked.
                      VersionCase{sim::Os::xp64, 52, 32, 0, false, 5, false},
                      VersionCase{sim::Os::vista64, 60, 64, 1, true, 6, false},
                      VersionCase{sim::Os::win7_32, 61, 32, 0, false, 6, false},
                      VersionCase{sim::Os::win7_64, 61, 64, 1, true, 6, false},
                      VersionCase{sim::Os::win10_32, 62, 32, 0, false, 6, true},
                      VersionCase{sim::Os::win10_64, 62, 64, 1, true, 6, true}),
    versionCaseName);

TEST_F(Locations, ItaniumCountsAs64Bit) {
    m().nativeArchitecture = plat::archIa64;
    EXPECT_EQ(detectOsBits(), 64);
}

TEST_F(Locations, NoNtVersionCallIsNotWindows10) {
    m().hasNtVersionNumbers = false;
    EXPECT_FALSE(isWindows10());
}

TEST_F(Locations, Is64BitWindowsNamesSysWow64) {
    boot(sim::Os::win7_64);
    EXPECT_TRUE(is64BitWindows());
    EXPECT_STREQ(state.sysWow64Dir, "C:\\windows\\syswow64");
    boot(sim::Os::xp64);
    EXPECT_FALSE(is64BitWindows());
    EXPECT_STREQ(state.sysWow64Dir, "");
}

TEST_F(Locations, SelectTargetByCode) {
    selectTarget(targetWindowsDir);
    EXPECT_STREQ(state.systemDir, "C:\\windows");
    selectTarget(targetSysWow64);
    EXPECT_STREQ(state.systemDir, "C:\\windows\\syswow64");
    EXPECT_STREQ(state.sysWow64Dir, "C:\\windows\\syswow64");
    selectTarget(targetNativeSystem);
    EXPECT_STREQ(state.systemDir, "C:\\windows\\system32");
    selectTarget(targetSystem32Bit);
    EXPECT_STREQ(state.systemDir, "C:\\windows\\system32");
    selectTarget(77);
    EXPECT_STREQ(state.systemDir, "C:\\windows");
}

TEST_F(Locations, RedirectionIsOffOnlyInsideTheFrame) {
    auto write = [] {
        plat::FileHandle f = plat::lcreat("C:\\windows\\system32\\probe.bin", 0);
        plat::lclose(f);
        return f != plat::fileError;
    };
    EXPECT_TRUE(withoutRedirection(write));
    EXPECT_FALSE(m().redirectionDisabled);
    m().redirectionDisabled = true;
    EXPECT_TRUE(m().exists("C:\\windows\\system32\\probe.bin"));
    EXPECT_FALSE(m().exists("C:\\windows\\syswow64\\probe.bin"));
    m().redirectionDisabled = false;
    EXPECT_TRUE(write());  // outside the frame a 32-bit process lands in SysWOW64
    EXPECT_TRUE(m().exists("C:\\windows\\syswow64\\probe.bin"));
}

TEST_F(Locations, FailingRedirectionSwitchRunsTheOperationRedirected) {
    m().redirectionSwitchResult = 0;
    bool sawDisabled = true;
    withoutRedirection([&] { sawDisabled = m().redirectionDisabled; });
    EXPECT_FALSE(sawDisabled);
    m().hasRedirectionSwitch = false;
    withoutRedirection([&] { sawDisabled = m().redirectionDisabled; });
    EXPECT_FALSE(sawDisabled);
}

TEST_F(Locations, NoSwitchOn32BitWindows) {
    boot(sim::Os::win7_32);
    int ran = 0;
    withoutRedirection([&] { ++ran; });
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(m().redirectionDisableCount, 0);
}

TEST_F(Locations, CompareWithTargetResults) {
    computeInstallDir();
    EXPECT_EQ(compareWithTarget("vornel4.ime", "vornel4.ime", targetNativeSystem), 1);
    m().writeFile("C:\\Program Files\\vornel8\\vornel4.ime", "1234");
    EXPECT_EQ(compareWithTarget("vornel4.ime", "vornel4.ime", targetNativeSystem), 2);
    m().redirectionDisabled = true;
    m().writeFile("C:\\windows\\system32\\vornel4.ime", "12345");
    m().redirectionDisabled = false;
    EXPECT_EQ(compareWithTarget("vornel4.ime", "vornel4.ime", targetNativeSystem), 3);
    // Code 1 reaches SysWOW64 by name, where nothing is yet.
    EXPECT_EQ(compareWithTarget("vornel4.ime", "vornel4.ime", targetSysWow64), 2);
    m().writeFile("C:\\windows\\syswow64\\vornel4.ime", "abcd");
    EXPECT_EQ(compareWithTarget("vornel4.ime", "vornel4.ime", targetSysWow64), 0);
    EXPECT_STREQ(state.scratchPath, "C:\\Program Files\\vornel8\\vornel4.ime");
}

TEST_F(Locations, CopyToTargetReachesTheNativeSystemDirectory) {
    computeInstallDir();
    m().writeFile("C:\\Program Files\\vornel8\\vorn640.ime", "sixty-four");
    copyToTarget("vorn640.ime", "vornel4.ime", targetNativeSystem);
    m().redirectionDisabled = true;
    EXPECT_EQ(file("C:\\windows\\system32\\vornel4.ime"), "sixty-four");
    EXPECT_FALSE(m().exists("C:\\windows\\syswow64\\vornel4.ime"));
    EXPECT_TRUE(m().messageBoxes.empty());
}

TEST_F(Locations, CopyToTargetMovesABusyModuleAside) {
    computeInstallDir();
    m().writeFile("C:\\Program Files\\vornel8\\vorn320.ime", "new");
    m().writeFile("C:\\windows\\syswow64\\vornel4.ime", "old");
    m().markBusy("C:\\windows\\syswow64\\vornel4.ime");
    copyToTarget("vorn320.ime", "vornel4.ime", targetSysWow64);
    EXPECT_EQ(file("C:\\windows\\syswow64\\vornel4.ime"), "new");
    EXPECT_EQ(file("C:\\windows\\syswow64\\vornel2.ime"), "old");
    EXPECT_TRUE(m().messageBoxes.empty());
}

TEST_F(Locations, CopyToTargetReportsAMissingSource) {
    computeInstallDir();
    copyToTarget("vorn320.ime", "vornel4.ime", targetSysWow64);
    ASSERT_EQ(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].caption, u"智能Marl(Qolvane)安装");
    EXPECT_EQ(m().messageBoxes[0].text,
              u"安装包没有成功解压C:\\windows\\syswow64\\vornel4.ime文件，请重新下载安装！");
}

TEST_F(Locations, RunsFromCdromByTheCurrentDrive) {
    EXPECT_FALSE(runsFromCdrom());
    m().driveTypes['e'] = plat::driveCdrom;
    m().currentDirectory = "E:\\" + std::string(120, 'x');
    EXPECT_TRUE(runsFromCdrom());
}
