// The simulated registry, input methods and program starts must behave as Windows does where
// the setup depends on it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/registry.h"
#include "platform/sim/machine.h"
#include "sim_fixture.h"

namespace {

using sim::Hive;
using sim::View;

class SimRegistry : public SimTest {
protected:
    sim::Registry& reg() { return m().registry; }
};

}  // namespace

TEST_F(SimRegistry, ThirtyTwoBitProcessSeesSoftwareThroughWow6432Node) {
    plat::ScopedKey key;
    ASSERT_TRUE(plat::createKey(plat::hkeyLocalMachine, "Software\\Vorn\\Test", key));
    plat::regSetText(key.get(), "v", "x");
    key.close();
    EXPECT_TRUE(
        reg().exists(Hive::localMachine, "SOFTWARE\\Wow6432Node\\Vorn\\Test", View::native));
    EXPECT_FALSE(reg().exists(Hive::localMachine, "Software\\Vorn", View::native));
    EXPECT_EQ(reg().text(Hive::localMachine, "Software\\Vorn\\Test", "v"), "x");
    // Outside Software, and under the current user, there is one view.
    ASSERT_TRUE(plat::createKey(plat::hkeyLocalMachine, "System\\Vorn", key));
    ASSERT_TRUE(plat::createKey(plat::hkeyCurrentUser, "Software\\Vorn", key));
    key.close();
    EXPECT_TRUE(reg().exists(Hive::localMachine, "System\\Vorn", View::native));
    EXPECT_TRUE(reg().exists(Hive::currentUser, "Software\\Vorn", View::native));

    boot(sim::Os::win7_32);
    ASSERT_TRUE(plat::createKey(plat::hkeyLocalMachine, "Software\\Vorn", key));
    key.close();
    EXPECT_TRUE(reg().exists(Hive::localMachine, "Software\\Vorn", View::native));
    EXPECT_EQ(reg().openHandles(), 0u);
}

TEST_F(SimRegistry, EnumerationIsByIndexInNameOrderWithMoreData) {
    reg().make(Hive::localMachine, "System\\L\\e0200804");
    reg().make(Hive::localMachine, "System\\L\\00000409");
    reg().make(Hive::localMachine, "System\\L\\" + std::string(210, 'A'));
    plat::ScopedKey key;
    ASSERT_TRUE(plat::openKey(plat::hkeyLocalMachine, "System\\L", plat::RegAccess::read, key));
    uint32_t count = 0;
    EXPECT_EQ(plat::regQuerySubkeyCount(key.get(), &count), plat::regOk);
    EXPECT_EQ(count, 3u);

    char name[200] = {};
    uint32_t length = sizeof name;
    EXPECT_EQ(plat::regEnumKey(key.get(), 0, name, &length), plat::regOk);
    EXPECT_STREQ(name, "00000409");
    EXPECT_EQ(length, 8u);
    length = sizeof name;
    EXPECT_EQ(plat::regEnumKey(key.get(), 1, name, &length), plat::regMoreData);
    length = sizeof name;
    EXPECT_EQ(plat::regEnumKey(key.get(), 2, name, &length), plat::regOk);
    EXPECT_STREQ(name, "e0200804");
    length = sizeof name;
    EXPECT_EQ(plat::regEnumKey(key.get(), 3, name, &length), plat::regNoMoreItems);
}

TEST_F(SimRegistry, DeletedKeyIsReportedThroughItsOpenHandle) {
    reg().make(Hive::currentUser, "a\\b");
    plat::ScopedKey key;
    ASSERT_TRUE(plat::openKey(plat::hkeyCurrentUser, "a\\b", plat::RegAccess::all, key));
    EXPECT_EQ(plat::regDeleteKey(plat::hkeyCurrentUser, "a"), plat::regAccessDenied);  // has b
    EXPECT_EQ(plat::regDeleteKey(plat::hkeyCurrentUser, "a\\b"), plat::regOk);
    EXPECT_EQ(plat::regSetText(key.get(), "v", "x"), plat::regKeyDeleted);
    reg().make(Hive::currentUser, "a\\b");
    EXPECT_EQ(plat::regSetText(key.get(), "v", "x"), plat::regKeyDeleted);
}

