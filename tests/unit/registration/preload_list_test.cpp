#include "registration/preload_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/install_state.h"
#include "layout_fixture.h"

namespace {

using sim::Hive;
using Ids = std::vector<std::string>;

class PreloadList : public LayoutTest {
protected:
    void SetUp() override {
        LayoutTest::SetUp();
        reg().make(Hive::localMachine, layoutsKey);
    }
    void TearDown() override {
        EXPECT_EQ(reg().openHandles(), 0u);
        LayoutTest::TearDown();
    }
    Ids entries() {
        Ids ids;
        for (uint32_t i = 0; i < state.preloadCount; ++i) ids.push_back(state.preloadList[i]);
        return ids;
    }
    Ids unrelated(int count) {
        Ids ids;
        for (int i = 0; i < count; ++i) ids.push_back("0000" + std::to_string(1000 + i));
        return ids;
    }
    // The state the default-input-method lookup leaves on Windows XP.
    void listed(const Ids& ids, uint32_t productPosition) {
        setPreload(ids);
        readPreloadList();
        state.productPreloadPosition = productPosition;
        state.osMajorVersion = 5;
    }
};

}  // namespace

TEST_F(PreloadList, ReadsIdsWithTheirLayoutTexts) {
    addLayout("00000409", "US");
    addLayout("E0210804", "智能Marl输入平台  8.0");
    setPreload({"00000409", "E0210804", "00000411"});
    EXPECT_EQ(readPreloadList(), 3u);
    EXPECT_EQ(entries(), (Ids{"00000409", "E0210804", "00000411"}));
    EXPECT_STREQ(state.preloadLayoutTexts[0], "US");
    EXPECT_STREQ(state.preloadLayoutTexts[1], "智能Marl输入平台  8.0");
    EXPECT_STREQ(state.preloadLayoutTexts[2], "");  // no such layout
}

TEST_F(PreloadList, ReadingStopsAtAValueThatIsNoShortTextAndAt49) {
    setPreload({"00000409", "0000080400", "00000411"});  // ten characters
    EXPECT_EQ(readPreloadList(), 1u);
    setPreload({"00000409", "00000804"});
    reg().setDword(Hive::currentUser, userList, "2", 0x804);
    EXPECT_EQ(readPreloadList(), 1u);
    setPreload({"00000409", "000000804"});  // nine characters still fit
    EXPECT_EQ(readPreloadList(), 2u);
    setPreload(unrelated(55));
    EXPECT_EQ(readPreloadList(), 49u);
    EXPECT_EQ(entries().back(), "00001048");
}

TEST_F(PreloadList, NothingOfAnEarlierReadingSurvives) {
    addLayout("E0210804", "智能Marl输入平台  8.0");
    setPreload({"E0210804", "00000409"});
    readPreloadList();
    setPreload({"00000409", "0000080400"});
    EXPECT_EQ(readPreloadList(), 1u);
    EXPECT_STREQ(state.preloadLayoutTexts[0], "");  // 00000409 has no layout here
    EXPECT_STREQ(state.preloadList[1], "");
    EXPECT_STREQ(state.preloadLayoutTexts[1], "");
}

TEST_F(PreloadList, UnreadableKeysGiveNoList) {
    addLayout("00000409", "US");
    setPreload({"00000409"});
    EXPECT_EQ(readPreloadList(), 1u);
    reg().find(Hive::currentUser, userList)->readOnly = true;
    EXPECT_EQ(readPreloadList(), 0u);
    reg().find(Hive::currentUser, userList)->readOnly = false;
    reg().remove(Hive::localMachine, layoutsKey);
    EXPECT_EQ(readPreloadList(), 0u);
    reg().remove(Hive::currentUser, "keyboard layout");
    EXPECT_EQ(readPreloadList(), 0u);
}

TEST_F(PreloadList, AddingFindsOurIdInEitherLanguageOrTakesTheNextNumber) {
    setPreload({"00000409", "E0210804"});
    EXPECT_TRUE(addToPreloadList("e0210804"));
    EXPECT_EQ(preload(), (Ids{"00000409", "E0210804"}));

    setPreload({"00000409", "E0210404", "00000411"});
    addToPreloadList("e0210804");
    EXPECT_EQ(preload(), (Ids{"00000409", "e0210804", "00000411"}));

    setPreload({"00000409", "00000804", "00000411"});
    addToPreloadList("e0210804");
    EXPECT_EQ(preload(), (Ids{"00000409", "00000804", "00000411", "e0210804"}));
    EXPECT_TRUE(preload(Hive::users, defaultList).empty());

    // Another language of the same number is another layout; a value that is no text is
    // someone else's and is passed over.
    setPreload({"00000409", "E0210411"});
    reg().setDword(Hive::currentUser, userList, "3", 0x409);
    addToPreloadList("e0210804");
    EXPECT_EQ(reg().text(Hive::currentUser, userList, "2"), "E0210411");
    EXPECT_EQ(reg().value(Hive::currentUser, userList, "3")->type, 4u);
    EXPECT_EQ(reg().text(Hive::currentUser, userList, "4"), "e0210804");
}

