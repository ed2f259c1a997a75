#include "common/file_ops.h"

#include <cstring>

#include "common/install_state.h"
#include "common/learned_data.h"
#include "common/outcome.h"
#include "common/product_files.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/ui.h"

namespace {
constexpr size_t pathCapacity = 260;
constexpr const char* copyCaption = "智能Marl(Qolvane)安装";
}  // namespace

int deleteFile(const char* path) {
    plat::setFileAttributes(path, plat::attrArchive);
    plat::FileHandle file = plat::lopen(path, plat::ofRead);
    if (file == plat::fileError) return 0;
    plat::lclose(file);
    return plat::deleteFile(path) ? 0 : -1;
}

namespace {

// The rename of moveAside; false when no name could be taken. The aside name is cleared
// first and deleted later, maybe at the restart, when the reinstalled files are there: it is
// never a file the setup installs nor one the user keeps.
bool renameAside(const char* path, char* aside, size_t capacity) {
    if (!copyText(aside, capacity, path)) return false;
    size_t length = std::strlen(aside);
    if (length < 5) return false;  // no fifth-last character to change
    for (size_t m = 0; m < asideMarkCount; ++m) {
        aside[length - 5] = asideMarks[m];
        const char* bare = std::strrchr(aside, '\\');
        bare = bare != nullptr ? bare + 1 : aside;
        if (isUserDataFile(bare) || isInstalledName(bare) || sameTextIgnoringCase(aside, path)) continue;
        deleteFile(aside);
        if (plat::moveFile(path, aside)) return true;
    }
    return false;
}

}  // namespace

void moveAside(const char* path) {
    char aside[pathCapacity];
    if (!renameAside(path, aside, sizeof aside)) return;
    // Left behind for good otherwise: nothing else ever removes the old module. Until the
    // restart the running programs keep the old one.
    if (!plat::deleteFile(aside) && plat::scheduleDeleteAtRestart(aside)) noteOutcome(exitRestartNeeded);
}

namespace {
// Windows' error number of the last removal that failed.
uint32_t removalFailure = 0;

Removal failedWith(uint32_t error) {
    removalFailure = error;
    return Removal::failed;
}
}  // namespace

Removal removeProductFile(const char* path) {
    uint32_t attributes = plat::getFileAttributes(path);
    if (attributes == plat::invalidAttributes) return Removal::absent;
    if ((attributes & plat::attrDirectory) != 0) return failedWith(plat::errorAccessDenied);
    plat::setFileAttributes(path, plat::attrArchive);
    if (plat::deleteFile(path)) return Removal::removed;
    // Why the file itself would not go: what the log tells if nothing else helps.
    uint32_t error = plat::getLastError();
    // Recorded again under another name, it would only be a second entry for the same file.
    if (plat::deleteRecordedAtRestart(path)) return Removal::waiting;
    char aside[pathCapacity];
    if (renameAside(path, aside, sizeof aside)) {
        if (plat::deleteFile(aside)) return Removal::removed;
        return plat::scheduleDeleteAtRestart(aside) ? Removal::atRestart : failedWith(plat::getLastError());
    }
    // A delete recorded under the file's own name would take a reinstalled file at the restart.
    return failedWith(error);
}

uint32_t lastRemovalError() { return removalFailure; }

void copyModule(const char* sourceName, const char* targetName) {
    char source[pathCapacity];
    char target[pathCapacity];
    formatText(source, sizeof source, "%s%s", state.installDir, sourceName);
    formatText(target, sizeof target, "%s\\%s", state.systemDir, targetName);
    plat::setFileAttributes(target, plat::attrArchive);
    if (plat::copyFile(source, target)) return;

    const char* message;
    if (plat::lastError() == plat::errorFileNotFound) {
        message = "安装包没有成功解压%s文件，请重新下载安装！";
    } else {
        // A module still loaded by running programs can be renamed but not overwritten.
        moveAside(target);
        if (plat::copyFile(source, target)) return;
        message = "没有成功复制%s文件，请退出安装程序并手动删除该文件后重新安装！";
    }
    char text[pathCapacity + 128];
    formatText(text, sizeof text, message, target);
    plat::messageBoxA(text, copyCaption, plat::mbOk);
}

namespace {
void (*removalObserver)(Removal, const char*) = nullptr;
}

void setRemovalObserver(void (*observer)(Removal result, const char* what)) { removalObserver = observer; }

void countRemoval(RemovalTally& tally, Removal result, const char* what) {
    switch (result) {
        case Removal::absent: return;
        case Removal::removed: ++tally.removed; break;
        case Removal::atRestart: ++tally.atRestart; break;
        case Removal::waiting: ++tally.waiting; break;
        case Removal::failed: ++tally.failed; break;
    }
    if (removalObserver != nullptr) removalObserver(result, what);
}

Removal removeCounted(RemovalTally& tally, const char* path) {
    Removal result = removeProductFile(path);
    countRemoval(tally, result, path);
    return result;
}

void countRegistryRemoval(RemovalTally& tally, int result, const char* what, uint32_t error) {
    if (result > 0) {
        tally.removed += static_cast<unsigned>(result);
        if (removalObserver != nullptr) removalObserver(Removal::removed, what);
    } else if (result < 0) {
        removalFailure = error;
        countRemoval(tally, Removal::failed, what);
    }
}
