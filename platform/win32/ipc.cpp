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

namespace {

// From Vista on: the mutex in a private namespace whose boundary holds the Administrators group,
// so that a user who makes an object of the name first (anywhere a user can) blocks nothing.
// The namespace's handle stays open for the life of the process. Looked up by name: Windows
// before Vista has none of these calls.
HANDLE privateMutex(const char* name) {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    using CreateBoundary = HANDLE(WINAPI*)(LPCWSTR, ULONG);
    using AddSid = BOOL(WINAPI*)(HANDLE*, PSID);
    using CreateNamespace = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
    using OpenNamespace = HANDLE(WINAPI*)(LPVOID, LPCWSTR);
    auto createBoundary = reinterpret_cast<CreateBoundary>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "CreateBoundaryDescriptorW")));
    auto addSid = reinterpret_cast<AddSid>(reinterpret_cast<void*>(GetProcAddress(kernel, "AddSIDToBoundaryDescriptor")));
    auto createNamespace = reinterpret_cast<CreateNamespace>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "CreatePrivateNamespaceW")));
    auto openNamespace = reinterpret_cast<OpenNamespace>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "OpenPrivateNamespaceW")));
    if (!createBoundary || !addSid || !createNamespace || !openNamespace) return nullptr;

    static const wchar_t alias[] = L"vornsetup";
    HANDLE boundary = createBoundary(L"vornsetup-boundary", 0);
    if (boundary == nullptr) return nullptr;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    HANDLE space = nullptr;
    if (AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                 &admins) &&
        addSid(&boundary, admins)) {
        space = createNamespace(nullptr, boundary, alias);
        if (space == nullptr && GetLastError() == ERROR_ALREADY_EXISTS) space = openNamespace(boundary, alias);
    }
    if (admins != nullptr) FreeSid(admins);
    // The boundary descriptor is not freed: DeleteBoundaryDescriptor is one more Vista call,
    // and it is a few bytes for the life of the process.
    if (space == nullptr) return nullptr;
    char full[160];
    wsprintfA(full, "vornsetup\\%s", name);
    return CreateMutexA(nullptr, FALSE, full);
}

}  // namespace

bool holdSingleInstance(const char* name, unsigned waitMilliseconds, bool& another) {
    HANDLE mutex = privateMutex(name);
    if (mutex == nullptr) {
        char global[128];
        lstrcpynA(global, "Global\\", sizeof global);
        lstrcatA(global, name);
        // Before Vista (or where private namespaces fail): the global namespace from Windows 2000
        // on; before that, the plain name is machine-wide.
        mutex = CreateMutexA(nullptr, FALSE, global);
        if (mutex == nullptr) mutex = CreateMutexA(nullptr, FALSE, name);
    }
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
