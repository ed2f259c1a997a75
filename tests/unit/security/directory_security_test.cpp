#include "security/directory_security.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "common/locations.h"
#include "common/text.h"
#include "sim_fixture.h"

namespace {

class DirectorySecurity : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        computeInstallDir();
    }
    std::vector<std::string> entries() { return m().accessEntries[m().normalize(state.installDir)]; }
};

const char* const fullListing =
    "C:\\Program Files\\vornel8 BUILTIN\\Administrators:(OI)(CI)(F)\r\n"
    "                         NT AUTHORITY\\Authenticated Users:(OI)(CI)(RX,W)\r\n"
    "                         APPLICATION PACKAGE AUTHORITY\\ALL APPLICATION PACKAGES:(OI)(CI)(F)\r\n"
    "\r\n"
    "Successfully processed 1 files; Failed processing 0 files\r\n";

}  // namespace

TEST_F(DirectorySecurity, NewDirectoryGetsTheThreeEntries) {
    EXPECT_TRUE(createSecuredDirectory(state.installDir));
    EXPECT_EQ(entries(), (std::vector<std::string>{"(A;OICI;GA;;;AC)", "(A;OICI;GRGWGX;;;AU)",
                                                   "(A;OICI;GA;;;BA)"}));
    EXPECT_TRUE(grantUserFullAccess(state.installDir));
    EXPECT_EQ(entries().back(), "(A;OICI;GA;;;tester)");
}

TEST_F(DirectorySecurity, ExistingDirectoryKeepsItsListButGetsTheUser) {
    m().makeDirectories(state.installDir);
    m().accessEntries[m().normalize(state.installDir)] = {"(A;;FA;;;SY)"};
    EXPECT_FALSE(createSecuredDirectory(state.installDir));
    EXPECT_TRUE(grantUserFullAccess(state.installDir));
    EXPECT_EQ(entries(), (std::vector<std::string>{"(A;;FA;;;SY)", "(A;OICI;GA;;;tester)"}));
}

TEST_F(DirectorySecurity, FailedConversionCreatesNothing) {
    m().sddlConversionFails = true;
    EXPECT_FALSE(createSecuredDirectory(state.installDir));
    EXPECT_FALSE(m().exists(state.installDir));
}

TEST_F(DirectorySecurity, UnreadableListChangesNothing) {
    m().makeDirectories(state.installDir);
    m().unreadableAccess.push_back(m().normalize(state.installDir));
    EXPECT_FALSE(grantUserFullAccess(state.installDir));
    EXPECT_TRUE(entries().empty());
}

TEST(IcaclsListing, AllApplicationPackagesWithFullAccess) {
    EXPECT_TRUE(listingGrantsAppPackagesFullAccess(fullListing));
    EXPECT_TRUE(listingGrantsAppPackagesFullAccess(
        "APPLICATION PACKAGE AUTHORITY\\ALL APPLICATION PACKAGES:(OI)(CI)(f)\r\n"));
    // Read and execute only.
    EXPECT_FALSE(listingGrantsAppPackagesFullAccess(
        "x:(F)\r\n   APPLICATION PACKAGE AUTHORITY\\ALL APPLICATION PACKAGES:(OI)(CI)(RX)\r\n"));
    // The group in lower case is another line.
    EXPECT_FALSE(listingGrantsAppPackagesFullAccess(
        "application package authority\\all application packages:(F)\r\n"));
    EXPECT_FALSE(listingGrantsAppPackagesFullAccess(""));
    EXPECT_FALSE(listingGrantsAppPackagesFullAccess("\r\n\r\n   "));
    // Any number of leading blanks, no line end at the very end.
    EXPECT_TRUE(listingGrantsAppPackagesFullAccess(
        (std::string(300, ' ') + "APPLICATION PACKAGE AUTHORITY\\ALL:(F)").c_str()));
    EXPECT_FALSE(listingGrantsAppPackagesFullAccess("APPLICATION PACKAGE"));
}

