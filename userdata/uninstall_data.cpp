#include "userdata/uninstall_data.h"

#include <cstring>

#include "common/install_state.h"
#include "common/learned_data.h"
#include "common/product_files.h"
#include "common/text.h"
#include "platform/files.h"
#include "userdata/backup.h"

namespace {

constexpr size_t pathCapacity = previousDirCapacity + 270;
constexpr const char* filerName = "filer";

bool isDotName(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// A file the setup installs or leaves behind, and not the user's.
bool isProductFile(const char* name) {
    if (isUserDataFile(name)) return false;
    return isInstalledName(name) || isAsideName(name) || sameTextIgnoringCase(name, backupBuildName);
}

// A ".bak" copy the backup made of a learnt library (not a file packed under its own name).
bool isPackedCopy(const char* name) {
    for (size_t i = 0; i < learnedDataFileCount; ++i) {
        const LearnedDataFile& file = learnedDataFiles[i];
        if (!sameTextIgnoringCase(file.name, file.packedName) && sameTextIgnoringCase(name, file.packedName))
            return true;
    }
    return false;
}

// Calls `each` with every name in `dir` (ending in a backslash) and whether it is a folder.
// False when the directory is there but could not be listed: what is in it is unknown.
template <class Each>
bool forEachEntry(const char* dir, Each&& each) {
    char pattern[pathCapacity];
    if (!formatText(pattern, sizeof pattern, "%s*", dir)) return false;
    plat::FindData found;
    plat::FindHandle find = plat::findFirstFile(pattern, found);
    if (find == plat::invalidFind)
        return plat::lastError() == plat::errorFileNotFound || plat::lastError() == plat::errorPathNotFound;
    do {
        found.name[sizeof found.name - 1] = '\0';
        if (!isDotName(found.name)) each(found.name, (found.attributes & plat::attrDirectory) != 0);
    } while (plat::findNextFile(find, found));
    plat::findClose(find);
    return true;
}

// Removes a folder that should be empty now; one whose files go at the restart goes after them.
void removeFolder(const char* path, bool filesAtRestart, RemovalTally& tally) {
    if (plat::removeDirectory(path)) return;
    if (filesAtRestart && (plat::deleteRecordedAtRestart(path) || plat::scheduleDeleteAtRestart(path))) return;
    countRemoval(tally, Removal::failed, path);
}

}  // namespace

bool productFilesPresent(const char* dir) {
    bool found = false;
    // A directory that cannot be listed may hold anything: the uninstall goes on and says so.
    bool listed = forEachEntry(dir, [&](const char* name, bool folder) {
        if (folder ? sameTextIgnoringCase(name, filerName) : isProductFile(name)) found = true;
    });
    return found || !listed;
}

void removeInstallDirectory(const char* dir, bool keepLearnedData, RemovalTally& tally) {
    // Asked of the directory itself, without its backslash: not of what it leads to.
    char bare[pathCapacity];
    copyText(bare, sizeof bare, dir);
    size_t length = std::strlen(bare);
    if (length > 0 && bare[length - 1] == '\\') bare[length - 1] = '\0';
    uint32_t attributes = plat::getFileAttributes(bare);
    if (attributes == plat::invalidAttributes) return;
    // A directory that is a junction is not walked: its deletes would land in its target.
    if ((attributes & plat::attrReparsePoint) != 0) {
        countRemoval(tally, Removal::failed, dir);
        return;
    }
    bool backupComplete = true;
    if (keepLearnedData) {
        copyText(state.previousInstallDir, previousDirCapacity, dir);
        backupUserData();
        // Nothing learnt there (nothing packed, nothing failed) needs no backup. A file only
        // too large to pack stays where it is: the ".bak" copies stay too, but nothing failed.
        backupComplete = state.learnedDataUnsaved == 0;
        if (state.learnedDataUnsaved == 1) countRemoval(tally, Removal::failed, backupFileName);
    }
    unsigned restartBefore = tally.atRestart + tally.waiting;
    bool foreignFolder = false;
    bool listed = forEachEntry(dir, [&](const char* name, bool folder) {
        char path[pathCapacity];
        if (!formatText(path, sizeof path, "%s%s", dir, name)) {
            countRemoval(tally, Removal::failed, name);
            return;
        }
        if (folder) {
            // Only the folder the setup makes; any other is not the product's to remove.
            if (!sameTextIgnoringCase(name, filerName)) {
                foreignFolder = true;
                return;
            }
            // A junction any user can make of the empty folder would take the walk (and its
            // deletes) anywhere: it goes itself, and nothing behind it is looked at.
            if ((plat::getFileAttributes(path) & plat::attrReparsePoint) != 0) {
                countRemoval(tally, plat::removeDirectory(path) ? Removal::removed : Removal::failed, path);
                return;
            }
            unsigned inside = tally.atRestart + tally.waiting;
            char folderPath[pathCapacity];
            if (!formatText(folderPath, sizeof folderPath, "%s\\", path)) return;
            if (!forEachEntry(folderPath, [&](const char* innerName, bool innerFolder) {
                    char inner[pathCapacity];
                    if (!innerFolder && formatText(inner, sizeof inner, "%s%s", folderPath, innerName))
                        removeCounted(tally, inner);
                }))
                countRemoval(tally, Removal::failed, folderPath);
            removeFolder(path, tally.atRestart + tally.waiting != inside, tally);
            return;
        }
        // Keeping the data, only what the setup put there goes: never the user's files, nor a
        // file it does not know (something the user saved there). The ".bak" copies the backup
        // made are in it once it is complete.
        if (keepLearnedData && !isProductFile(name) && !(backupComplete && isPackedCopy(name))) return;
        removeCounted(tally, path);
    });
    if (!listed) {
        countRemoval(tally, Removal::failed, dir);
        return;
    }
    // A folder the product did not make keeps the directory; that is no failure of ours.
    if (keepLearnedData || foreignFolder) return;
    removeFolder(bare, tally.atRestart + tally.waiting != restartBefore, tally);
}
