#include "platform/ipc.h"

#include <windows.h>

namespace plat {

namespace {
struct Enumeration {
    WindowVisitor visitor;
    void* context;
};

BOOL CALLBACK visit(HWND window, LPARAM parameter) {
    auto* enumeration = reinterpret_cast<Enumeration*>(parameter);
    return enumeration->visitor(window, enumeration->context) ? TRUE : FALSE;
}
}  // namespace

void enumWindows(WindowVisitor visitor, void* context) {
    Enumeration enumeration{visitor, context};
    EnumWindows(visit, reinterpret_cast<LPARAM>(&enumeration));
}

unsigned getClassName(WindowHandle window, char* out, unsigned capacity) {
    if (capacity == 0) return 0;
    int length = GetClassNameA(static_cast<HWND>(window), out, static_cast<int>(capacity));
    if (length <= 0) {
        out[0] = '\0';
        return 0;
    }
    return static_cast<unsigned>(length);
}

WindowHandle getParent(WindowHandle window) { return GetParent(static_cast<HWND>(window)); }

unsigned getWindowText(WindowHandle window, char16_t* out, unsigned capacity) {
    if (capacity == 0) return 0;
    int length = GetWindowTextW(static_cast<HWND>(window), reinterpret_cast<wchar_t*>(out),
                                static_cast<int>(capacity));
    if (length <= 0) {
        out[0] = u'\0';
        return 0;
    }
    return static_cast<unsigned>(length);
}

WindowHandle findWindow(const char* className) { return FindWindowA(className, nullptr); }

bool isWindow(WindowHandle window) { return IsWindow(static_cast<HWND>(window)) != 0; }

void bringToFront(WindowHandle window) {
    HWND hwnd = static_cast<HWND>(window);
    if (IsIconic(hwnd)) ShowWindow(hwnd, SW_RESTORE);
    SetForegroundWindow(hwnd);
}

bool holdSingleInstance(const char* name, unsigned waitMilliseconds, bool& another) {
    char global[128];
    lstrcpynA(global, "Global\\", sizeof global);
    lstrcatA(global, name);
    // The global namespace is there from Windows 2000 on; before, the plain name is machine-wide.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, global);
    if (mutex == nullptr) mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex == nullptr) {
        another = false;
        return true;  // no mutex at all: nothing to keep apart with, so run
    }
    another = GetLastError() == ERROR_ALREADY_EXISTS;
    // Never closed: the process holds it until it ends, and Windows releases it then.
    DWORD waited = WaitForSingleObject(mutex, another ? waitMilliseconds : 0);
    return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

intptr_t sendCopyData(WindowHandle window, uintptr_t wParam, const CopyData* data) {
    static_assert(sizeof(CopyData) == sizeof(COPYDATASTRUCT));
    // A server that never answers must not hold the install for ever.
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(static_cast<HWND>(window), WM_COPYDATA, wParam, reinterpret_cast<LPARAM>(data),
                             SMTO_ABORTIFHUNG, copyDataTimeout, &answer))
        return 0;
    return static_cast<intptr_t>(answer);
}

bool fileMappingExists(const char* name) {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, TRUE, name);
    if (mapping == nullptr) return false;
    CloseHandle(mapping);
    return true;
}

bool runWithOutput(const char* commandLine, char* out, size_t capacity) {
    if (capacity == 0) return false;
    out[0] = '\0';
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return false;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof process);
    char line[1024];
    lstrcpynA(line, commandLine, sizeof line);
    BOOL started = CreateProcessA(nullptr, line, nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                  nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return false;
    }
    size_t used = 0;
    char chunk[512];
    DWORD got = 0;
    while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        size_t take = got;
        if (take > capacity - 1 - used) take = capacity - 1 - used;
        CopyMemory(out + used, chunk, take);
        used += take;
    }
    out[used] = '\0';
    CloseHandle(readEnd);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}

}  // namespace plat
