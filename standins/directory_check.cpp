// vkjcdir.exe: the setup starts it with the rights of a basic user ("runas /trustlevel:0x20000")
// to learn whether such a user can write the install directory, where the input method keeps
// the phrases and settings it learns. It writes, reads back and deletes a probe file beside
// itself, and warns the user when that fails. Exit code 0 when the directory is writable.
#include <windows.h>

#include "module_path.h"

namespace {

bool probeWrite(const wchar_t* path) {
    static const char probe[] = "vkjcdir probe";
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    DWORD read = 0;
    char back[sizeof probe] = {};
    bool ok = WriteFile(file, probe, sizeof probe, &written, nullptr) && written == sizeof probe &&
              SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 &&
              ReadFile(file, back, sizeof back, &read, nullptr) && read == sizeof back;
    for (size_t i = 0; ok && i < sizeof probe; ++i) ok = back[i] == probe[i];
    CloseHandle(file);
    return DeleteFileW(path) && ok;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t probePath[MAX_PATH];
    if (besideThisProgram(L"vkjcdir.tmp", probePath, MAX_PATH) && probeWrite(probePath)) return 0;
    MessageBoxW(nullptr,
                L"智能Marl输入法的安装目录不能被普通用户写入，输入法将不能保存词组和设置！\r\n"
                L"请以管理员身份重新安装智能Marl输入平台。",
                L"智能Marl", MB_OK | MB_ICONWARNING);
    return 1;
}
