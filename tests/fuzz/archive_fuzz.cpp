// The container readers: the walk, extraction into the simulated machine (the payload's scratch
// area and a small one), verification, a skin archive read from a file and a backup restored.
// Any input must give a defined result and stay in bounds; the skin archive and the backup
// write only the names they may.
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "common/learned_data.h"
#include "common/locations.h"
#include "fuzz_support.h"
#include "payload/archive.h"
#include "payload/extraction.h"
#include "payload/skins.h"
#include "userdata/backup.h"
#include "userdata/restore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sim::Machine& machine = fuzz::freshMachine();
    computeInstallDir();
    machine.makeDirectories(state.installDir);
    static fuzz::WorkBlock work;
    work.release();
    state.workBuffer = work.data();

    // The container exactly as long as the input, so that reading past it is caught.
    std::unique_ptr<uint8_t[]> container(new uint8_t[size ? size : 1]);
    if (size) std::memcpy(container.get(), data, size);

    ArchiveWalk walk(container.get(), size);
    ArchiveEntry entry;
    char name[100];
    while (walk.next(entry)) {
        bool safe = entryName(entry, name, sizeof name);
        FUZZ_CHECK(fuzz::terminated(name, sizeof name));
        FUZZ_CHECK(!safe || isSafeEntryName(name, std::strlen(name)));
    }

    extractAll(container.get(), size, work.data(), workBufferSize);
    // A small scratch area too, as the skin archives get, and the files as a tool writes them.
    extractAll(container.get(), size, work.data() + workBufferSize - 70000, 70000, nullptr,
               PhraseBackup::asStored);
    char failure[8192];
    verifyAll(container.get(), size, failure, sizeof failure, exemptionList);
    FUZZ_CHECK(fuzz::terminated(failure, sizeof failure));

    // The same bytes as a skin archive and as the backup of an earlier installation, on a
    // machine of its own: files any user can rewrite, so whatever they hold, what comes out is
    // only the skin's files and the learnt files, in the install directory, and nothing else.
    sim::Machine& clean = fuzz::freshMachine();
    computeInstallDir();
    const std::string dir = state.installDir;
    clean.makeDirectories(dir);
    work.release();
    state.workBuffer = work.data();
    std::string bytes(reinterpret_cast<const char*>(data), size);
    clean.writeFile(dir + "skin.vrz", bytes);
    clean.writeFile(dir + backupFileName, bytes);
    const std::set<std::string> before = fuzz::files(clean);
    extractFromFile((dir + "skin.vrz").c_str(), isSkinFileName);
    restoreUserData();
    const std::filesystem::path where = clean.hostPath(dir.substr(0, dir.size() - 1));
    for (const std::string& path : fuzz::files(clean)) {
        if (before.count(path)) continue;
        std::filesystem::path made(path);
        FUZZ_CHECK(made.parent_path() == where);
        std::string name = made.filename().string();
        FUZZ_CHECK(isSkinFileName(name.c_str()) || isUserDataFile(name.c_str()));
    }
    state.workBuffer = nullptr;
    return 0;
}
