// The one process-wide record of a run, shared by every step of the setup.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int32_t wizardMode = 2;
constexpr int32_t silentMode = 3;

constexpr size_t dirCapacity = 200;
constexpr size_t previousDirCapacity = 256;
constexpr size_t stageMessageCapacity = 100;
constexpr size_t scratchCapacity = 1024;
constexpr size_t workBufferSize = 2097152;
constexpr size_t preloadCapacity = 49;       // entries of the preload list
constexpr size_t layoutIdCapacity = 10;      // eight hexadecimal digits and the terminator
constexpr size_t layoutTextCapacity = 200;

// The settings images the input-method modules read (file "vorndat.dat", "vrszsj43.vrh",
// "vryhgl0.dat").
constexpr size_t networkBlockSize = 1000;
constexpr size_t networkFieldSize = 100;      // the name field and the two URL fields
constexpr size_t networkUrl1Offset = 100;
constexpr size_t networkUrl2Offset = 200;
constexpr size_t networkTextOffset = 300;     // the composed settings text, up to the end
constexpr size_t inputSettingsSize = 200;
constexpr size_t userRecordSize = 492;
constexpr size_t userNameOffset = 0;          // 50 bytes, terminated GBK text
constexpr size_t userPhoneOffset = 50;        // 138 bytes, terminated text
constexpr size_t userStampOffset = 188;       // 32-bit, zeroed whenever the record is written
constexpr size_t userKeptOffset = 192;        // 200 bytes the install never touches
constexpr size_t userPasswordOffset = 392;    // 100 bytes, terminated text

struct InstallState {
    int32_t page = 0;
    int32_t runMode = wizardMode;
    uint32_t oemCodePage = 0;
    char installDir[dirCapacity] = {};
    char previousInstallDir[previousDirCapacity] = {};
    char systemDir[dirCapacity] = {};
    char sysWow64Dir[dirCapacity] = {};
    uint32_t osMajorVersion = 0;
    uint16_t osVersionCode = 0;
    uint32_t osBits = 0;
    int32_t wow64Process = 0;
    int32_t windows10 = 0;
    uint32_t editionChoice = 0;    // 1 Pinyin edition, 0 Wubi edition
    uint32_t interfaceChoice = 0;  // 1 TSF, 0 IME
    int32_t interfaceChoiceOffered = 0;
    uint8_t wizardStarted = 0;
    char stageMessage[stageMessageCapacity] = {};
    // Shared formatting area: 8-bit or wide texts, or a small binary block; aligned for both.
    alignas(8) char scratchPath[scratchCapacity] = {};
    uint8_t* workBuffer = nullptr;
    const uint8_t* payload = nullptr;
    uint32_t payloadSize = 0;
    uint32_t backupState = 0;  // 0 none, 1 backed up, 2 the user keeps the earlier data
    // A learnt file of the earlier installation is not in the backup: the install leaves the
    // learnt files where they are instead of overwriting them. 1: one could not be packed (a
    // failure); 2: one is larger than a restore can unpack, which is no failure.
    uint8_t learnedDataUnsaved = 0;
    int32_t progressPosition = 0;
    int32_t progressTotal = 0;
    int32_t inUseCount = 0;
    // The 64-bit IME completion is set on its timer and has not run yet.
    uint8_t completionPending = 0;
    // The current user's preload list: layout ids, entry 1 first (the default input method),
    // with each layout's "layout text"; the product's 1-based position in it, 0 when absent.
    char preloadList[preloadCapacity][layoutIdCapacity] = {};
    uint32_t preloadCount = 0;
    char preloadLayoutTexts[preloadCapacity][layoutTextCapacity] = {};
    uint32_t productPreloadPosition = 0;
    // 1000 bytes: a name field, two URL fields and, from offset 300, the network settings text
    // once the settings files have composed it; kept for the whole run.
    char networkBlock[networkBlockSize] = {};
    // The image of "vrszsj43.vrh"; until the file is read, the built-in default.
    uint8_t inputSettings[inputSettingsSize] = {
        0, 0, 0, 0, 0, 0, 0, 0, 54, 1,  // 0-9
        1, 0, 1, 0, 0, 1, 0, 0, 0, 1,   // 10-19
        0, 0, 1, 0, 1, 0, 0, 1, 0, 0,   // 20-29
        0, 0, 0, 0, 0, 0, 1, 0, 0, 0,   // 30-39
        0, 1, 1, 1, 0, 0, 0, 0, 0, 0,   // 40-49
        0, 0, 0, 0, 1, 0, 0, 0, 1};     // 50-58, the rest zero
    // The exact image of "vryhgl0.dat" (offsets above).
    char userRecord[userRecordSize] = {};
    // Status-window mode from the skin dialog: 1 two-line, 2 single-line, 3 two windows,
    // 4 Windows-style.
    uint8_t windowModeChoice = 0;
    // Skin from the skin dialog: 1 "冷色瓷面", 2 "粉色瓷面", 3 "小天使".
    uint8_t skinChoice = 0;
};

extern InstallState state;

// Back to the initial values (tests run many starts in one process).
void resetInstallState();
