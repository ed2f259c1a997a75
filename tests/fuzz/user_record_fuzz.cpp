// The user record "vryhgl0.dat" of an earlier installation (any length, any bytes) shown in the
// user-record page, and what the user types into its three edit controls (any bytes) taken
// into the record and written. Input: three fields (a length byte and the bytes: name, phone,
// password as typed), then the file.
#include <cstdint>
#include <cstring>
#include <string>

#include "common/install_state.h"
#include "common/locations.h"
#include "fuzz_support.h"
#include "wizard/user_record.h"
#include "wizard/wizard_objects.h"

// The main window owns these; the target plays its part (the edit controls) without the rest of
// the window and the pipeline behind it.
WizardObjects wizard;

namespace {

// A field of the record holds a terminated text of whole characters, within the page's limit.
void checkField(size_t offset, int limit) {
    const char* field = state.userRecord + offset;
    size_t length = strnlen(field, userRecordSize - offset);
    FUZZ_CHECK(length < static_cast<size_t>(limit));
    FUZZ_CHECK(wholeCharacterLength(field, length, length) == length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sim::Machine& machine = fuzz::freshMachine();
    fuzz::Input input(data, size);
    std::string name = input.field(), phone = input.field(), password = input.field();
    computeInstallDir();
    machine.writeFile(std::string(state.installDir) + "vryhgl0.dat", input.rest());

    wizard = WizardObjects{};
    wizard.mainWindow = reinterpret_cast<plat::WindowHandle>(
        machine.desktop.addWindow("installWClass", 312, 229, 400, 310));
    wizard.focusEdit = plat::createEditControl(wizard.mainWindow, 120, 195, 230, 20, nullptr);
    wizard.passwordEdit = plat::createEditControl(wizard.mainWindow, 130, 195, 230, 20, nullptr);
    wizard.nameEdit = plat::createEditControl(wizard.mainWindow, 130, 165, 230, 20, nullptr);
    wizard.phoneEdit = plat::createEditControl(wizard.mainWindow, 130, 135, 230, 20, nullptr);

    state.page = 0;
    loadUserRecord();
    acceptUserRecord();
    // What the user types: the edit control holds bytes up to the first zero.
    plat::setWindowTextA(wizard.nameEdit, name.c_str());
    plat::setWindowTextA(wizard.phoneEdit, phone.c_str());
    plat::setWindowTextA(wizard.passwordEdit, password.c_str());
    acceptUserRecord();
    FUZZ_CHECK(state.page == 6);
    checkField(userNameOffset, userNameLimit);
    checkField(userPhoneOffset, userPhoneLimit);
    checkField(userPasswordOffset, userPasswordLimit);
    std::string written = machine.readFile(std::string(state.installDir) + "vryhgl0.dat").value_or("");
    FUZZ_CHECK(written.size() == userRecordSize);
    wizard = WizardObjects{};
    return 0;
}
