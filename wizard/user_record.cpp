#include "wizard/user_record.h"

#include <cstdint>
#include <cstring>

#include "common/install_state.h"
#include "common/locations.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "settings/settings_files.h"
#include "wizard/wizard_objects.h"

namespace {

constexpr size_t pathCapacity = 260;
constexpr size_t userNameField = userPhoneOffset - userNameOffset;
constexpr size_t userPhoneField = userStampOffset - userPhoneOffset;
constexpr size_t userPasswordField = userRecordSize - userPasswordOffset;
// Enough of a typed text to see where the character at the limit ends.
constexpr int typedCapacity = 256;

static_assert(userNameLimit <= static_cast<int>(userNameField));
static_assert(userPhoneLimit <= static_cast<int>(userPhoneField));
static_assert(userPasswordLimit <= static_cast<int>(userPasswordField));

// A field of the record as a terminated text; a field that a foreign file filled to its end
// is taken up to its end.
void fieldText(size_t offset, size_t size, char* out) {
    size_t length = textLength(state.userRecord + offset, size);
    std::memcpy(out, state.userRecord + offset, length);
    out[length] = '\0';
}

// The edit control's text into the field: its characters and a zero, at most limit - 1 bytes
// and never half a character. The rest of the field keeps what it held.
void storeTyped(plat::WindowHandle edit, size_t offset, int limit) {
    char typed[typedCapacity] = {};
    int read = plat::getWindowTextA(edit, typed, typedCapacity);
    size_t length = read > 0 ? textLength(typed, static_cast<size_t>(read)) : 0;
    size_t kept = wholeCharacterLength(typed, length, static_cast<size_t>(limit - 1));
    std::memcpy(state.userRecord + offset, typed, kept);
    state.userRecord[offset + kept] = '\0';
}

}  // namespace

size_t wholeCharacterLength(const char* text, size_t length, size_t limit) {
    if (text == nullptr) return 0;
    size_t kept = 0;
    while (kept < length) {
        uint8_t byte = static_cast<uint8_t>(text[kept]);
        size_t width = byte >= 0x81 && byte <= 0xFE ? 2 : 1;
        if (kept + width > length || kept + width > limit) break;
        kept += width;
    }
    return kept;
}

void loadUserRecord() {
    computeInstallDir();
    char path[pathCapacity];
    plat::FileHandle file = plat::fileError;
    if (formatText(path, sizeof path, "%svryhgl0.dat", state.installDir))
        file = plat::lopen(path, plat::ofRead);
    if (file == plat::fileError) {
        plat::setWindowTextA(wizard.nameEdit, "");
        plat::setWindowTextA(wizard.phoneEdit, "");
        plat::setWindowTextA(wizard.passwordEdit, "");
        return;
    }
    char record[userRecordSize];
    unsigned count = plat::lread(file, record, userRecordSize);
    plat::lclose(file);
    // A short record replaces only what it holds; a failed read (ioError, above any size)
    // changes nothing.
    if (count <= userRecordSize) std::memcpy(state.userRecord, record, count);

    char phone[userPhoneField + 1];
    char name[userNameField + 1];
    fieldText(userPhoneOffset, userPhoneField, phone);
    fieldText(userNameOffset, userNameField, name);
    plat::setWindowTextA(wizard.phoneEdit, phone);
    plat::setWindowTextA(wizard.nameEdit, name);
    // The stored password is never shown: the user types it again.
    plat::setWindowTextA(wizard.passwordEdit, "");
}

void acceptUserRecord() {
    storeTyped(wizard.phoneEdit, userPhoneOffset, userPhoneLimit);
    storeTyped(wizard.nameEdit, userNameOffset, userNameLimit);
    storeTyped(wizard.passwordEdit, userPasswordOffset, userPasswordLimit);

    ++state.page;
    // Straight after the load: the page shows the loaded texts.
    if (state.page == 1) return;

    for (plat::WindowHandle* edit : {&wizard.passwordEdit, &wizard.nameEdit, &wizard.phoneEdit}) {
        plat::showWindow(*edit, plat::swHide);
        plat::destroyWindow(*edit);
        *edit = nullptr;
    }
    state.page = 5;
    // The copying page's painting hides it once more.
    plat::showWindow(wizard.focusEdit, plat::swHide);
    plat::showWindow(wizard.focusEdit, plat::swShowWindow);
    plat::getSystemDirectory(state.systemDir, dirCapacity);
    computeInstallDir();
    plat::invalidate(wizard.mainWindow, false);
    writeSettingsFiles();
    state.page = 6;
}
