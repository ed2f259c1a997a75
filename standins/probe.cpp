// vornprobe.exe, a test tool of the end-to-end scenarios (not part of the platform): asks
// about the input-method server and sends it notifications the way the setup does.
//   vornprobe server                  prints "server=1" or "server=0"; exit code 0 when running
//   vornprobe notify DWDATA TEXT      sends WM_COPYDATA with an 80-byte block starting with
//                                     TEXT (zero-terminated); prints the answer; exit code 2
//                                     when there is no server window
//   vornprobe run "COMMAND LINE"      starts the command line as the setup's WinExec does (no
//                                     quoting added), waits, and exits with its exit code
//   vornprobe run-native "COMMAND LINE"
//                                     the same with WOW64 file-system redirection off, as the
//                                     setup starts the native regsvr32 on 64-bit Windows
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "server_window.h"

int main(int argc, char** argv) {
    HWND window = FindWindowA(server::windowClass, nullptr);
    if (argc == 2 && std::strcmp(argv[1], "server") == 0) {
        std::printf("server=%d\n", window != nullptr ? 1 : 0);
        return window != nullptr ? 0 : 1;
    }
    if (argc == 4 && std::strcmp(argv[1], "notify") == 0) {
        if (window == nullptr) {
            std::printf("no server window\n");
            return 2;
        }
        char block[80] = {};
        std::strncpy(block, argv[3], sizeof block - 1);
        COPYDATASTRUCT data = {};
        data.dwData = std::strtoul(argv[2], nullptr, 10);
        data.cbData = sizeof block;
        data.lpData = block;
        LRESULT answer = SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        std::printf("answer=%ld\n", static_cast<long>(answer));
        return 0;
    }
    bool native = argc == 3 && std::strcmp(argv[1], "run-native") == 0;
    if (argc == 3 && (native || std::strcmp(argv[1], "run") == 0)) {
        // Looked up by name: 32-bit Windows XP has no redirection to switch.
        using Switch = BOOL(WINAPI*)(PVOID*);
        using Revert = BOOL(WINAPI*)(PVOID);
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        auto disable = reinterpret_cast<Switch>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
        auto revert = reinterpret_cast<Revert>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
        PVOID redirection = nullptr;
        if (native && (disable == nullptr || revert == nullptr || !disable(&redirection))) {
            std::printf("no WOW64 redirection to switch off\n");
            return 126;
        }
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        BOOL started = CreateProcessA(nullptr, argv[2], nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &startup, &process);
        DWORD error = GetLastError();
        if (native) revert(redirection);
        if (!started) {
            std::printf("cannot start: error %lu\n", error);
            return 127;
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 1;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        std::printf("exit=%lu\n", code);
        return static_cast<int>(code);
    }
    std::fputs("usage: vornprobe server | notify DWDATA TEXT | run[-native] \"COMMAND LINE\"\n",
               stderr);
    return 64;
}
