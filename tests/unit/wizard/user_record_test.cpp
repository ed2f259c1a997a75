#include "wizard/user_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/locations.h"
#include "sim_fixture.h"
#include "wizard/wizard_objects.h"

namespace {

const std::string dir = "C:\\Program Files\\vornel8\\";
const std::string recordPath = dir + "vryhgl0.dat";

// A record as an earlier installation left it: every byte set, the texts terminated.
std::string earlierRecord(const std::string& name, const std::string& phone,
                          const std::string& password) {
    std::string record(userRecordSize, '\0');
    for (size_t i = 0; i < userRecordSize; ++i) record[i] = static_cast<char>(0x20 + i % 90);
    std::memcpy(&record[userNameOffset], name.c_str(), name.size() + 1);
    std::memcpy(&record[userPhoneOffset], phone.c_str(), phone.size() + 1);
    std::memcpy(&record[userPasswordOffset], password.c_str(), password.size() + 1);
    return record;
}

// The terminated text at an offset of a record image.
std::string textAt(const std::string& record, size_t offset) {
    return std::string(record.c_str() + offset);
}

class UserRecord : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        computeInstallDir();
        wizard = WizardObjects{};
        wizard.mainWindow = reinterpret_cast<plat::WindowHandle>(
            m().desktop.addWindow("installWClass", 312, 229, 400, 310));
        wizard.focusEdit = plat::createEditControl(wizard.mainWindow, 120, 195, 230, 20, nullptr);
        wizard.passwordEdit = plat::createEditControl(wizard.mainWindow, 130, 195, 230, 20, nullptr);
        wizard.nameEdit = plat::createEditControl(wizard.mainWindow, 130, 165, 230, 20, nullptr);
        wizard.phoneEdit = plat::createEditControl(wizard.mainWindow, 130, 135, 230, 20, nullptr);
        ASSERT_NE(wizard.phoneEdit, nullptr);
    }
    void TearDown() override {
        wizard = WizardObjects{};
        SimTest::TearDown();
    }
    void installed() { m().makeDirectories(dir); }
    std::string text(plat::WindowHandle edit) {
        sim::OwnWindow* w = m().desktop.window(edit);
        return w != nullptr ? w->text : "<no window>";
    }
    void type(plat::WindowHandle edit, const std::string& typed) {
        ASSERT_TRUE(plat::setWindowTextA(edit, typed.c_str()));
    }
    // The wizard's way through the page: load and first accept on page 0, the user types, the
    // second accept on page 1.
    void leavePageZero() {
        state.page = 0;
        loadUserRecord();
        acceptUserRecord();
        ASSERT_EQ(state.page, 1);
    }
    void leavePageOne(const std::string& name, const std::string& phone,
                      const std::string& password) {
        type(wizard.nameEdit, name);
        type(wizard.phoneEdit, phone);
        type(wizard.passwordEdit, password);
        acceptUserRecord();
        ASSERT_EQ(state.page, 6);
    }
    std::string written() { return file(recordPath); }
};

}  // namespace

TEST_F(UserRecord, NoRecordGivesEmptyFieldsAndAnEmptyRecord) {
    installed();
    type(wizard.nameEdit, "stale");
    type(wizard.phoneEdit, "stale");
    type(wizard.passwordEdit, "stale");
    leavePageZero();
    EXPECT_EQ(text(wizard.nameEdit), "");
    EXPECT_EQ(text(wizard.phoneEdit), "");
    EXPECT_EQ(text(wizard.passwordEdit), "");
    leavePageOne("", "", "");
    EXPECT_EQ(written(), std::string(userRecordSize, '\0'));
}

TEST_F(UserRecord, EarlierRecordShowsNameAndPhoneButNeverThePassword) {
    installed();
    m().writeFile(recordPath, earlierRecord("张三", "13800138000", "secret"));
    leavePageZero();
    EXPECT_EQ(text(wizard.nameEdit), "张三");
    EXPECT_EQ(text(wizard.phoneEdit), "13800138000");
    EXPECT_EQ(text(wizard.passwordEdit), "");
    for (const sim::OwnWindow& w : m().desktop.windows) EXPECT_EQ(w.text.find("secret"), std::string::npos);
    // The first accept took the shown texts straight back, the empty password included.
    EXPECT_EQ(textAt(std::string(state.userRecord, userRecordSize), userPasswordOffset), "");

    // Not typed again: the password becomes empty; the rest of its field stays.
    acceptUserRecord();
    std::string record = written();
    ASSERT_EQ(record.size(), userRecordSize);
    EXPECT_EQ(textAt(record, userNameOffset), "张三");
    EXPECT_EQ(textAt(record, userPhoneOffset), "13800138000");
    EXPECT_EQ(record[userPasswordOffset], '\0');
    EXPECT_EQ(record.substr(userPasswordOffset + 1, 6), std::string("ecret") + '\0');
}

