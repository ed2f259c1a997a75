#include "checks/admin_check.h"

#include <gtest/gtest.h>

#include "common/locations.h"
#include "sim_fixture.h"

namespace {

class AdminCheck : public SimTest {
protected:
    bool check() {
        computeInstallDir();
        return isNotAdministrator();
    }
};

}  // namespace

TEST_F(AdminCheck, XpWritesNothingAndProceeds) {
    boot(sim::Os::xp32);
    m().writeFile("C:\\windows\\vornpat8.vrh", "D:\\old\\");
    m().denyWrite("C:\\windows");
    EXPECT_FALSE(check());
    EXPECT_STREQ(state.previousInstallDir, "D:\\old\\");
    EXPECT_EQ(file("C:\\windows\\vornpat8.vrh"), "D:\\old\\");
}

TEST_F(AdminCheck, AdministratorLeavesTheRealDirectoryInBothCopies) {
    m().writeFile("C:\\windows\\vornpat8.vrh", "D:\\old\\vornel8\\");
    EXPECT_FALSE(check());
    EXPECT_STREQ(state.previousInstallDir, "D:\\old\\vornel8\\");
    EXPECT_EQ(file("C:\\windows\\vornpat8.vrh"), "C:\\Program Files\\vornel8\\");
    EXPECT_EQ(file("C:\\vornel8\\vornpat8.vrh"), "C:\\Program Files\\vornel8\\");
    EXPECT_STREQ(state.installDir, "C:\\Program Files\\vornel8\\");
    EXPECT_STREQ(state.systemDir, "C:\\windows\\system32");
}

TEST_F(AdminCheck, FirstInstallHasNoPreviousDirectory) {
    EXPECT_FALSE(check());
    EXPECT_STREQ(state.previousInstallDir, "");
}

TEST_F(AdminCheck, UnwritableWindowsDirectoryRefuses) {
    m().writeFile("C:\\windows\\vornpat8.vrh", "C:\\Program Files\\vornel8\\");
    m().denyWrite("C:\\windows");
    EXPECT_TRUE(check());
    EXPECT_EQ(file("C:\\windows\\vornpat8.vrh"), "C:\\Program Files\\vornel8\\");
}

TEST_F(AdminCheck, MissingFileThatCannotBeWrittenRefuses) {
    m().denyWrite("C:\\windows\\vornpat8.vrh");
    EXPECT_TRUE(check());
}

TEST_F(AdminCheck, LeftOverProbeSatisfiesTheComparison) {
    // An interrupted earlier run left the probe in the file; the new write then fails.
    m().writeFile("C:\\windows\\vornpat8.vrh", "vornisadmin\\");
    m().denyWrite("C:\\windows\\vornpat8.vrh");
    EXPECT_FALSE(check());
    EXPECT_STREQ(state.previousInstallDir, "vornisadmin\\");
}

TEST_F(AdminCheck, ProbeComparisonIsCaseSensitive) {
    m().writeFile("C:\\windows\\vornpat8.vrh", "VORNISADMIN\\");
    m().denyWrite("C:\\windows\\vornpat8.vrh");
    EXPECT_TRUE(check());
}
