// vorndel8.exe, in the Windows directory, named by the uninstall entry. This build of the
// platform's uninstaller only reports the installation it would act on: the install directory
// recorded in the path file vornpat8.vrh beside it. It removes nothing.
#include <windows.h>

#include "platform/win32/library.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    plat::restrictDllSearch();
    char path[MAX_PATH + 16];
    UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    char installDir[MAX_PATH + 1] = {};
    DWORD read = 0;
    bool found = false;
    if (length > 0 && length < MAX_PATH) {
        lstrcpynA(path + length, "\\vornpat8.vrh", 16);
        HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            found = ReadFile(file, installDir, MAX_PATH, &read, nullptr) && read > 0;
            CloseHandle(file);
        }
    }
    installDir[read <= MAX_PATH ? read : MAX_PATH] = '\0';
    char text[MAX_PATH + 100];
    if (found) {
        lstrcpynA(text, "智能Marl输入平台 9.0 安装在：\r\n", 100);
        lstrcpynA(text + lstrlenA(text), installDir, MAX_PATH + 1);
    } else {
        lstrcpynA(text, "没有找到智能Marl输入平台的安装记录。", 100);
    }
    MessageBoxA(nullptr, text, "智能Marl卸载", MB_OK);
    return found ? 0 : 1;
}