TEST_F(PreloadList, FullListGetsItsLastEntryOverwritten) {
    setPreload(unrelated(49));
    addToPreloadList("e0210804");
    Ids ids = preload();
    ASSERT_EQ(ids.size(), 49u);
    EXPECT_EQ(ids[47], "00001047");
    EXPECT_EQ(ids[48], "e0210804");
}

TEST_F(PreloadList, OnlyAMissingKeyboardLayoutKeyIsReported) {
    reg().make(Hive::currentUser, "keyboard layout");
    EXPECT_FALSE(addToPreloadList("e0210804"));  // no preload key: silent
    EXPECT_TRUE(m().messageBoxes.empty());
    reg().remove(Hive::currentUser, "keyboard layout");
    EXPECT_FALSE(addToPreloadList("e0210804"));
    ASSERT_EQ(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].text, u"Software open error2003");
    EXPECT_EQ(m().messageBoxes[0].caption, u"智能Marl(Qolvane)");
}

TEST_F(PreloadList, SwapWritesBothProfiles) {
    setPreload({"E0210804"});
    readPreloadList();
    swapFirstTwoPreloadEntries();  // one entry: nothing to swap, nothing empty written
    EXPECT_EQ(preload(), (Ids{"E0210804"}));

    setPreload({"E0210804", "00000409", "00000411"});
    setPreload({"00000409"}, Hive::users, defaultList);
    readPreloadList();
    swapFirstTwoPreloadEntries();
    EXPECT_EQ(preload(), (Ids{"00000409", "E0210804", "00000411"}));
    EXPECT_EQ(preload(Hive::users, defaultList), (Ids{"00000409", "E0210804"}));
    EXPECT_STREQ(state.preloadList[0], "E0210804");  // memory keeps the order read
}

TEST_F(PreloadList, ProductMovesToSecondPlaceInBothProfiles) {
    setPreload({"DEFAULT1", "B0000002", "D0000004", "E0000005"}, Hive::users, defaultList);
    listed({"A0000001", "B0000002", "D0000004", "E0000005", "E0210804", "F0000006"}, 5);
    moveProductToSecondPlace();
    Ids moved{"A0000001", "E0210804", "B0000002", "D0000004", "E0000005", "F0000006"};
    EXPECT_EQ(preload(), moved);
    moved[0] = "DEFAULT1";  // entry 1 is not written
    EXPECT_EQ(preload(Hive::users, defaultList), moved);
    EXPECT_EQ(entries()[1], "E0210804");
}

TEST_F(PreloadList, NoMoveNearTheTopOrAfterXp) {
    struct Case {
        Ids ids;
        uint32_t position;
        uint32_t osMajor;
    };
    Ids three{"A0000001", "B0000002", "E0210804"};
    for (const Case& c : {Case{three, 0, 5}, Case{three, 1, 5}, Case{three, 2, 5},
                          Case{three, 3, 6}, Case{{"A0000001", "B0000002"}, 3, 5}}) {
        listed(c.ids, c.position);
        state.osMajorVersion = c.osMajor;
        // A write of positions 2 and up would replace this.
        reg().setText(Hive::currentUser, userList, "2", "UNTOUCHED");
        moveProductToSecondPlace();
        EXPECT_EQ(preload()[1], "UNTOUCHED") << c.position << " " << c.osMajor;
    }
}

TEST_F(PreloadList, NineXFormKeepsIdsInNumberedSubkeys) {
    boot(sim::Os::xp32);
    m().ntFamily = false;
    addLayout("E0210804", "智能Marl输入平台  8.0");
    setNineXPreload({"00000409", "E0210404"});
    addToPreloadList("E0210804");
    addToPreloadList("E0220804");
    addToPreloadList("E0220804");
    EXPECT_EQ(nineXPreload(), (Ids{"00000409", "E0210804", "E0220804"}));

    EXPECT_EQ(readPreloadList(), 3u);
    EXPECT_STREQ(state.preloadLayoutTexts[1], "智能Marl输入平台  8.0");
    state.productPreloadPosition = 3;
    state.osMajorVersion = 4;
    moveProductToSecondPlace();
    EXPECT_EQ(nineXPreload(), (Ids{"00000409", "E0220804", "E0210804"}));
    swapFirstTwoPreloadEntries();
    EXPECT_EQ(nineXPreload(), (Ids{"E0220804", "00000409", "E0210804"}));
}

namespace {

const char productIds[][layoutIdCapacity] = {"E0010804", "E0200804"};

class PreloadRemoval : public LayoutTest {
protected:
    void TearDown() override {
        EXPECT_EQ(reg().openHandles(), 0u);
        LayoutTest::TearDown();
    }
    int remove() { return removeFromPreloadLists(productIds, 2); }
};

struct RemovalCase {
    Ids before;
    Ids after;
};

// Ours are e0010804 and E0200804, in any case; the rest keep their order.
const RemovalCase removalCases[] = {
    {{"00000409", "e0010804", "00000804", "E0200804"}, {"00000409", "00000804"}},
    {{"e0200804", "00000409"}, {"00000409"}},
    {{"E0010804"}, {}},
    {{"00000409", "e0010404", "e00108045"}, {"00000409", "e0010404", "e00108045"}},
};

}  // namespace