TEST_F(UserRecord, TypedTextsAreStored) {
    installed();
    leavePageZero();
    leavePageOne("李四", "010-12345678", "pass");
    std::string record = written();
    EXPECT_EQ(textAt(record, userNameOffset), "李四");
    EXPECT_EQ(textAt(record, userPhoneOffset), "010-12345678");
    EXPECT_EQ(textAt(record, userPasswordOffset), "pass");
}

TEST_F(UserRecord, TwentyCharacterPhoneKeepsThirteen) {
    installed();
    leavePageZero();
    leavePageOne("n", "12345678901234567890", "");
    std::string record = written();
    EXPECT_EQ(textAt(record, userPhoneOffset), "1234567890123");
    // Only the characters and the zero are written: the rest of the field is as it was (zero).
    EXPECT_EQ(record.substr(userPhoneOffset + 13, 8), std::string(8, '\0'));
}

TEST_F(UserRecord, LongNameIsCutToThirteenBytes) {
    installed();
    leavePageZero();
    leavePageOne("abcdefghijklmnopqrstuvwxyz", "", "1234567890123");
    std::string record = written();
    EXPECT_EQ(textAt(record, userNameOffset), "abcdefghijklm");
    EXPECT_EQ(textAt(record, userPasswordOffset), "123456789");
}

TEST_F(UserRecord, NameIsNeverCutInHalfAGbkCharacter) {
    struct Case {
        const char* typed;
        const char* stored;
    };
    const Case cases[] = {
        {"张三李四王五赵六", "张三李四王五"},    // 16 bytes: the seventh character would end at 14
        {"a张三李四王五赵六", "a张三李四王五"},  // 13 bytes exactly
        {"ab张三李四王五赵", "ab张三李四王"},    // the character at bytes 12-13 goes
        {"张三李四王五a赵", "张三李四王五a"},
        {"abcdefghijkl张", "abcdefghijkl"},
    };
    for (const Case& c : cases) {
        SetUp();
        installed();
        leavePageZero();
        leavePageOne(c.typed, c.typed, c.typed);
        std::string record = written();
        EXPECT_EQ(textAt(record, userNameOffset), c.stored) << c.typed;
        EXPECT_EQ(textAt(record, userPhoneOffset), c.stored) << c.typed;
        EXPECT_LE(textAt(record, userPasswordOffset).size(), 9u);
    }
}

TEST_F(UserRecord, PasswordIsCutBeforeAHalfCharacterToo) {
    installed();
    leavePageZero();
    leavePageOne("", "", "密码密码密");  // 10 bytes: the fifth character would end at 10
    EXPECT_EQ(textAt(written(), userPasswordOffset), "密码密码");
}

TEST_F(UserRecord, ShorterNameLeavesTheOldBytesBehindItsZero) {
    installed();
    m().writeFile(recordPath, earlierRecord("abcdefghij", "13900000000", "old"));
    leavePageZero();
    leavePageOne("xy", "139", "new");
    std::string record = written();
    EXPECT_EQ(record.substr(0, 11), std::string("xy\0defghij", 10) + '\0');
    EXPECT_EQ(record.substr(userPhoneOffset, 12), std::string("139") + '\0' + "0000000" + '\0');
    EXPECT_EQ(textAt(record, userPasswordOffset), "new");
}

