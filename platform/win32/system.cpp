#include "platform/system.h"

#include <windows.h>

#include "platform/win32/library.h"
#include <shlobj.h>

#include <cstring>

namespace plat {

namespace {

template <class Fn>
Fn kernelProc(const char* name) {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

unsigned fitOrEmpty(UINT length, char* out, unsigned capacity) {
    if (length == 0 || length >= capacity) {
        if (capacity > 0) out[0] = '\0';
        return 0;
    }
    return length;
}

}  // namespace

unsigned getOemCodePage() { return GetOEMCP(); }

uint32_t getVersion() { return GetVersion(); }

bool getVersionEx(OsVersionInfo& out) {
    // The extended record: 156 bytes.
    OSVERSIONINFOEXA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    static_assert(sizeof(OSVERSIONINFOEXA) == 156);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return false;
    out.major = info.dwMajorVersion;
    out.minor = info.dwMinorVersion;
    out.build = info.dwBuildNumber;
    out.platformId = info.dwPlatformId;
    return true;
}

bool getNtVersionNumbers(uint32_t& major, uint32_t& minor, uint32_t& build) {
    using Fn = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
    HMODULE ntdll = loadSystemLibrary("ntdll.dll");
    if (ntdll == nullptr) return false;
    auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetNtVersionNumbers")));
    if (fn == nullptr) return false;
    DWORD a = 0, b = 0, c = 0;
    fn(&a, &b, &c);
    major = a;
    minor = b;
    build = c;
    return true;
}

bool isWow64Process(int& wow64) {
    using Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto fn = kernelProc<Fn>("IsWow64Process");
    if (fn == nullptr) return false;
    BOOL result = FALSE;
    if (!fn(GetCurrentProcess(), &result)) result = FALSE;
    wow64 = result ? 1 : 0;
    return true;
}

unsigned getNativeProcessorArchitecture() {
    SYSTEM_INFO info;
    std::memset(&info, 0, sizeof info);
    // Windows XP and later; before that the system's own facts are the native ones.
    using Fn = void(WINAPI*)(LPSYSTEM_INFO);
    if (auto native = kernelProc<Fn>("GetNativeSystemInfo")) native(&info);
    else GetSystemInfo(&info);
    return info.wProcessorArchitecture;
}

int disableWow64FsRedirection(void** oldValue) {
    using Fn = BOOL(WINAPI*)(PVOID*);
    auto fn = kernelProc<Fn>("Wow64DisableWow64FsRedirection");
    if (fn == nullptr) return 0;
    return fn(oldValue);
}

void revertWow64FsRedirection(void* oldValue) {
    using Fn = BOOL(WINAPI*)(PVOID);
    auto fn = kernelProc<Fn>("Wow64RevertWow64FsRedirection");
    if (fn != nullptr) fn(oldValue);
}

bool getSpecialFolderPath(char* out, size_t capacity, int csidl) {
    char buffer[MAX_PATH + 1] = {};
    if (capacity == 0) return false;
    if (!SHGetSpecialFolderPathA(nullptr, buffer, csidl, FALSE)) return false;
    size_t length = strnlen(buffer, MAX_PATH);
    if (length >= capacity) length = capacity - 1;
    std::memcpy(out, buffer, length);
    out[length] = '\0';
    return true;
}

unsigned getWindowsDirectory(char* out, unsigned capacity) {
    return fitOrEmpty(GetWindowsDirectoryA(out, capacity), out, capacity);
}

unsigned getSystemDirectory(char* out, unsigned capacity) {
    return fitOrEmpty(GetSystemDirectoryA(out, capacity), out, capacity);
}

unsigned getWindowsDirectoryW(char16_t* out, unsigned capacity) {
    UINT length = GetWindowsDirectoryW(reinterpret_cast<wchar_t*>(out), capacity);
    if (length == 0 || length >= capacity) {
        if (capacity > 0) out[0] = u'\0';
        return 0;
    }
    return length;
}

unsigned getSystemDirectoryW(char16_t* out, unsigned capacity) {
    UINT length = GetSystemDirectoryW(reinterpret_cast<wchar_t*>(out), capacity);
    if (length == 0 || length >= capacity) {
        if (capacity > 0) out[0] = u'\0';
        return 0;
    }
    return length;
}

unsigned getCurrentDirectory(char* out, unsigned capacity) {
    return fitOrEmpty(GetCurrentDirectoryA(capacity, out), out, capacity);
}

unsigned getDriveType(const char* root) { return GetDriveTypeA(root); }

unsigned getTempPath(char* out, unsigned capacity) {
    if (capacity == 0) return 0;
    DWORD length = GetTempPathA(capacity, out);
    if (length == 0 || length >= capacity) {
        out[0] = '\0';
        return 0;
    }
    return length;
}

unsigned getProgramPath(char* out, unsigned capacity) {
    if (capacity == 0) return 0;
    // A path cut to the buffer comes back with the full capacity (and, before Vista, without
    // its terminator): no path at all then.
    DWORD length = GetModuleFileNameA(nullptr, out, capacity);
    if (length == 0 || length >= capacity) {
        out[0] = '\0';
        return 0;
    }
    return length;
}

LocalTime getLocalTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    // UTC = local time + bias; the daylight bias adds to it while daylight saving time runs.
    TIME_ZONE_INFORMATION zone;
    DWORD which = GetTimeZoneInformation(&zone);
    long bias = which == TIME_ZONE_ID_INVALID ? 0
                : which == TIME_ZONE_ID_DAYLIGHT ? zone.Bias + zone.DaylightBias
                                                 : zone.Bias + zone.StandardBias;
    return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, static_cast<int>(-bias)};
}

uint32_t getTickCount() { return GetTickCount(); }

void sleep(uint32_t milliseconds) { Sleep(milliseconds); }

}  // namespace plat
