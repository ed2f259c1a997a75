#include "registration/system_entries.h"

#include <initializer_list>

#include "core/text.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace {

using plat::RegAccess;
using plat::ScopedKey;

constexpr const char* markerName = "qvtk8800";

}  // namespace

void writeUninstallEntry() {
    ScopedKey uninstall;
    if (plat::regOpenKeyW(plat::hkeyLocalMachine,
                          u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                          RegAccess::read, uninstall.receive()) != plat::regOk)
        return;
    ScopedKey entry;
    if (plat::regCreateKeyW(uninstall.get(), u"vornqwb8", entry.receive()) != plat::regOk) return;
    plat::regSetTextW(entry.get(), u"DisplayName", u"智能Marl8");

    // Without the Windows directory the command would name the uninstaller at a drive's root.
    char16_t windowsDir[100];
    if (plat::getWindowsDirectoryW(windowsDir, 100) == 0) return;
    char16_t command[128];
    command[0] = u'\0';
    appendWide(command, sizeof command / sizeof command[0], windowsDir);
    if (!appendWide(command, sizeof command / sizeof command[0], u"\\vorndel8.exe")) return;
    plat::regSetTextW(entry.get(), u"UninstallString", command);
}

void writeRunValue(const char* commandLine) {
    ScopedKey currentVersion;
    if (!plat::openKey(plat::hkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                       RegAccess::read, currentVersion))
        return;
    ScopedKey run;
    if (!plat::createKey(currentVersion.get(), "Run", run)) return;
    plat::regDeleteValue(run.get(), "vrvksjgl");
    plat::regSetText(run.get(), "vrvksjgl", commandLine != nullptr ? commandLine : "");
}

void writeUserAgentMarker() {
    ScopedKey userAgent;
    constexpr const char* userAgentKey =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent";
    if (!plat::openKey(plat::hkeyLocalMachine, userAgentKey, RegAccess::all, userAgent))
        return;
    ScopedKey postPlatform;
    if (!plat::createKey(userAgent.get(), "Post Platform", postPlatform)) return;

    // Every marker an earlier version may have left: qvtk6300..qvtk6800, qvtk7000..qvtk7900,
    // qvtk8000..qvtk8900, the current one among them.
    char name[] = "qvtk6300";
    struct Run {
        char fifth, firstSixth, lastSixth;
    };
    for (Run run : {Run{'6', '3', '8'}, Run{'7', '0', '9'}, Run{'8', '0', '9'}}) {
        name[4] = run.fifth;
        for (char sixth = run.firstSixth; sixth <= run.lastSixth; ++sixth) {
            name[5] = sixth;
            plat::regDeleteValue(postPlatform.get(), name);
        }
    }
    plat::regSetValue(postPlatform.get(), markerName, plat::regSz, "", 0);
}
