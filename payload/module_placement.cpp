#include "payload/module_placement.h"

#include <cstring>
#include <initializer_list>
#include <string>

#include "common/install_state.h"
#include "common/learned_data.h"
#include "common/locations.h"
#include "common/outcome.h"
#include "common/product.h"
#include "common/progress.h"
#include "common/setup_log.h"
#include "common/text.h"
#include "payload/extraction.h"
#include "payload/installed_files.h"
#include "common/file_ops.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "registration/system_entries.h"
#include "registration/text_service.h"
#include "security/directory_security.h"

namespace {

constexpr size_t pathCapacity = 260;
constexpr const char* placementCaption = "智能Marl(Qolvane)安装";
constexpr const char* notCopiedText = "没有成功复制%s文件，请退出安装程序并手动删除该文件后重新安装！";

void installPath(const char* name, char* out, size_t capacity) {
    formatText(out, capacity, "%s%s", state.installDir, name);
}

void removeInstalled(const char* name) {
    char path[pathCapacity];
    installPath(name, path, sizeof path);
    plat::deleteFile(path);
}

void renameInstalled(const char* from, const char* to) {
    char source[pathCapacity];
    char target[pathCapacity];
    installPath(from, source, sizeof source);
    installPath(to, target, sizeof target);
    plat::moveFile(source, target);
}

void reportNotCopied(const char* name) {
    char text[pathCapacity + 128];
    formatText(text, sizeof text, notCopiedText, name);
    plat::messageBoxA(text, placementCaption, plat::mbOk);
}

void askToKeepUserData() {
    const char16_t* text = std::strcmp(state.installDir, state.previousInstallDir) == 0
                               ? u"检测到安装目录下有智能Marl以前的词组等数据文件，是否保留？"
                               : u"检测到有智能Marl以前的词组等数据文件，是否保留？";
    if (plat::messageBoxW(text, u"智能Marl安装", plat::mbYesNo) == plat::idYes) state.backupState = 2;
}

// Learnt files that no backup holds are not overwritten.
bool keepUnsavedLearnedFile(const char* name) {
    return state.learnedDataUnsaved != 0 && isLearnedDataFile(name);
}

void extractPayload() {
    for (const char* name : {"vornqvt6.exe", "vornqvtk.exe"}) {
        char path[pathCapacity];
        installPath(name, path, sizeof path);
        plat::setFileAttributes(path, plat::attrArchive);
        deleteFile(path);
    }
    // Without the payload (it is located with the window) nothing can be unpacked: that is the
    // same incomplete extraction the user is told about.
    bool complete = state.payload != nullptr && state.workBuffer != nullptr &&
                    extractAll(state.payload, state.payloadSize, state.workBuffer, workBufferSize,
                               keepUnsavedLearnedFile);
    if (!complete) {
        char text[200];
        formatText(text, sizeof text, "文件解压不完整，请到智能Marl网站%s重新下载安装。", vendorHomePage);
        plat::messageBoxA(text, placementCaption, plat::mbOk);
    }
    // Asked whatever the extraction did: it may have overwritten learnt files already, and the
    // backup is then the only copy of them.
    if (state.backupState == 1) askToKeepUserData();
}

void keepInterfaceModules() {
    if (state.interfaceChoice == 1) {
        for (const char* name : {"vorn320.ime", "vorn321.ime", "vorn640.ime", "vorn641.ime",
                                 "vornel4.ime", "vornel64.ime", "vornel32.ime"})
            removeInstalled(name);
        if (state.windows10 == 1) {
            removeInstalled("csrf732.dll");
            removeInstalled("csrf764.dll");
        } else {
            removeInstalled("vornsrf.dll");
            renameInstalled("csrf732.dll", "vornsrf.dll");
            removeInstalled("vornsrf6.dll");
            renameInstalled("csrf764.dll", "vornsrf6.dll");
        }
    } else {
        for (const char* name : {"csrf732.dll", "csrf764.dll", "vornsrf.dll", "vornsrf6.dll"})
            removeInstalled(name);
    }
}

// The first pass places the module of the system's script, patched to this version.
const char* imeSource(int secondPass, bool sixtyFour) {
    if (secondPass) return sixtyFour ? "vornel64.ime" : "vornel4.ime";
    bool traditional = state.oemCodePage == 950;
    const char* name = sixtyFour ? (traditional ? "vorn641.ime" : "vorn640.ime")
                                 : (traditional ? "vorn321.ime" : "vorn320.ime");
    char path[pathCapacity];
    installPath(name, path, sizeof path);
    patchVersionLabel(path);
    return name;
}

}  // namespace

bool patchVersionLabel(const char* path) {
    if (state.workBuffer == nullptr) return false;
    plat::FileHandle file = plat::lopen(path, plat::ofRead);
    if (file == plat::fileError) return false;
    // A file larger than the limit is left as it is rather than cut short.
    long size = plat::llseek(file, 0, plat::seekEnd);
    bool rewound = plat::llseek(file, 0, plat::seekSet) == 0;
    if (size < 0 || !rewound) {
        plat::lclose(file);
        return false;
    }
    if (static_cast<size_t>(size) > versionPatchLimit) {
        plat::lclose(file);
        return true;
    }
    unsigned read = plat::lread(file, state.workBuffer, versionPatchLimit);
    plat::lclose(file);
    if (read != static_cast<unsigned>(size)) return false;

    uint8_t* bytes = state.workBuffer;
    patchVersionLabelBytes(bytes, read);
    plat::FileHandle out = plat::lcreat(path, 0);
    if (out == plat::fileError) return false;
    bool written = plat::lwrite(out, bytes, read) == read;
    plat::lclose(out);
    return written;
}

