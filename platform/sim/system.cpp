#include "platform/system.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sim/machine.h"

namespace plat {

namespace {

sim::Machine& machine() {
    if (sim::Machine* m = sim::current()) return *m;
    // Host tools touch only files; facts of a Windows need a machine made by a test.
    std::fputs("no simulated machine for a system query\n", stderr);
    std::abort();
}

unsigned putText(const std::string& text, char* out, unsigned capacity) {
    if (capacity == 0) return 0;
    if (text.size() >= capacity) {
        out[0] = '\0';
        return 0;
    }
    std::memcpy(out, text.c_str(), text.size() + 1);
    return static_cast<unsigned>(text.size());
}

}  // namespace

unsigned getOemCodePage() { return machine().oemCodePage; }

uint32_t getVersion() {
    const sim::Machine& m = machine();
    uint32_t version = (m.versionMajor & 0xFF) | ((m.versionMinor & 0xFF) << 8);
    if (m.ntFamily) version |= (m.versionBuild & 0x7FFF) << 16;
    else version |= 0x80000000u;
    return version;
}

bool getVersionEx(OsVersionInfo& out) {
    const sim::Machine& m = machine();
    out.major = m.versionMajor;
    out.minor = m.versionMinor;
    out.build = m.versionBuild;
    out.platformId = m.ntFamily ? 2 : 1;
    return true;
}

bool getNtVersionNumbers(uint32_t& major, uint32_t& minor, uint32_t& build) {
    const sim::Machine& m = machine();
    if (!m.hasNtVersionNumbers) return false;
    major = m.ntMajor;
    minor = m.ntMinor;
    build = m.ntBuild | 0xF0000000u;
    return true;
}

bool isWow64Process(int& wow64) {
    const sim::Machine& m = machine();
    if (!m.hasIsWow64Process) return false;
    wow64 = m.wow64 ? 1 : 0;
    return true;
}

unsigned getNativeProcessorArchitecture() { return machine().nativeArchitecture; }

int disableWow64FsRedirection(void** oldValue) {
    sim::Machine& m = machine();
    if (!m.hasRedirectionSwitch) return 0;
    if (m.redirectionSwitchResult == 1) {
        *oldValue = reinterpret_cast<void*>(static_cast<uintptr_t>(m.redirectionDisabled ? 1 : 0));
        m.redirectionDisabled = true;
        ++m.redirectionDisableCount;
    }
    return m.redirectionSwitchResult;
}

void revertWow64FsRedirection(void* oldValue) {
    machine().redirectionDisabled = reinterpret_cast<uintptr_t>(oldValue) != 0;
}

bool getSpecialFolderPath(char* out, size_t capacity, int csidl) {
    const sim::Machine& m = machine();
    if (csidl != csidlProgramFiles || !m.hasProgramFilesFolder || capacity == 0) return false;
    size_t length = m.programFilesFolder.size();
    if (length >= capacity) length = capacity - 1;
    std::memcpy(out, m.programFilesFolder.data(), length);
    out[length] = '\0';
    return true;
}

unsigned getWindowsDirectory(char* out, unsigned capacity) {
    return putText(machine().windowsDir, out, capacity);
}

unsigned getSystemDirectory(char* out, unsigned capacity) {
    return putText(machine().systemDir(), out, capacity);
}

namespace {
unsigned putWide(const std::string& text, char16_t* out, unsigned capacity) {
    if (capacity == 0) return 0;
    std::u16string wide = sim::fromGbk(text);
    if (wide.size() >= capacity) {
        out[0] = u'\0';
        return 0;
    }
    std::memcpy(out, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
    return static_cast<unsigned>(wide.size());
}
}  // namespace

unsigned getWindowsDirectoryW(char16_t* out, unsigned capacity) {
    return putWide(machine().windowsDir, out, capacity);
}

unsigned getSystemDirectoryW(char16_t* out, unsigned capacity) {
    return putWide(machine().systemDir(), out, capacity);
}

unsigned getCurrentDirectory(char* out, unsigned capacity) {
    return putText(machine().currentDirectory, out, capacity);
}

unsigned getDriveType(const char* root) {
    const sim::Machine& m = machine();
    if (root == nullptr || root[0] == '\0') return driveNoRootDir;
    // A root is "x:\"; anything else names no root directory.
    if (std::strlen(root) != 3 || root[1] != ':' || root[2] != '\\') return driveNoRootDir;
    char letter = root[0];
    if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
    auto it = m.driveTypes.find(letter);
    return it == m.driveTypes.end() ? driveNoRootDir : it->second;
}

unsigned getTempPath(char* out, unsigned capacity) {
    std::string temp = machine().tempDir;
    if (capacity == 0 || temp.size() + 1 > capacity) {
        if (capacity > 0) out[0] = '\0';
        return 0;
    }
    std::memcpy(out, temp.c_str(), temp.size() + 1);
    return static_cast<unsigned>(temp.size());
}

unsigned getProgramPath(char* out, unsigned capacity) {
    return putText(machine().processes.programPath, out, capacity);
}

LocalTime getLocalTime() { return machine().localTime; }

uint32_t getTickCount() { return machine().tickCount; }

void sleep(uint32_t milliseconds) {
    sim::Machine& m = machine();
    m.tickCount += milliseconds;
    m.sleptMilliseconds += milliseconds;
}

}  // namespace plat
