// Facts about the Windows we run on: versions, bitness, WOW64, code pages, folders, drives, clock.
#pragma once
#include <cstddef>
#include <cstdint>

namespace plat {

constexpr unsigned driveUnknown = 0;
constexpr unsigned driveNoRootDir = 1;
constexpr unsigned driveRemovable = 2;
constexpr unsigned driveFixed = 3;
constexpr unsigned driveRemote = 4;
constexpr unsigned driveCdrom = 5;

constexpr unsigned archIntel = 0;
constexpr unsigned archIa64 = 6;
constexpr unsigned archAmd64 = 9;

constexpr int csidlProgramFiles = 38;

struct OsVersionInfo {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint32_t platformId = 0;
};

unsigned getOemCodePage();
// GetVersion: major in the low byte, minor in the next, build and the 9x-family bit above.
uint32_t getVersion();
constexpr uint32_t versionNineXFamily = 0x80000000u;
// GetVersionExA with the 156-byte extended record.
bool getVersionEx(OsVersionInfo& out);
// ntdll's RtlGetNtVersionNumbers, looked up by name; false when it is absent.
bool getNtVersionNumbers(uint32_t& major, uint32_t& minor, uint32_t& build);
// IsWow64Process of this process, looked up by name; false when the call is absent.
bool isWow64Process(int& wow64);
unsigned getNativeProcessorArchitecture();
// Wow64DisableWow64FsRedirection looked up by name: its result as returned, 0 when absent.
int disableWow64FsRedirection(void** oldValue);
void revertWow64FsRedirection(void* oldValue);

// SHGetSpecialFolderPathA; the text is cut to the capacity, always terminated.
bool getSpecialFolderPath(char* out, size_t capacity, int csidl);
// Return the length written, or 0 with an empty text when it does not fit.
unsigned getWindowsDirectory(char* out, unsigned capacity);
unsigned getSystemDirectory(char* out, unsigned capacity);
// The wide forms (GetWindowsDirectoryW, GetSystemDirectoryW), capacities in characters.
unsigned getWindowsDirectoryW(char16_t* out, unsigned capacity);
unsigned getSystemDirectoryW(char16_t* out, unsigned capacity);
unsigned getCurrentDirectory(char* out, unsigned capacity);
unsigned getDriveType(const char* root);

// GetTempPathA: the temporary folder with its trailing backslash; 0 with an empty text when it
// does not fit.
unsigned getTempPath(char* out, unsigned capacity);
// GetModuleFileNameA of the program itself: its full path; 0 with an empty text when it does
// not fit.
unsigned getProgramPath(char* out, unsigned capacity);
struct LocalTime {
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int offsetMinutes = 0;  // local time minus UTC, daylight saving time included
};
LocalTime getLocalTime();

uint32_t getTickCount();
void sleep(uint32_t milliseconds);

}  // namespace plat
