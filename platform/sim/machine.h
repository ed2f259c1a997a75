// The simulated Windows machine of the host build: facts, a file system on a test folder,
// message boxes and messages, all scriptable and inspectable by tests.
#pragma once
#include <cstdint>
#include <functional>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/text.h"

#include "platform/sim/dialog_sim.h"
#include "platform/sim/desktop_sim.h"
#include "platform/sim/registry_sim.h"
#include "platform/system.h"
#include "platform/ui.h"

namespace sim {

enum class Os { xp32, xp64, vista32, vista64, win7_32, win7_64, win10_32, win10_64 };

struct MessageBoxRecord {
    std::u16string caption;
    std::u16string text;
    unsigned type = 0;
    int answer = 0;
};

struct WindowClassRecord {
    std::string className;
    std::string iconName;
    plat::WindowProc procedure = nullptr;
    plat::InstanceHandle instance = nullptr;
};

class Machine {
public:
    // A machine whose drives live in a fresh temporary folder; it becomes the current machine
    // until it is destroyed.
    explicit Machine(Os os = Os::win10_64);
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // What GetVersion and GetVersionExA report (6.2 on Windows 10 without a compatibility
    // declaration) and what ntdll reports.
    uint32_t versionMajor = 0, versionMinor = 0, versionBuild = 0;
    bool ntFamily = true;
    bool hasNtVersionNumbers = true;
    uint32_t ntMajor = 0, ntMinor = 0, ntBuild = 0;
    bool hasIsWow64Process = true;
    bool wow64 = false;
    unsigned nativeArchitecture = 0;
    bool hasRedirectionSwitch = true;
    int redirectionSwitchResult = 1;  // what Wow64DisableWow64FsRedirection returns
    bool redirectionDisabled = false;
    int redirectionDisableCount = 0;
    unsigned oemCodePage = 936;
    unsigned ansiCodePage = 936;  // what 8-bit file names are read in
    bool hasProgramFilesFolder = true;
    std::string programFilesFolder;
    std::string windowsDir = "C:\\windows";
    std::string currentDirectory = "C:\\setup";
    std::map<char, unsigned> driveTypes;  // lower-case letter -> drive type; others: no root
    bool hasMd5 = true;  // advapi32's MD5 routines can be loaded
    uint32_t tickCount = 100000;
    std::string tempDir = "C:\\temp\\";  // GetTempPathA, with its backslash
    plat::LocalTime localTime{2026, 12, 8, 9, 30, 5, 480};
    uint32_t sleptMilliseconds = 0;

    std::string systemDir() const { return windowsDir + "\\system32"; }
    std::string sysWow64Dir() const { return windowsDir + "\\SysWOW64"; }
    bool is64Bit() const { return nativeArchitecture == 9 || nativeArchitecture == 6; }

    // --- files ---
    // The host path a Windows path of this machine's process stands for (case-insensitive
    // lookup, WOW64 file-system redirection applied as the process would see it).
    std::string hostPath(const std::string& windowsPath) const;
    std::string root() const { return root_; }
    void writeFile(const std::string& windowsPath, const std::string& bytes);
    std::optional<std::string> readFile(const std::string& windowsPath) const;
    bool exists(const std::string& windowsPath) const;
    bool isDirectory(const std::string& windowsPath) const;
    void makeDirectories(const std::string& windowsPath);
    // Creating, writing, deleting or renaming this path, or anything below it, is refused
    // with access denied, as for a user without rights there.
    void denyWrite(const std::string& windowsPath);
    bool writeDenied(const std::string& windowsPath) const;
    // A busy file (loaded or opened by another program) cannot be opened for writing,
    // overwritten or deleted, but can be renamed.
    void markBusy(const std::string& windowsPath);
    // A junction at `windowsPath` to the directory `target` (any user who may write the parent
    // can make one): paths through it reach the target.
    void makeJunction(const std::string& windowsPath, const std::string& target);
    bool isBusy(const std::string& windowsPath) const;
    // Files held open by the program with writers denied, by handle: nobody else writes,
    // renames or deletes them until the handle is closed.
    std::map<int, std::string> writersDenied;
    void moveBusyMark(const std::string& from, const std::string& to);
    std::map<std::string, uint32_t> attributes;  // by normalized path; absent = archive
    // Files to be deleted at the next restart (MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT),
    // normalized, in the order they were recorded; restart() carries them out.
    std::vector<std::string> pendingDeletes;
    void restart();
    uint32_t lastError = 0;

    // The absolute, lower-cased form of a path with redirection applied, used as a key.
    std::string normalize(const std::string& windowsPath) const;

    // --- access control ---
    std::string userName = "tester";
    // Another user signs in: HKEY_CURRENT_USER and input.dll's list become theirs (a new user's
    // as Windows makes it), the ones of the user before are kept for their return. What runs at
    // a sign-in (Active Setup) is the test's to run.
    void signIn(const std::string& user);
    // Owners of files other than Administrators (the owner of what an elevated program makes),
    // by normalized path: a user who made a file first owns it.
    std::map<std::string, std::string> owners;
    bool sddlConversionFails = false;
    // Access entries of directories in SDDL form, by normalized path.
    std::map<std::string, std::vector<std::string>> accessEntries;
    std::vector<std::string> unreadableAccess;  // normalized paths whose DACL cannot be read
    std::vector<std::string> protectedAccess;   // normalized paths given a protected DACL