TEST_F(PreloadRemoval, OursGoFromBothNtListsAndTheRestCloseUp) {
    for (const RemovalCase& c : removalCases) {
        boot(sim::Os::xp32);
        setPreload(c.before);
        setPreload(c.before, Hive::users, defaultList);
        reg().setText(Hive::currentUser, userList, "Other", "E0010804");  // no entry
        int removed = static_cast<int>(c.before.size() - c.after.size());
        EXPECT_EQ(remove(), 2 * removed) << c.before.size();
        EXPECT_EQ(preload(), c.after);
        EXPECT_EQ(preload(Hive::users, defaultList), c.after);
        EXPECT_EQ(reg().valueNames(Hive::currentUser, userList).size(), c.after.size() + 1);
        EXPECT_EQ(remove(), 0);  // nothing more to do
        EXPECT_EQ(preload(), c.after);
    }
}

TEST_F(PreloadRemoval, NineXFormClosesUpItsNumberedSubkeys) {
    for (const RemovalCase& c : removalCases) {
        boot(sim::Os::xp32);
        m().ntFamily = false;
        setNineXPreload(c.before);
        setPreload({"E0010804"}, Hive::users, defaultList);  // not read on 9x
        EXPECT_EQ(remove(), static_cast<int>(c.before.size() - c.after.size()));
        EXPECT_EQ(nineXPreload(), c.after);
        EXPECT_EQ(reg().subkeyNames(Hive::currentUser, userList).size(), c.after.size());
        EXPECT_EQ(preload(Hive::users, defaultList), Ids{"E0010804"});
        EXPECT_EQ(remove(), 0);
    }
}

TEST_F(PreloadRemoval, EntriesThatAreNoIdsMoveUpExactly) {
    boot(sim::Os::win10_64);
    setPreload({"E0200804", "00000409"});
    reg().setValue(Hive::currentUser, userList, "3", 3, std::string("\x01\x00\x02", 3));
    reg().setText(Hive::currentUser, userList, "4", std::string(300, 'x'));
    reg().setText(Hive::currentUser, userList, "6", "00000804");  // after a gap
    EXPECT_EQ(remove(), 1);
    EXPECT_EQ(reg().valueNames(Hive::currentUser, userList),
              (Ids{"1", "2", "3", "4"}));
    auto binary = reg().value(Hive::currentUser, userList, "2");
    ASSERT_TRUE(binary);
    EXPECT_EQ(binary->type, 3u);
    EXPECT_EQ(binary->data, std::string("\x01\x00\x02", 3));
    EXPECT_EQ(reg().text(Hive::currentUser, userList, "3"), std::string(300, 'x'));
    EXPECT_EQ(reg().text(Hive::currentUser, userList, "4"), "00000804");
}

TEST_F(PreloadRemoval, ALockedListFailsAndTheOtherIsStillDone) {
    boot(sim::Os::xp32);
    setPreload({"00000409", "e0010804"});
    setPreload({"e0010804", "00000804"}, Hive::users, defaultList);
    reg().find(Hive::currentUser, userList)->readOnly = true;
    EXPECT_EQ(remove(), -1);
    EXPECT_EQ(preload(), (Ids{"00000409", "e0010804"}));
    EXPECT_EQ(preload(Hive::users, defaultList), Ids{"00000804"});
    // Locked but without ours: nothing to do.
    reg().find(Hive::currentUser, userList)->readOnly = false;
    setPreload({"00000409"});
    reg().find(Hive::currentUser, userList)->readOnly = true;
    EXPECT_EQ(remove(), 0);
}

TEST_F(PreloadRemoval, NoFailureLosesAnEntryThatStays) {
    boot(sim::Os::xp32);
    const Ids before = {"00000409", "e0010804", "00000804", "E0200804", "00000411"};
    const Ids after = {"00000409", "00000804", "00000411"};
    setPreload(before);
    m().faults = {};
    remove();
    const uint64_t points = m().faults.passed;
    ASSERT_GT(points, 3u);
    for (uint64_t at = 1; at <= points; ++at) {
        setPreload(before);
        setPreload(before, Hive::users, defaultList);
        m().faults = {0, at, ""};
        int result = remove();
        std::string where = m().faults.failedPoint + " at " + std::to_string(at);
        for (sim::Hive hive : {Hive::currentUser, Hive::users}) {
            Ids now = preload(hive, hive == Hive::users ? defaultList : userList);
            for (const std::string& id : after)
                EXPECT_NE(std::find(now.begin(), now.end(), id), now.end()) << where << id;
        }
        if (result >= 0) {
            EXPECT_EQ(preload(), after) << where;
        }
        m().faults = {};
    }
}