void copyModuleVerified(const char* sourceName, const char* targetName, int code) {
    // Only the payload's content goes into a system directory or the Windows directory: checked
    // through a handle that lets nobody write, rename or delete the file until the copy is made
    // (a file planted in the install directory, or changed in it, is never copied).
    char source[pathCapacity];
    installPath(sourceName, source, sizeof source);
    plat::FileHandle held = plat::openDenyingWriters(source);
    if (held == plat::fileError || !heldFileIsPayloadContent(held, sourceName)) {
        if (held != plat::fileError) plat::lclose(held);
        std::u16string fields[] = {u"not placed: not the payload's content", plat::wideFromAnsi(source)};
        logFields(fields, 2);
        reportNotCopied(targetName);
        return;
    }
    copyToTarget(sourceName, targetName, code);
    bool copied = compareWithTarget(sourceName, targetName, code) == 0;
    if (!copied) {
        copyToTarget(sourceName, targetName, code);
        copied = compareWithTarget(sourceName, targetName, code) == 0;
    }
    plat::lclose(held);
    if (!copied) reportNotCopied(targetName);
}

void placeImeModules(int secondPass) {
    redrawCopyingPage();
    plat::sleep(50);
    state.progressPosition = 0;
    state.progressTotal = 64;
    drawProgress();
    if (is64BitWindows()) {
        copyModuleVerified(imeSource(secondPass, false), "vornel4.ime", targetSysWow64);
        copyModuleVerified(imeSource(secondPass, true), "vornel4.ime", targetNativeSystem);
    } else {
        copyModuleVerified(imeSource(secondPass, false), "vornel4.ime", targetSystem32Bit);
    }
    if (secondPass) {
        for (const char* name : {"vorn320.ime", "vorn321.ime", "vorn640.ime", "vorn641.ime"}) {
            char path[pathCapacity];
            installPath(name, path, sizeof path);
            deleteFile(path);
        }
    } else {
        char path[pathCapacity];
        installPath("setupw64.exe", path, sizeof path);
        // Left unpatched, the companion would write the old version: as good as not copied.
        if (!patchVersionLabel(path)) reportNotCopied("setupw64.exe");
    }
}

void installFiles(int secondPass) {
    plat::createDirectory(state.installDir);
    if (state.osMajorVersion > 5) setLowIntegrity();
    state.progressPosition += 1;
    redrawCopyingPage();
    drawProgress();
    plat::sleep(50);

    if (!secondPass) extractPayload();

    state.progressPosition += 1;
    redrawCopyingPage();
    drawProgress();

    char from[pathCapacity];
    char to[pathCapacity];
    for (const char* stem : {"vorncyzk", "vornpyck"}) {
        char name[16];
        formatText(name, sizeof name, "%s.bak", stem);
        installPath(name, from, sizeof from);
        formatText(name, sizeof name, "%s.dat", stem);
        installPath(name, to, sizeof to);
        plat::copyFile(from, to);
    }
    plat::sleep(50);
    state.progressPosition += 2;
    drawProgress();

    keepInterfaceModules();
    advanceProgress();

    if (state.interfaceChoice == 1) {
        if (state.osBits == 32) {
            copyModuleVerified("vornsrf.dll", "vornsrf.dll", targetSystem32Bit);
        } else {
            copyModuleVerified("vornsrf.dll", "vornsrf.dll", targetSysWow64);
            advanceProgress();
            copyModuleVerified("vornsrf6.dll", "vornsrf6.dll", targetNativeSystem);
        }
    } else {
        placeImeModules(secondPass);
        if (secondPass) return;
    }

    advanceProgress();
    copyModuleVerified("vorndel8.exe", "vorndel8.exe", targetWindowsDir);
    advanceProgress();
    // The setup's own copy first: the entry offers the repair through it. Without the entry
    // nothing can uninstall the product: a failure of the install.
    if (!writeUninstallEntry(placeRepairProgram())) {
        std::u16string fields[] = {u"uninstall entry not written"};
        logFields(fields, 1);
        noteOutcome(exitOtherFailure);
    }
    advanceProgress();
}

void finalTsfCheck() {
    if (state.interfaceChoice == 1) {
        const char* differing = nullptr;
        if (state.osBits == 32) {
            if (compareWithTarget("vornsrf.dll", "vornsrf.dll", targetSystem32Bit) != 0)
                differing = "vornsrf.dll";
        } else if (compareWithTarget("vornsrf.dll", "vornsrf.dll", targetSysWow64) != 0) {
            differing = "vornsrf.dll";
        } else if (compareWithTarget("vornsrf6.dll", "vornsrf6.dll", targetNativeSystem) != 0) {
            differing = "vornsrf6.dll";
        }
        if (differing != nullptr) {
            reportNotCopied(differing);
            return;
        }
    }
    verifyTextService();
}