    // --- other programs ---
    struct Window {
        uintptr_t handle = 0;
        std::string className;  // 8-bit, as GetClassNameA gives it
        std::u16string title;
        uintptr_t parent = 0;   // parent or owner
        bool faultOnCopyData = false;
        bool hung = false;  // never answers a message sent to it
        bool closesOnNotification = false;  // the server: ends on 3599 "VKSRF=2"
        std::vector<std::pair<uintptr_t, std::string>> copyData;  // dwData and the bytes received
    };
    std::vector<Window> windows;  // top-level windows in Z order
    Window& addWindow(const std::string& className, const std::u16string& title,
                      uintptr_t parent = 0);
    Window* window(uintptr_t handle);
    std::vector<std::string> fileMappings;
    // Other setups running, by the name of the mutex they hold: in how many milliseconds each ends.
    std::map<std::string, unsigned> otherInstances;
    // Objects a user made first under a setup's mutex name in the global namespace. From Vista
    // on the setup's own lives in a private namespace they cannot reach; before, it is theirs.
    std::vector<std::string> squattedNames;
    std::vector<uintptr_t> broughtToFront;  // SetForegroundWindow, in order
    // Commands run with their output captured: what each prints, and what was run.
    std::map<std::string, std::string> commandOutputs;
    std::vector<std::string> capturedCommands;
    bool pipeFails = false;
    std::vector<Window> closedWindows;

    // Memory blocks the program holds (GlobalAlloc); what it never frees goes with the machine,
    // as with a process that ends.
    std::vector<uint8_t*> blocks;

    // The program's resources by "TYPE/NAME" (the payload is "VRZ/QVTKVRZ").
    std::map<std::string, std::string> resources;

    // --- user interface ---
    std::vector<MessageBoxRecord> messageBoxes;
    std::deque<int> answers;
    // Runs while a message box is up, as other messages reach the program through its modal loop.
    std::function<void()> duringMessageBox;           // answers for the next message boxes, in order
    std::vector<WindowClassRecord> windowClasses;
    std::deque<plat::Message> messages;
    bool failClassRegistration = false;
    bool failTimers = false;  // SetTimer fails (no timer left in the session)
    struct Timer {
        plat::WindowHandle window;
        uintptr_t id;
        unsigned milliseconds;
    };
    std::vector<Timer> timers;  // the timers set and not killed
    Desktop desktop;            // the program's own windows and what it paints
    Dialogs dialogs;  // modal dialogs (dialog_sim.h)

    // --- injected faults ---
    // Every call that Windows can fail for reasons outside the program is a fault point: file
    // create, open, read, write, seek, rename, copy and delete; registry open, create, set and
    // delete; a program start; the work block; the payload resource. They are numbered from 1
    // as they are passed; the one numbered failAt fails as Windows fails it (access denied,
    // an I/O error, no memory, no resource). failAt 0 fails none and only counts.
    struct Faults {
        uint64_t passed = 0;
        uint64_t failAt = 0;
        std::string failedPoint;  // the kind of call that was failed, once it has been
    };
    Faults faults;
    // Counts the point; true when this call is the one to fail.
    bool faultHere(const char* kind);

    // --- registry, input methods, started programs (registry_sim.h) ---
    Registry registry{*this};
    Imm imm;
    InputDll inputDll;
    Processes processes;

private:
    std::string absolute(const std::string& windowsPath) const;
    struct Profile {
        RegistryKey currentUser;
        std::vector<std::u16string> enabled;
        std::u16string defaultId;
    };
    std::map<std::string, Profile> profiles_;
    std::string root_;
    std::vector<std::string> denied_;
    std::vector<std::string> busy_;
    Machine* previous_ = nullptr;
};

// Counts a fault point of the current machine (none without one); true when it is to fail.
bool faultHere(const char* kind);

// The machine the platform layer talks to. Without a test machine, a passthrough machine
// whose paths are host paths (used by the host tools).
Machine* current();

// A GBK file name as it is stored on the host's disk: UTF-8, or the raw bytes when they are
// no GBK text.
std::string hostName(const std::string& text);
// ASCII letters folded to lower case (Windows names compare without case).
std::string lowerAscii(std::string text);
// The non-empty parts of a backslash-separated path or key path.
std::vector<std::string> splitPath(const std::string& path);
using host::strictConvert;

// A processor fault in simulated code: an absorbing scope takes it; otherwise the fault notifier
// is called and the fault reaches "the system", which a test observes with faultReachesSystem.
[[noreturn]] void raiseFault();
// Runs the operation; true when a fault went past every absorbing scope.
bool faultReachesSystem(void (*operation)(void*), void* context);

// GBK (code page 936) to UTF-16, and UTF-16 to UTF-8 for readable test output.
using host::fromGbk;
using host::toGbk;
using host::toUtf8;

}  // namespace sim
