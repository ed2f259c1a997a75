// vorncontract.exe: the platform contract (tests/contract) against the real Win32 layer, run
// by test_contract.py under Wine. One line per case on standard output:
//   ok<TAB>NAME
//   FAIL<TAB>NAME<TAB>what failed        (one line per failed check)
//   summary<TAB>PASSED<TAB>TOTAL
// Exit code 0 when every case passed, 1 otherwise.
//   vorncontract.exe [--as-root] [NAME]
// --as-root: Wine runs as the Unix root user, whose writes pass the permission Wine gives a
// read-only file. NAME runs only the case of that name.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/contract/contract.h"

namespace {

HKEY rootOf(plat::RegKey root) { return reinterpret_cast<HKEY>(root); }

// What other programs leave, made with the plain Win32 calls.
class Win32Side : public contract::Side {
public:
    explicit Win32Side(bool asRoot) : asRoot_(asRoot) {}
    ~Win32Side() override {
        for (const Loaded& loaded : loaded_) {
            UnmapViewOfFile(loaded.view);
            CloseHandle(loaded.section);
        }
        for (auto& [name, mapping] : mappings_) CloseHandle(mapping);
    }

    // A copy of this program mapped as an image, as the loader maps a program or module: its
    // file stays in use after the file handle is closed, as long as the section lives.
    bool placeLoadedModule(const char* path) override {
        char self[MAX_PATH];
        DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
        if (length == 0 || length >= sizeof self || !CopyFileA(self, path, FALSE)) return false;
        HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_EXECUTE,
                                  FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        HANDLE section =
            CreateFileMappingA(file, nullptr, PAGE_EXECUTE_READ | SEC_IMAGE, 0, 0, nullptr);
        CloseHandle(file);
        if (section == nullptr) return false;
        void* view = MapViewOfFile(section, FILE_MAP_READ | FILE_MAP_EXECUTE, 0, 0, 0);
        if (view == nullptr) {
            CloseHandle(section);
            return false;
        }
        loaded_.push_back({section, view});
        return true;
    }

    void* openWindow(const char* className, const char16_t* title) override {
        std::wstring wideClass(className, className + std::strlen(className));
        WNDCLASSW windowClass;
        ZeroMemory(&windowClass, sizeof windowClass);
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = wideClass.c_str();
        if (RegisterClassW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return nullptr;
        return CreateWindowExW(0, wideClass.c_str(), reinterpret_cast<const wchar_t*>(title),
                               WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    }

    void closeWindow(void* window) override { DestroyWindow(static_cast<HWND>(window)); }

    bool openMapping(const char* name) override {
        HANDLE mapping =
            CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name);
        if (mapping == nullptr) return false;
        mappings_[name] = mapping;
        return true;
    }

    void closeMapping(const char* name) override {
        auto it = mappings_.find(name);
        if (it == mappings_.end()) return;
        CloseHandle(it->second);
        mappings_.erase(it);
    }

    // KEY_WOW64_64KEY: the native view from the 32-bit process (ignored on 32-bit Windows).
    long openNativeKey(plat::RegKey root, const std::string& path) override {
        HKEY key = nullptr;
        LONG status =
            RegOpenKeyExA(rootOf(root), path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key);
        if (status == ERROR_SUCCESS) RegCloseKey(key);
        return status;
    }

    bool createNativeKey(plat::RegKey root, const std::string& path) override {
        HKEY key = nullptr;
        if (RegCreateKeyExA(rootOf(root), path.c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    bool readOnlyRefusesWrites() const override { return !asRoot_; }

private:
    bool asRoot_;
    struct Loaded {
        HANDLE section;
        void* view;
    };
    std::vector<Loaded> loaded_;
    std::map<std::string, HANDLE> mappings_;
};

}  // namespace

int main(int argc, char** argv) {
    bool asRoot = false;
    const char* only = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--as-root") == 0) asRoot = true;
        else only = argv[i];
    }
    Win32Side side(asRoot);
    int total = 0;
    int passed = 0;
    for (const contract::Case& c : contract::cases()) {
        if (only != nullptr && std::strcmp(only, c.name) != 0) continue;
        ++total;
        contract::Result result;
        c.run(side, result);
        if (result.failures().empty()) {
            ++passed;
            std::printf("ok\t%s\n", c.name);
        }
        for (const std::string& failure : result.failures())
            std::printf("FAIL\t%s\t%s\n", c.name, failure.c_str());
        std::fflush(stdout);
    }
    std::printf("summary\t%d\t%d\n", passed, total);
    return passed == total && total > 0 ? 0 : 1;
}