TEST_F(UserRecord, BytesOfTheUntouchedAreaKeepTheOldFile) {
    installed();
    std::string earlier = earlierRecord("王五", "1", "p");
    earlier[188] = 7;  // the stamp, set to zero whenever the record is written
    m().writeFile(recordPath, earlier);
    leavePageZero();
    leavePageOne("赵六", "2", "q");
    std::string record = written();
    ASSERT_EQ(record.size(), userRecordSize);
    EXPECT_EQ(record.substr(userKeptOffset, 200), earlier.substr(userKeptOffset, 200));
    EXPECT_EQ(record.substr(userStampOffset, 4), std::string(4, '\0'));
    EXPECT_EQ(record.substr(userPasswordOffset + 2), earlier.substr(userPasswordOffset + 2));
}

TEST_F(UserRecord, ShortAndUnterminatedRecordsAreReadSafely) {
    installed();
    // 60 bytes: a name field with no zero in it, then the start of a phone number.
    std::string shortRecord = std::string(50, 'N') + "0123456789";
    m().writeFile(recordPath, shortRecord);
    leavePageZero();
    EXPECT_EQ(text(wizard.nameEdit), std::string(50, 'N'));
    EXPECT_EQ(text(wizard.phoneEdit), "0123456789");
    // Beyond what the file held the record stayed zero.
    EXPECT_EQ(std::string(state.userRecord + 60, 10), std::string(10, '\0'));
}

TEST_F(UserRecord, LeavingPageOneDestroysTheFieldsAndWritesTheSettings) {
    installed();
    leavePageZero();
    uintptr_t password = reinterpret_cast<uintptr_t>(wizard.passwordEdit);
    uintptr_t name = reinterpret_cast<uintptr_t>(wizard.nameEdit);
    uintptr_t phone = reinterpret_cast<uintptr_t>(wizard.phoneEdit);
    m().desktop.invalidations.clear();
    leavePageOne("n", "p", "w");
    for (uintptr_t edit : {password, name, phone}) {
        sim::OwnWindow* w = m().desktop.window(edit);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->destroyed);
        EXPECT_EQ(w->showCommands.back(), plat::swHide);
    }
    EXPECT_EQ(wizard.passwordEdit, nullptr);
    EXPECT_EQ(wizard.nameEdit, nullptr);
    EXPECT_EQ(wizard.phoneEdit, nullptr);
    sim::OwnWindow* focus = m().desktop.window(wizard.focusEdit);
    EXPECT_EQ(focus->showCommands, (std::vector<int>{plat::swHide, plat::swShowWindow}));
    EXPECT_EQ(std::string(state.systemDir), m().systemDir());
    ASSERT_FALSE(m().desktop.invalidations.empty());
    EXPECT_EQ(m().desktop.invalidations.back(),
              std::make_pair(reinterpret_cast<uintptr_t>(wizard.mainWindow), false));
    // The other settings files went with the record.
    EXPECT_EQ(file(dir + "wbpybz.vrh"), std::string("VRWBPYBZ=0") + '\0');
}

TEST_F(UserRecord, FirstInstallWritesNothingAtThePageChange) {
    leavePageZero();
    leavePageOne("n", "p", "w");
    EXPECT_FALSE(m().exists(recordPath));
    EXPECT_TRUE(m().messageBoxes.empty());
    // Kept for the pipeline's write.
    EXPECT_EQ(std::string(state.userRecord + userNameOffset), "n");
}

TEST(WholeCharacterLength, StopsBeforeHalfACharacter) {
    EXPECT_EQ(wholeCharacterLength("abc", 3, 13), 3u);
    EXPECT_EQ(wholeCharacterLength("abcdef", 6, 4), 4u);
    EXPECT_EQ(wholeCharacterLength("张三", 4, 3), 2u);
    EXPECT_EQ(wholeCharacterLength("张三", 4, 4), 4u);
    EXPECT_EQ(wholeCharacterLength("a张", 3, 2), 1u);
    // A lead byte with no trail byte after it is half a character.
    EXPECT_EQ(wholeCharacterLength("ab\xD5", 3, 13), 2u);
    // A trail byte in the ASCII range belongs to its lead byte.
    EXPECT_EQ(wholeCharacterLength("\x81\x40x", 3, 2), 2u);
    EXPECT_EQ(wholeCharacterLength("\x81\x40x", 3, 1), 0u);
    EXPECT_EQ(wholeCharacterLength("\xFFx", 2, 1), 1u);
    EXPECT_EQ(wholeCharacterLength("x", 1, 0), 0u);
    EXPECT_EQ(wholeCharacterLength(nullptr, 5, 5), 0u);
}
