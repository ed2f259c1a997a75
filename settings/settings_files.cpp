#include "settings/settings_files.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "common/byte_order.h"
#include "common/install_state.h"
#include "common/locations.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/system.h"

namespace {

constexpr size_t pathCapacity = 260;
constexpr size_t networkTextCapacity = networkBlockSize - networkTextOffset;

bool installPath(const char* name, char* out, size_t capacity) {
    return formatText(out, capacity, "%s%s", state.installDir, name);
}

// Creates or truncates installDir + name and writes the bytes. A failed create is silent: on a
// first install the directory does not exist yet when the wizard writes these files.
void writeInstalled(const char* name, const void* bytes, size_t length) {
    char path[pathCapacity];
    if (!installPath(name, path, sizeof path)) return;
    plat::FileHandle file = plat::lcreat(path, 0);
    if (file == plat::fileError) return;
    plat::lwrite(file, bytes, static_cast<unsigned>(length));
    plat::lclose(file);
}

void deleteInstalled(const char* name) {
    char path[pathCapacity];
    if (installPath(name, path, sizeof path)) plat::deleteFile(path);
}

// A URL field of the network block; a field filled to its end without a terminator is taken
// up to its end.
void appendField(char* text, size_t capacity, size_t fieldOffset) {
    char field[networkFieldSize + 1];
    size_t length = textLength(state.networkBlock + fieldOffset, networkFieldSize);
    std::memcpy(field, state.networkBlock + fieldOffset, length);
    field[length] = '\0';
    appendText(text, capacity, field);
}

void composeNetworkText() {
    char* text = state.networkBlock + networkTextOffset;
    copyText(text, networkTextCapacity, "VRNETURL1=");
    appendField(text, networkTextCapacity, networkUrl1Offset);
    appendText(text, networkTextCapacity, "\r\nVRNETURL2=");
    appendField(text, networkTextCapacity, networkUrl2Offset);
    for (const char* line : {"\r\nVRNETTIME=1", "\r\nVRBJTIME=7", "\r\nVRWYTIME=3", "\r\nVRSJOFF=0",
                             "\r\nVRNETTIME0=0", "\r\nVRBJTIME0=0", "\r\n", "VRNEONE=1", "\r\n"})
        appendText(text, networkTextCapacity, line);
}

void setBytes(std::initializer_list<size_t> offsets, uint8_t value) {
    for (size_t offset : offsets) state.inputSettings[offset] = value;
}

void applyEditionPatches() {
    if (state.editionChoice == 1) {
        setBytes({19, 25, 27, 42, 64, 70, 72}, 1);
        setBytes({22, 28, 29, 30, 31, 32, 33, 34, 35, 36, 54, 66, 67, 68, 69, 75}, 0);
        setBytes({80}, 10);
    }
}

void applyInputPatches() {
    if (state.oemCodePage == 950) setBytes({15}, 1);
    setBytes({62, 63}, 0);
    setBytes({1}, 1);
    setBytes({43}, 1);
    setBytes({54}, 0);
    setBytes({36}, 1);
    applyEditionPatches();
    uint8_t mode = state.windowModeChoice;
    state.inputSettings[0] = mode == 2 ? 1 : mode == 3 ? 4 : mode == 4 ? 3 : 0;
    state.inputSettings[21] = mode == 3 || mode == 4 ? 1 : 0;
}

}  // namespace

void writeSettingsFiles() {
    computeInstallDir();

    const char* flag = state.editionChoice == 1 ? "VRWBPYBZ=1" : "VRWBPYBZ=0";
    deleteInstalled("wbpybz.vrh");
    writeInstalled("wbpybz.vrh", flag, std::strlen(flag) + 1);

    // Written before the text is composed: it carries the text of an earlier call in this run.
    writeInstalled("vorndat.dat", state.networkBlock, networkBlockSize);
    composeNetworkText();
    const char* text = state.networkBlock + networkTextOffset;
    writeInstalled("vrnetsj.dat", text, textLength(text, networkTextCapacity));

    writeLe32(reinterpret_cast<uint8_t*>(state.userRecord + userStampOffset), 0);
    deleteInstalled("vryhgl0.dat");
    writeInstalled("vryhgl0.dat", state.userRecord, userRecordSize);
}

namespace {

// "vrszsj43.vrh" into inputSettings, patched and written back.
void rewriteInputSettings(void (*patch)()) {
    // Kept data bring the user's record back; learnt files kept in place keep it as it is.
    if (state.backupState == 2 || state.learnedDataUnsaved) return;
    char path[pathCapacity];
    if (!installPath("vrszsj43.vrh", path, sizeof path)) return;

    plat::FileHandle in = plat::lopen(path, plat::ofRead);
    if (in != plat::fileError) {
        uint8_t read[inputSettingsSize];
        unsigned count = plat::lread(in, read, sizeof read);
        plat::lclose(in);
        // A short file replaces only what it holds; the default image fills the rest. A failed
        // read (ioError) is above any size and changes nothing.
        if (count <= sizeof read)
            std::memcpy(state.inputSettings, read, count);
    }

    plat::FileHandle out = plat::lcreat(path, 0);
    patch();
    if (out == plat::fileError) return;
    plat::lwrite(out, state.inputSettings, inputSettingsSize);
    plat::lclose(out);
}

}  // namespace

void patchInputSettings() { rewriteInputSettings(applyInputPatches); }

void applyEditionChoice() {
    const char* flag = state.editionChoice == 1 ? "VRWBPYBZ=1" : "VRWBPYBZ=0";
    deleteInstalled("wbpybz.vrh");
    writeInstalled("wbpybz.vrh", flag, std::strlen(flag) + 1);
    rewriteInputSettings(applyEditionPatches);
}

void writeInstallStamp() {
    // "%d" of the unsigned count: after 24.8 days of uptime the stamp is negative.
    int32_t ticks = static_cast<int32_t>(plat::getTickCount());
    char text[16];
    formatText(text, sizeof text, "%d", static_cast<int>(ticks));
    writeInstalled("install.vrh", text, std::strlen(text));
}

int skinInstalled() {
    char name[16];
    for (int i = 0; i <= 7; ++i) {
        if (i == 0)
            copyText(name, "vrbmp8.vrh");
        else
            formatText(name, sizeof name, "vrbmpsx%d.bmp", i);
        char path[pathCapacity];
        if (!installPath(name, path, sizeof path)) return 0;
        plat::FileHandle file = plat::lopen(path, plat::ofRead);
        if (file == plat::fileError) return 0;
        plat::lclose(file);
    }
    return 1;
}
