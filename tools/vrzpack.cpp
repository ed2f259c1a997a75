// vrzpack: creates, lists, extracts and verifies archive containers, on the same code as the
// setup, for the people who build and inspect payloads.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/install_state.h"
#include "core/text.h"
#include "payload/archive.h"
#include "payload/extraction.h"
#include "platform/files.h"
#include "platform/ui.h"

namespace {

const char* const usage =
    "usage: vrzpack add ARCHIVE FILE...     append files (the container is created when missing)\n"
    "       vrzpack list ARCHIVE            one line per entry: name, layout, compressed and\n"
    "                                       inflated length, digest\n"
    "       vrzpack extract ARCHIVE DIR     unpack every entry into DIR, checking digests\n"
    "       vrzpack verify ARCHIVE DIR      check the files in DIR against the container\n"
    "       vrzpack --help\n"
    "Names are at most 12 characters; they are stored in GBK.\n";

void say(bool error, const std::string& gbkText) {
    plat::writeConsole(error, plat::wideFromGbk(gbkText.c_str()));
}

int printMessage(const char16_t* text, const char16_t*, unsigned) {
    plat::writeConsole(true, std::u16string(text) + u"\n");
    return plat::idOk;
}

// Paths with either separator; the setup's code splits on backslashes.
std::string argumentPath(const char* argument) {
    std::string path = plat::nativeArgument(argument);
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

bool readWhole(const std::string& path, std::vector<uint8_t>& bytes) {
    plat::FileHandle file = plat::lopen(path.c_str(), plat::ofRead);
    if (file == plat::fileError) return false;
    long size = plat::llseek(file, 0, plat::seekEnd);
    plat::llseek(file, 0, plat::seekSet);
    bytes.assign(size > 0 ? static_cast<size_t>(size) : 0, 0);
    unsigned read = bytes.empty() ? 0 : plat::lread(file, bytes.data(), static_cast<unsigned>(bytes.size()));
    plat::lclose(file);
    if (read == plat::ioError) return false;
    bytes.resize(read);
    return true;
}

bool holdsName(const std::string& archive, const char* name) {
    std::vector<uint8_t> bytes;
    if (!readWhole(archive, bytes)) return false;
    ArchiveWalk walk(bytes.data(), bytes.size());
    ArchiveEntry entry;
    while (walk.next(entry))
        if (std::strncmp(entry.nameField, name, entry.nameFieldSize) == 0) return true;
    return false;
}

int add(const std::string& archive, int count, char** files) {
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        std::string path = argumentPath(files[i]);
        if (appendEntry(archive.c_str(), path.c_str()) == 1) continue;
        ++failures;
        size_t cut = path.rfind('\\');
        std::string name = (cut == std::string::npos || cut == 0) ? path : path.substr(cut + 1);
        std::string why;
        plat::FileHandle probe = path.empty() ? plat::fileError : plat::lopen(path.c_str(), plat::ofRead);
        if (probe != plat::fileError) plat::lclose(probe);
        if (path.empty()) why = "empty path";
        else if (name.size() > maxEntryName) why = "name too long (more than 12 characters)";
        else if (probe == plat::fileError) why = "unreadable";
        else if (holdsName(archive, name.c_str())) why = "duplicate name";
        else why = "container damaged, of the older layout, or not writable";
        say(true, "vrzpack: " + path + ": " + why + "\n");
    }
    return failures == 0 ? 0 : 1;
}

int list(const std::string& archive) {
    std::vector<uint8_t> bytes;
    if (!readWhole(archive, bytes)) {
        say(true, "vrzpack: cannot read " + archive + "\n");
        return 1;
    }
    ArchiveWalk walk(bytes.data(), bytes.size());
    std::vector<uint8_t> inflated(0x200000);
    ArchiveEntry entry;
    while (walk.next(entry)) {
        char name[100];
        entryName(entry, name, sizeof name);
        uint32_t length = inflateEntry(entry, inflated.data(), inflated.size());
        char line[256];
        formatText(line, sizeof line, "%-12s  %s  %10u  %10s  %.32s\n", name,
                   entry.currentLayout ? "current" : "older  ", entry.compressedLength,
                   length > 0 ? std::to_string(length).c_str() : "damaged",
                   entry.currentLayout ? entry.digest : "-");
        say(false, line);
    }
    if (walk.stoppedEarly()) {
        char line[160];
        formatText(line, sizeof line,
                   "vrzpack: damaged container: the walk stopped at entry %u of %u (offset %lu)\n",
                   walk.visited() + 1, walk.entryCount(), static_cast<unsigned long>(walk.offset()));
        say(true, line);
        return 1;
    }
    return 0;
}

bool useDirectory(const std::string& dir) {
    std::string withSlash = dir;
    if (!withSlash.empty() && withSlash.back() != '\\') withSlash += '\\';
    if (withSlash.size() >= dirCapacity) {
        say(true, "vrzpack: directory name too long: " + dir + "\n");
        return false;
    }
    copyText(state.installDir, withSlash.c_str());
    return true;
}

int extract(const std::string& archive, const std::string& dir) {
    std::vector<uint8_t> bytes;
    if (!readWhole(archive, bytes)) {
        say(true, "vrzpack: cannot read " + archive + "\n");
        return 1;
    }
    if (!useDirectory(dir)) return 1;
    plat::createDirectory(dir.c_str());
    std::vector<uint8_t> scratch(workBufferSize, 0);
    return extractAll(bytes.data(), bytes.size(), scratch.data(), scratch.size()) ? 0 : 1;
}

int verify(const std::string& archive, const std::string& dir) {
    std::vector<uint8_t> bytes;
    if (!readWhole(archive, bytes)) {
        say(true, "vrzpack: cannot read " + archive + "\n");
        return 1;
    }
    if (!useDirectory(dir)) return 1;
    std::vector<char> failure(workBufferSize, '\0');
    ArchiveWalk walk(bytes.data(), bytes.size());
    uint32_t good = verifyAll(bytes.data(), bytes.size(), failure.data(), failure.size(), "");
    if (failure[0] != '\0') say(true, std::string(failure.data()) + "\n");
    return good == walk.entryCount() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    plat::setMessageSink(printMessage);
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "--help" || command == "-h") {
        std::fputs(usage, stdout);
        return 0;
    }
    if (command == "add" && argc >= 4) return add(argumentPath(argv[2]), argc - 3, argv + 3);
    if (command == "list" && argc == 3) return list(argumentPath(argv[2]));
    if (command == "extract" && argc == 4) return extract(argumentPath(argv[2]), argumentPath(argv[3]));
    if (command == "verify" && argc == 4) return verify(argumentPath(argv[2]), argumentPath(argv[3]));
    std::fputs(usage, stderr);
    return 2;
}
