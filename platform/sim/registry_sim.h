// The simulated machine's registry, input methods and started programs.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class Machine;

enum class Hive { localMachine, currentUser, users };

// The view a test means: the one the setup (a 32-bit process) sees, the native one of 64-bit
// programs, or the 32-bit view of 64-bit Windows whatever the process (Wow6432Node below
// HKLM\Software, except the keys both views share).
enum class View { process, native, redirected };

// The bytes exactly as the call passed them. (Windows NT also counts a terminator that follows
// a text in the caller's memory; here a test sees what the program gave.)
struct RegistryValue {
    std::string name;  // as written
    uint32_t type = 1;
    std::string data;
};

struct RegistryKey {
    std::string name;  // as created
    bool unreadable = false;  // every open fails with access denied
    bool readOnly = false;    // opens for reading only; nothing made or deleted in or below it
    // By upper-case name: the order in which Windows enumerates them.
    std::map<std::string, std::unique_ptr<RegistryKey>> subkeys;
    std::map<std::string, RegistryValue> values;
};

struct OpenRegistryKey {
    Hive hive = Hive::localMachine;
    std::vector<std::string> path;  // physical, redirection applied
    bool fullAccess = false;
    bool deleted = false;
    bool native = false;  // opened in the native view: keys below it are not redirected
};

// A new machine's registry is empty: each test seeds the keys its Windows would have.
class Registry {
public:
    explicit Registry(const Machine& owner) : owner_(owner) {}
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // --- seeding and inspecting, for tests; paths with backslashes ---
    RegistryKey& make(Hive hive, const std::string& path, View view = View::process);
    RegistryKey* find(Hive hive, const std::string& path, View view = View::process);
    bool exists(Hive hive, const std::string& path, View view = View::process) const;
    // The key with everything below it; open handles to it then report it deleted.
    void remove(Hive hive, const std::string& path, View view = View::process);
    void setValue(Hive hive, const std::string& path, const std::string& name, uint32_t type,
                  const std::string& data, View view = View::process);
    // REG_SZ of the text's bytes without a terminator, as the setup writes texts.
    void setText(Hive hive, const std::string& path, const std::string& name,
                 const std::string& text, View view = View::process);
    void setDword(Hive hive, const std::string& path, const std::string& name, uint32_t number,
                  View view = View::process);
    std::optional<RegistryValue> value(Hive hive, const std::string& path,
                                       const std::string& name, View view = View::process) const;
    // The value's bytes, or "<missing>".
    std::string text(Hive hive, const std::string& path, const std::string& name,
                     View view = View::process) const;
    std::vector<std::string> subkeyNames(Hive hive, const std::string& path,
                                         View view = View::process) const;
    std::vector<std::string> valueNames(Hive hive, const std::string& path,
                                        View view = View::process) const;
    size_t openHandles() const { return handles.size(); }
    // The hive's keys exchanged with `other`: another user's HKEY_CURRENT_USER at their sign-in.
    void swapHive(Hive hive, RegistryKey& other) { std::swap(root(hive), other); }

    // --- for the platform calls ---
    std::vector<std::string> physical(Hive hive, std::vector<std::string> parts, View view) const;
    RegistryKey* walk(Hive hive, const std::vector<std::string>& physicalPath);
    const RegistryKey* walk(Hive hive, const std::vector<std::string>& physicalPath) const;
    // Marks the handles of this key and of everything below it as deleted.
    void invalidateHandles(Hive hive, const std::vector<std::string>& physicalPath);
    std::map<uintptr_t, OpenRegistryKey> handles;
    uintptr_t nextHandle = 0x1000;

private:
    RegistryKey& root(Hive hive) { return roots_[static_cast<int>(hive)]; }
    const RegistryKey& root(Hive hive) const { return roots_[static_cast<int>(hive)]; }
    const Machine& owner_;
    RegistryKey roots_[3];
};

std::string upperAscii(std::string text);
std::vector<std::string> splitKeyPath(const std::string& path);

// --- input methods ---
struct ImeInstallCall {
    std::u16string imeFile;
    std::u16string layoutText;
};

struct Imm {
    bool acceptsModules = true;              // what ImmInstallIMEW does with a module
    uintptr_t installedLayout = 0xE0200804;  // the handle it returns when it accepts
    std::vector<ImeInstallCall> installCalls;
    uintptr_t activeLayout = 0x04090409;     // GetKeyboardLayout(0)
    std::string activeLayoutName = "00000409";
    std::map<uintptr_t, std::string> descriptions;  // ImmGetDescriptionA, 8-bit texts
};

// input.dll's enabling of layouts and text services for the current user.
struct InputDll {
    bool present = true;  // none on Windows XP (the machine says so when it boots)
    bool refuses = false;
    std::vector<std::pair<std::u16string, uint32_t>> calls;  // InstallLayoutOrTip, in order
    std::vector<std::u16string> enabled;                     // the user's list, in order
    std::u16string defaultId;
};

// --- programs started with WinExec ---
struct StartedProgram {
    std::string commandLine;
    unsigned show = 0;
    bool redirectionOff = false;  // the starting process had file-system redirection off
    std::string program;          // the file that ran, normalized; empty when none was found
    unsigned bits = 0;            // 32 or 64
    std::string registeredModule; // what regsvr32 registered, normalized; empty when nothing
    std::string unregisteredModule;  // what regsvr32 /u unregistered, normalized
    bool waitedFor = false;       // started by runAndWait, which waited for its end
};

// What a module's registration entry point writes when regsvr32 calls it: keys under
// HKEY_LOCAL_MACHINE, in the registry view of the module's own bitness. With /u its
// unregistration entry point deletes `owned` (each with everything below it) in that view, as
// the stand-in text service deletes its COM class and its text-service key.
struct ModuleRegistration {
    unsigned bits = 32;
    std::vector<std::string> keys;
    std::vector<std::string> owned;
};

struct Processes {
    std::vector<StartedProgram> started;
    // How long a program waited for takes to end (milliseconds).
    unsigned runTime = 300;
    // The folder the setup was started from: searched first for a program named bare.
    std::string applicationDir = "C:\\setup";
    // The setup program's own path (GetModuleFileNameA); empty: the call fails.
    std::string programPath;
    // Programs every Windows has in its system directories, without a file in the test folder.
    std::vector<std::string> systemPrograms = {"regsvr32.exe", "icacls.exe", "cmd.exe",
                                               "runas.exe"};
    std::map<std::string, ModuleRegistration> modules;  // by lower-case file name
    // Any further scripted effect of a started program.
    std::function<void(Machine&, const StartedProgram&)> onStart;
};

}  // namespace sim
