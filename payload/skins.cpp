#include "payload/skins.h"

#include "common/install_state.h"
#include "common/text.h"
#include "payload/extraction.h"
#include "platform/files.h"
#include "platform/resources.h"
#include "settings/settings_files.h"

namespace {

constexpr size_t pathCapacity = 260;
const char* const skinFailure = "皮肤文件没有成功复制，请重新安装皮肤文件！\r\n";

// The seven radio buttons in the order their check states are set: four window modes, then
// three skins. One flag byte each, 1 = checked.
constexpr int buttonIds[7] = {twoLineWindowButton,      singleLineWindowButton,
                              doubleWindowButton,       windowsStyleWindowButton,
                              coolPorcelainButton,      pinkPorcelainButton,
                              littleAngelButton};
constexpr int firstSkinFlag = 4;
uint8_t flags[7] = {};

// The main window, whose top-left corner the dialog is moved to.
plat::WindowHandle dialogOwner = nullptr;

int flagIndex(int id) {
    for (int i = 0; i < 7; ++i)
        if (buttonIds[i] == id) return i;
    return -1;
}

// The buttons have no group style, so Windows' own radio handling would clear the other group
// too: every check state is set again from the flags.
void refreshChecks(plat::WindowHandle dialog) {
    for (int i = 0; i < 7; ++i) plat::setButtonCheck(dialog, buttonIds[i], flags[i] == 1);
}

// Checks one button of its group (modes 0-3 or skins 4-6) and clears the others.
void choose(int index) {
    int first = index < firstSkinFlag ? 0 : firstSkinFlag;
    int last = index < firstSkinFlag ? firstSkinFlag : 7;
    for (int i = first; i < last; ++i) flags[i] = i == index ? 1 : 0;
}

// The value of the first checked flag of a group (1-based), 1 when none is.
uint8_t firstChecked(int first, int last) {
    for (int i = first; i < last; ++i)
        if (flags[i] == 1) return static_cast<uint8_t>(i - first + 1);
    return 1;
}

bool installPath(const char* name, char* out) {
    return formatText(out, pathCapacity, "%s%s", state.installDir, name);
}

const char* skinArchiveName() {
    if (state.skinChoice == 2) return "粉色瓷面.vrz";
    if (state.skinChoice == 3) return "小天使.vrz";
    return "冷色瓷面.vrz";
}

// The archive could not be read: the skin line, after the payload check's report while that
// is still in the work buffer (nothing has been read over it).
void reportMissingArchive(bool afterPayloadReport) {
    if (state.workBuffer == nullptr) {
        plat::messageBoxA(skinFailure, "智能Marl", plat::mbOk);
        return;
    }
    char* failure = reinterpret_cast<char*>(state.workBuffer + failureTextOffset);
    size_t capacity = workBufferSize - failureTextOffset;
    // Without a payload the check wrote nothing there: whatever the area holds is not a report.
    if (!afterPayloadReport || state.payload == nullptr) copyText(failure, capacity, "");
    appendText(failure, capacity, skinFailure);
    plat::messageBoxA(failure, "智能Marl", plat::mbOk);
}

// The archive read again and each skin file checked against it (older layout: at least as long
// as its compressed entry). False when it cannot be read.
bool checkSkinFiles(const char* archivePath) {
    if (state.workBuffer == nullptr) return false;
    plat::FileHandle file = plat::lopen(archivePath, plat::ofRead);
    if (file == plat::fileError) return false;
    unsigned read = plat::lread(file, state.workBuffer, skinArchiveCapacity);
    plat::lclose(file);
    // An I/O error (ioError) is above the capacity too.
    if (read > skinArchiveCapacity) return false;

    char* failure = reinterpret_cast<char*>(state.workBuffer + read);
    size_t capacity = workBufferSize - read;
    verifyAll(state.workBuffer, read, failure, capacity, "");
    if (failure[0] != '\0') {
        appendText(failure, capacity, "\r\n\r\n");
        appendText(failure, capacity, skinFailure);
        plat::messageBoxA(failure, "智能Marl", plat::mbOk);
    }
    return true;
}

}  // namespace

bool isSkinFileName(const char* name) {
    if (sameTextIgnoringCase(name, "vrbmp8.vrh")) return true;
    char file[] = "vrbmpsx1.bmp";
    for (char n = '1'; n <= '7'; ++n) {
        file[7] = n;
        if (sameTextIgnoringCase(name, file)) return true;
    }
    return false;
}

intptr_t skinDialogProc(plat::WindowHandle dialog, unsigned message, uintptr_t wParam, intptr_t) {
    if (message == plat::wmInitDialog) {
        plat::Rect owner;
        if (dialogOwner != nullptr && plat::getWindowRect(dialogOwner, owner))
            plat::moveWindow(dialog, owner.left, owner.top);
        choose(flagIndex(coolPorcelainButton));
        choose(flagIndex(twoLineWindowButton));
        refreshChecks(dialog);
        return 0;
    }
    if (message != plat::wmCommand) return 0;

    int id = static_cast<int>(wParam & 0xFFFF);
    if (id == skinOkButton) {
        state.windowModeChoice = firstChecked(0, firstSkinFlag);
        state.skinChoice = firstChecked(firstSkinFlag, 7);
        plat::endDialog(dialog, 0);
        return 1;
    }
    // Anything else, the cancel command of Escape and the close box included, changes nothing:
    // the dialog ends only through OK.
    int index = flagIndex(id);
    if (index < 0) return 0;
    choose(index);
    refreshChecks(dialog);
    return 0;
}

void installSkin(plat::WindowHandle mainWindow) {
    // Kept data with a complete skin: the earlier skin and window mode stay.
    if (state.backupState == 2 && skinInstalled() == 1) return;

    state.windowModeChoice = 1;
    state.skinChoice = 1;
    dialogOwner = mainWindow;
    plat::dialogBox(plat::programInstance(), state.oemCodePage == 950 ? "PYKEYB" : "PYKEY",
                    mainWindow, skinDialogProc);
    dialogOwner = nullptr;

    char archive[pathCapacity];
    plat::FileHandle probe = plat::fileError;
    if (installPath(skinArchiveName(), archive)) probe = plat::lopen(archive, plat::ofRead);
    if (probe == plat::fileError) {
        reportMissingArchive(true);
        return;
    }
    plat::lclose(probe);
    extractFromFile(archive, isSkinFileName);
    // The extraction has read the archive over the payload check's report.
    if (!checkSkinFiles(archive)) {
        reportMissingArchive(false);
        return;
    }

    char source[pathCapacity];
    char target[pathCapacity];
    if (installPath("vrbmps44.bmp", source) && installPath("vrbmpsx4.bmp", target))
        plat::copyFile(source, target);
}
