// vrzpack: creates, lists, extracts and verifies archive containers, on the same code as the
// setup, for the people who build and inspect payloads.
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "common/install_state.h"
#include "common/text.h"
#include "payload/archive.h"
#include "payload/extraction.h"
#include "platform/files.h"
#include "platform/ui.h"

namespace {

const char* const usage =
    "usage: vrzpack add ARCHIVE FILE...     append files (the container is created when missing)\n"
    "       vrzpack list ARCHIVE            one line per entry: name, layout, compressed and\n"
    "                                       inflated length, digest\n"
    "       vrzpack extract ARCHIVE DIR     unpack every entry into DIR, checking digests; each\n"
    "                                       file is written exactly as the container holds it\n"
    "       vrzpack verify ARCHIVE DIR      check the files in DIR against the container\n"
    "       vrzpack --help\n"
    "Names are at most 12 characters; they are stored in GBK. A name the setup does not write a\n"
    "file under (a path, a device such as CON, LPT1 or CONIN$, a control character, a trailing\n"
    "dot or blank, a separator in the system's code page) is neither packed nor unpacked; list\n"
    "shows it escaped (\\xHH) and marked \"refused\".\n"
    "Exit status:\n"
    "  0  the command did all it was asked\n"
    "  1  it did not: add: a file not packed; list: an entry's name refused, an entry that does\n"
    "     not inflate, or the walk stopped at a damaged entry; extract: an entry not written; verify: a file missing or\n"
    "     different; any command: an archive that is not a container (empty, or shorter than\n"
    "     its 10-byte header), that cannot be read, or that is too large to read\n"
    "  2  the command line is not understood\n";

// A container's size field has 32 bits, and it is read in one call that takes at most that.
constexpr unsigned long long containerLimit = 0xFFFFFFFFull;

// Control characters never reach the terminal raw (a name in a container could move the cursor
// or retitle the window): they are shown as \xHH. Line ends stay.
std::u16string visible(const std::u16string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        bool lineEnd = c == u'\n' || (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n');
        if (lineEnd || (c >= 0x20 && c < 0x7F) || c > 0x9F) {
            out += c;
            continue;
        }
        static const char16_t digits[] = u"0123456789ABCDEF";
        out += u"\\x";
        out += digits[(c >> 4) & 0xF];
        out += digits[c & 0xF];
    }
    return out;
}

void say(bool error, const std::string& gbkText) {
    plat::writeConsole(error, visible(plat::wideFromGbk(gbkText.c_str())));
}

int printMessage(const char16_t* text, const char16_t*, unsigned) {
    plat::writeConsole(true, visible(std::u16string(text)) + u"\n");
    return plat::idOk;
}

// The bytes as printable ASCII, a backslash and a quote escaped and every other byte as \xHH:
// what a refused name holds, shown without ambiguity.
std::string escaped(const char* bytes, size_t length, bool quoted) {
    std::string out = quoted ? "\"" : "";
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (quoted && (c == '\\' || c == '"')) {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            formatText(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return quoted ? out + "\"" : out;
}

// Paths with either separator; the setup's code splits on backslashes.
std::string argumentPath(const char* argument) {
    std::string path = plat::nativeArgument(argument);
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

struct Container {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
};

enum class Load { ok, unreadable, tooLarge, noMemory, notContainer };

// The whole file, when it can be a container at all.
Load load(const std::string& path, Container& container, unsigned long long& size) {
    size = 0;
    plat::FileHandle file = plat::lopen(path.c_str(), plat::ofRead);
    if (file == plat::fileError) return Load::unreadable;
    long end = plat::llseek(file, 0, plat::seekEnd);
    // A size that cannot be taken (beyond 2 GB on 32-bit Windows) is no empty file.
    Load result = Load::ok;
    if (end < 0 || static_cast<unsigned long long>(end) > containerLimit) result = Load::tooLarge;
    else if (static_cast<size_t>(end) < containerHeaderSize) result = Load::notContainer;
    else if (plat::llseek(file, 0, plat::seekSet) != 0) result = Load::unreadable;
    if (end >= 0) size = static_cast<unsigned long long>(end);
    if (result == Load::ok) {
        container.bytes.reset(new (std::nothrow) uint8_t[static_cast<size_t>(end)]);
        if (!container.bytes) result = Load::noMemory;
    }
    if (result == Load::ok) {
        unsigned read = plat::lread(file, container.bytes.get(), static_cast<unsigned>(end));
        if (read != static_cast<unsigned>(end)) result = Load::unreadable;
        else container.size = read;
    }
    plat::lclose(file);
    return result;
}

void reportLoad(const std::string& path, Load result, unsigned long long size) {
    char detail[160] = "";
    switch (result) {
        case Load::ok:
            return;
        case Load::unreadable:
            copyText(detail, "cannot read it");
            break;
        case Load::tooLarge:
            if (size > containerLimit)
                formatText(detail, sizeof detail,
                           "too large to read (%llu bytes; a container holds at most %llu)", size,
                           containerLimit);
            else
                copyText(detail, "too large to read (its size cannot be taken)");
            break;
        case Load::noMemory:
            formatText(detail, sizeof detail, "too large to read (no memory for %llu bytes)", size);
            break;
        case Load::notContainer:
            formatText(detail, sizeof detail,
                       "not a container (%llu bytes, shorter than the 10-byte container header)",
                       size);
            break;
    }
    say(true, "vrzpack: " + path + ": " + detail + "\n");
}

// The container, or false once the reason has been told.
bool loadReported(const std::string& path, Container& container) {
    unsigned long long size = 0;
    Load result = load(path, container, size);
    reportLoad(path, result, size);
    return result == Load::ok;
}

bool holdsName(const std::string& archive, const char* name) {
    Container container;
    unsigned long long size = 0;
    if (load(archive, container, size) != Load::ok) return false;
    ArchiveWalk walk(container.bytes.get(), container.size);
    ArchiveEntry entry;
    while (walk.next(entry))
        if (std::strncmp(entry.nameField, name, entry.nameFieldSize) == 0) return true;
    return false;
}

int add(const std::string& archive, int count, char** files) {
    // A file that is there but cannot hold even a header is not made into one.
    plat::FileHandle existing = plat::lopen(archive.c_str(), plat::ofRead);
    if (existing != plat::fileError) {
        long size = plat::llseek(existing, 0, plat::seekEnd);
        plat::lclose(existing);
        if (size >= 0 && static_cast<size_t>(size) < containerHeaderSize) {
            reportLoad(archive, Load::notContainer, static_cast<unsigned long long>(size));
            return 1;
        }
    }
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
        else if (!isSafeEntryName(name.c_str(), name.size()))
            why = "name refused (a device, a path, or a character not allowed in file names)";
        else if (probe == plat::fileError) why = "unreadable";
        else if (holdsName(archive, name.c_str())) why = "duplicate name";
        else why = "container damaged, of the older layout, or not writable";
        say(true, "vrzpack: " + path + ": " + why + "\n");
    }
    return failures == 0 ? 0 : 1;
}

int list(const std::string& archive) {
    Container container;
    if (!loadReported(archive, container)) return 1;
    ArchiveWalk walk(container.bytes.get(), container.size);
    std::vector<uint8_t> inflated(0x200000);
    ArchiveEntry entry;
    bool refused = false;
    while (walk.next(entry)) {
        char name[100];
        bool safe = entryName(entry, name, sizeof name);
        size_t stored = 0;
        while (stored < entry.nameFieldSize && entry.nameField[stored] != '\0') ++stored;
        std::string shown = safe ? std::string(name) : escaped(entry.nameField, stored, true);
        size_t digestLength = 0;
        if (entry.currentLayout)
            while (digestLength < 32 && entry.digest[digestLength] != '\0') ++digestLength;
        std::string digest = entry.currentLayout ? escaped(entry.digest, digestLength, false) : "-";
        uint32_t length = inflateEntry(entry, inflated.data(), inflated.size());
        // An empty file packed is an entry that inflates to nothing; anything else that gives
        // no bytes does not inflate.
        uint8_t none[1];
        uLongf noneLength = sizeof none;
        bool empty = length == 0 && uncompress(none, &noneLength, entry.data, entry.compressedLength) == Z_OK &&
                     noneLength == 0;
        char columns[96];
        formatText(columns, sizeof columns, "  %s  %10u  %10s  ",
                   entry.currentLayout ? "current" : "older  ", entry.compressedLength,
                   length > 0 || empty ? std::to_string(length).c_str() : "damaged");
        std::string line = shown;
        if (line.size() < 12) line.resize(12, ' ');
        line += columns + digest + (safe ? "" : "  refused") + "\n";
        say(false, line);
        // An entry that does not inflate is as much a failure as a name refused.
        refused = refused || !safe || (length == 0 && !empty);
    }
    if (walk.stoppedEarly()) {
        char line[160];
        formatText(line, sizeof line,
                   "vrzpack: damaged container: the walk stopped at entry %u of %u (offset %lu)\n",
                   walk.visited() + 1, walk.entryCount(), static_cast<unsigned long>(walk.offset()));
        say(true, line);
        return 1;
    }
    return refused ? 1 : 0;
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
    Container container;
    if (!loadReported(archive, container)) return 1;
    if (!useDirectory(dir)) return 1;
    plat::createDirectory(dir.c_str());
    std::vector<uint8_t> scratch(workBufferSize, 0);
    // The setup's normalisation of a restored phrase library and its lock on programs are its
    // own business: the tool unpacks what the container holds, so that verify agrees, and leaves
    // the files its user's to change.
    lockExtractedPrograms(false);
    return extractAll(container.bytes.get(), container.size, scratch.data(), scratch.size(),
                      nullptr, PhraseBackup::asStored)
               ? 0
               : 1;
}

int verify(const std::string& archive, const std::string& dir) {
    Container container;
    if (!loadReported(archive, container)) return 1;
    if (!useDirectory(dir)) return 1;
    std::vector<char> failure(workBufferSize, '\0');
    ArchiveWalk walk(container.bytes.get(), container.size);
    uint32_t good = verifyAll(container.bytes.get(), container.size, failure.data(),
                              failure.size(), "");
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