TEST_F(DirectorySecurity, ListingQueryAddressesTheRealDirectory) {
    const std::string query =
        "C:\\windows\\system32\\cmd.exe /c \"\"C:\\windows\\system32\\icacls.exe\" \"C:\\Program "
        "Files\\vornel8\"\"";
    EXPECT_FALSE(appPackagesHaveFullAccess());
    ASSERT_EQ(m().capturedCommands.size(), 1u);
    EXPECT_EQ(m().capturedCommands[0], query);
    m().commandOutputs[query] = fullListing;
    EXPECT_TRUE(appPackagesHaveFullAccess());
    m().pipeFails = true;
    EXPECT_FALSE(appPackagesHaveFullAccess());
}

TEST_F(DirectorySecurity, CaptureKeepsTheFirstBytesOfALongListing) {
    const std::string query = "C:\\windows\\system32\\cmd.exe /c \"x\"";
    m().commandOutputs[query] = std::string(20000, 'a');
    char out[captureCapacity];
    EXPECT_TRUE(runAndCapture("x", out, sizeof out));
    EXPECT_EQ(std::strlen(out), captureCapacity - 1);
}

TEST_F(DirectorySecurity, IntegrityCommandsNameTheInstallDirectory) {
    setLowIntegrity();
    ASSERT_EQ(m().processes.started.size(), 2u);
    EXPECT_EQ(m().processes.started[0].commandLine,
              "C:\\windows\\system32\\icacls.exe \"C:\\Program Files\\vornel8\" /SetIntegrityLevel Level: L");
    // The bare form still needs quotes around a name with a blank.
    EXPECT_EQ(m().processes.started[1].commandLine,
              "C:\\windows\\system32\\icacls.exe \"C:\\Program Files\\vornel8\" /SetIntegrityLevel Level: L");
    EXPECT_EQ(m().processes.started[0].show, 5u);

    copyText(state.installDir, "D:\\Apps\\vornel8\\");
    setLowIntegrity();
    ASSERT_EQ(m().processes.started.size(), 4u);
    EXPECT_EQ(m().processes.started[3].commandLine,
              "C:\\windows\\system32\\icacls.exe D:\\Apps\\vornel8 /SetIntegrityLevel Level: L");
}

TEST_F(DirectorySecurity, DirectoryCheckRunsAsBasicUser) {
    launchDirectoryCheck();
    ASSERT_EQ(m().processes.started.size(), 1u);
    EXPECT_EQ(m().processes.started[0].commandLine,
              "C:\\windows\\system32\\runas.exe /trustlevel:0x20000 \"C:\\Program Files\\vornel8\\vkjcdir\"");
}

TEST_F(DirectorySecurity, ProgramsAndModulesAreLockedDataFilesAreNot) {
    computeInstallDir();
    const std::string dir = state.installDir;
    for (const char* name : {"vornqvtk.exe", "VKJCDIR.EXE", "vornsrf.dll", "vornel4.ime", "vorndwdw.txt",
                             "vrszsj43.vrh", "exe.txt", "a.exe.bak"})
        m().writeFile(dir + name, "x");
    m().makeDirectories(dir + "filer.exe");  // a directory, whatever its name
    EXPECT_EQ(secureInstalledPrograms(), 4);
    std::vector<std::string> locked = m().protectedAccess;
    std::sort(locked.begin(), locked.end());
    std::vector<std::string> expected;
    for (const char* name : {"vkjcdir.exe", "vornel4.ime", "vornqvtk.exe", "vornsrf.dll"})
        expected.push_back(m().normalize(dir + name));
    EXPECT_EQ(locked, expected);
    // Read and execute for every user and application package, changes for administrators only.
    EXPECT_EQ(m().accessEntries[expected[0]],
              (std::vector<std::string>{"(A;;FA;;;SY)", "(A;;FA;;;BA)", "(A;;0x1200a9;;;AU)",
                                        "(A;;0x1200a9;;;BU)", "(A;;0x1200a9;;;AC)"}));
    EXPECT_EQ(m().accessEntries.count(m().normalize(dir + "vorndwdw.txt")), 0u);
}
