// Runs the setup's registration steps through the real platform layer, for the Wine
// scenarios, and reads registry values back exactly as Windows stores them.
//
//   vornregprobe layout        registerKeyboardLayout
//   vornregprobe textservice   registerTextService, then verifyTextService (exit 1 if it failed)
//   vornregprobe entries       the uninstall entry, the Run value and the user-agent marker
//   vornregprobe wait          with a top-level window of its own, runs "vornregprobe broadcast"
//                              through runAndWait (20 s): 0 when it ended, 1 when not
//   vornregprobe broadcast     sends a message to every top-level window and returns when all
//                              have taken it
//   vornregprobe handled-fault with the setup's fault notifier set, has Windows meet and handle a
//                              fault of its own (IsBadReadPtr); prints "notified" if the notifier
//                              ran, then "done"
//   vornregprobe dump ROOT KEY [32|64]
//                              one line per value: name, type, stored bytes in hexadecimal
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/install_state.h"
#include "platform/fault.h"
#include "common/locations.h"
#include "common/text.h"
#include "platform/process.h"
#include "platform/system.h"
#include "registration/keyboard_layout.h"
#include "registration/system_entries.h"
#include "registration/text_service.h"

namespace {

// The facts window creation gathers, and the interface under test.
void prepare() {
    resetInstallState();
    state.oemCodePage = plat::getOemCodePage();
    is64BitWindows();
    state.osBits = static_cast<uint32_t>(detectOsBits());
    state.windows10 = isWindows10() ? 1 : 0;
    state.interfaceChoice = 1;
    computeInstallDir();
}

// Wide names and data, so that lengths are those stored, not those of an ANSI conversion.
int dump(const char* rootName, const char* key, int view) {
    HKEY root = std::strcmp(rootName, "HKCU") == 0 ? HKEY_CURRENT_USER
                : std::strcmp(rootName, "HKU") == 0 ? HKEY_USERS
                                                    : HKEY_LOCAL_MACHINE;
    REGSAM sam = KEY_READ | (view == 64 ? KEY_WOW64_64KEY : view == 32 ? KEY_WOW64_32KEY : 0);
    HKEY opened = nullptr;
    // Only a key that is not there is "missing"; any other failure is an error, never absence.
    LONG status = RegOpenKeyExA(root, key, 0, sam, &opened);
    if (status == ERROR_FILE_NOT_FOUND) {
        std::printf("missing\n");
        return 1;
    }
    if (status != ERROR_SUCCESS) {
        std::printf("error\topen\t%ld\n", static_cast<long>(status));
        return 3;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        DWORD type = 0;
        std::vector<BYTE> data(4096);
        DWORD size = static_cast<DWORD>(data.size());
        status = RegEnumValueW(opened, index, name, &nameLength, nullptr, &type, data.data(), &size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) {
            std::printf("error\tenum\t%ld\n", static_cast<long>(status));
            RegCloseKey(opened);
            return 3;
        }
        char utf8[1024];
        int length = WideCharToMultiByte(CP_UTF8, 0, name, static_cast<int>(nameLength), utf8,
                                         sizeof utf8 - 1, nullptr, nullptr);
        utf8[length > 0 ? length : 0] = '\0';
        std::printf("value\t%s\t%lu\t", utf8, static_cast<unsigned long>(type));
        for (DWORD i = 0; i < size; ++i) std::printf("%02x", data[i]);
        std::printf("\n");
    }
    RegCloseKey(opened);
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const char* command = argv[1];
    if (std::strcmp(command, "broadcast") == 0) {
        SendMessageA(HWND_BROADCAST, WM_NULL, 0, 0);
        return 0;
    }
    if (std::strcmp(command, "wait") == 0) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "vornprobe";
        RegisterClassA(&windowClass);
        HWND window = CreateWindowExA(0, "vornprobe", "vornprobe", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                      nullptr, windowClass.hInstance, nullptr);
        if (window == nullptr) return 2;
        char self[MAX_PATH];
        char line[MAX_PATH + 16];
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        wsprintfA(line, "\"%s\" broadcast", self);
        return plat::runAndWait(line, SW_HIDE, 20000) ? 0 : 1;
    }
    if (std::strcmp(command, "handled-fault") == 0) {
        plat::setFaultNotifier([] { std::puts("notified"); });
        // Inside kernel32: a fault Windows raises and handles itself, the program goes on.
        BOOL bad = IsBadReadPtr(reinterpret_cast<const void*>(16), 4);
        std::puts(bad ? "done" : "not faulted");
        std::fflush(stdout);
        return 0;
    }
    if (std::strcmp(command, "dump") == 0 && argc >= 4)
        return dump(argv[2], argv[3], argc >= 5 ? std::atoi(argv[4]) : 0);
    prepare();
    if (std::strcmp(command, "layout") == 0) {
        registerKeyboardLayout();
        return 0;
    }
    if (std::strcmp(command, "textservice") == 0) {
        registerTextService();
        return verifyTextService() ? 0 : 1;
    }
    if (std::strcmp(command, "entries") == 0) {
        writeUninstallEntry();
        char runCommand[dirCapacity + 24];
        if (formatRunCommand(runCommand, sizeof runCommand, state.installDir)) writeRunValue(runCommand);
        writeUserAgentMarker();
        return 0;
    }
    return 2;
}