TEST_F(SimRegistry, BareProgramNameFindsAPlantedCopyFirst) {
    EXPECT_GT(plat::winExec("regsvr32 /s x.dll", plat::swShow), 31u);
    EXPECT_EQ(m().processes.started.back().program, "c:\\windows\\syswow64\\regsvr32.exe");
    m().writeFile("C:\\setup\\regsvr32.exe", "MZ");
    plat::winExec("regsvr32 /s x.dll", plat::swShow);
    EXPECT_EQ(m().processes.started.back().program, "c:\\setup\\regsvr32.exe");
    EXPECT_EQ(plat::winExec("C:\\nowhere\\tool.exe", plat::swShow), 2u);
}

TEST_F(SimRegistry, TreeDeletionIsPerViewAndStopsOnlyAtWhatCannotGo) {
    const std::string clsid = "SOFTWARE\\Classes\\CLSID\\{X}";
    for (View view : {View::native, View::redirected})
        reg().make(Hive::localMachine, clsid + "\\InprocServer32", view);
    EXPECT_EQ(plat::regDeleteTree(plat::hkeyLocalMachine, clsid.c_str(), plat::RegView::native64),
              plat::regOk);
    EXPECT_FALSE(reg().exists(Hive::localMachine, clsid, View::native));
    EXPECT_TRUE(reg().exists(Hive::localMachine, clsid, View::redirected));
    EXPECT_EQ(plat::regDeleteTree(plat::hkeyLocalMachine, clsid.c_str(), plat::RegView::process),
              plat::regOk);
    EXPECT_EQ(plat::regDeleteTree(plat::hkeyLocalMachine, clsid.c_str(), plat::RegView::process),
              plat::regFileNotFound);
    EXPECT_EQ(plat::regDeleteTree(plat::hkeyLocalMachine, "", plat::RegView::process),
              plat::regInvalidParameter);

    // A locked key keeps itself and its parents; its siblings go.
    reg().make(Hive::currentUser, "Tree\\A\\Deep");
    reg().make(Hive::currentUser, "Tree\\B\\Locked").readOnly = true;
    reg().make(Hive::currentUser, "Tree\\C");
    EXPECT_EQ(plat::regDeleteTree(plat::hkeyCurrentUser, "Tree", plat::RegView::process),
              plat::regAccessDenied);
    EXPECT_EQ(reg().subkeyNames(Hive::currentUser, "Tree"), std::vector<std::string>{"B"});
    EXPECT_TRUE(reg().exists(Hive::currentUser, "Tree\\B\\Locked"));
    m().faults = {0, 1, ""};
    reg().find(Hive::currentUser, "Tree\\B\\Locked")->readOnly = false;
    EXPECT_EQ(plat::regDeleteTree(plat::hkeyCurrentUser, "Tree", plat::RegView::process),
              plat::regAccessDenied);
    EXPECT_EQ(m().faults.failedPoint, "registry delete");
    EXPECT_TRUE(reg().exists(Hive::currentUser, "Tree\\B\\Locked"));
}

TEST_F(SimRegistry, AKeyOpenedInTheNativeViewKeepsItBelow) {
    reg().setText(Hive::localMachine, "SOFTWARE\\Vorn\\Sub", "v", "native", View::native);
    reg().setText(Hive::localMachine, "SOFTWARE\\Vorn\\Sub", "v", "32-bit", View::redirected);
    plat::ScopedKey vorn;
    ASSERT_EQ(plat::regOpenKeyView(plat::hkeyLocalMachine, "SOFTWARE\\Vorn", plat::RegAccess::read,
                                   plat::RegView::native64, vorn.receive()),
              plat::regOk);
    plat::ScopedKey sub;
    ASSERT_TRUE(plat::openKey(vorn.get(), "Sub", plat::RegAccess::read, sub));
    char name[8];
    uint32_t nameLength = sizeof name;
    uint32_t type = 0;
    char data[16] = {};
    uint32_t size = sizeof data;
    ASSERT_EQ(plat::regEnumValue(sub.get(), 0, name, &nameLength, &type, data, &size), plat::regOk);
    EXPECT_EQ(std::string(data, size), "native");
    EXPECT_EQ(std::string(name, nameLength), "v");
    nameLength = 1;  // no room for the terminator
    EXPECT_EQ(plat::regEnumValue(sub.get(), 0, name, &nameLength, nullptr, nullptr, nullptr),
              plat::regMoreData);
    EXPECT_EQ(plat::regEnumValue(sub.get(), 1, name, &nameLength, nullptr, nullptr, nullptr),
              plat::regNoMoreItems);
    EXPECT_EQ(plat::regDeleteTree(vorn.get(), "Sub", plat::RegView::process), plat::regOk);
    EXPECT_TRUE(reg().exists(Hive::localMachine, "SOFTWARE\\Vorn\\Sub", View::redirected));
}
