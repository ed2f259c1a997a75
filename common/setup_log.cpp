#include "common/setup_log.h"

#include <cstring>

#include "common/install_state.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/system.h"

namespace {

plat::FileHandle logFile = plat::fileError;

void appendUtf8(std::string& out, const std::u16string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;  // an unpaired surrogate
        if (c == '\t') out += "\\t";
        else if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c < 0x80) out += static_cast<char>(c);
        else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

}  // namespace

std::u16string isoTime(const plat::LocalTime& t) {
    char text[40];
    int offset = t.offsetMinutes < 0 ? -t.offsetMinutes : t.offsetMinutes;
    formatText(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u%c%02d:%02d", t.year, t.month, t.day, t.hour,
               t.minute, t.second, t.offsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return std::u16string(text, text + std::strlen(text));
}

bool openSetupLog(const char* path, const char* defaultName) {
    closeSetupLog();
    char chosen[dirCapacity + 64];
    if (path != nullptr && path[0] != '\0') {
        if (!copyText(chosen, sizeof chosen, path)) return false;
    } else {
        char temp[dirCapacity];
        if (plat::getTempPath(temp, sizeof temp) == 0) return false;
        if (!formatText(chosen, sizeof chosen, "%s%s", temp, defaultName)) return false;
    }
    // A folder every user may write to (the system's temporary folder, under SYSTEM) can hold a
    // link or a file of another user's under the name: it is never written through; a fresh
    // name beside it takes the log ("vornsetup-2.log", ...).
    logFile = plat::openOwnFileForWriting(chosen, true);
    for (int n = 2; logFile == plat::fileError && n <= 9 && plat::getFileAttributes(chosen) != plat::invalidAttributes;
         ++n) {
        char fresh[sizeof chosen + 4];
        const char* dot = std::strrchr(chosen, '.');
        const char* slash = std::strrchr(chosen, '\\');
        size_t stem = dot != nullptr && (slash == nullptr || dot > slash) ? static_cast<size_t>(dot - chosen)
                                                                          : std::strlen(chosen);
        if (!formatText(fresh, sizeof fresh, "%.*s-%d%s", static_cast<int>(stem), chosen, n, chosen + stem)) break;
        logFile = plat::openOwnFileForWriting(fresh, true);
    }
    if (logFile == plat::fileError) return false;
    if (plat::llseek(logFile, 0, plat::seekEnd) > 0) {
        std::u16string separator[] = {logSeparator};
        logFields(separator, 1);
    }
    return true;
}

bool setupLogOpen() { return logFile != plat::fileError; }

void logFields(const std::u16string* fields, size_t count) {
    if (logFile == plat::fileError) return;
    std::string line;
    appendUtf8(line, isoTime(plat::getLocalTime()));
    for (size_t i = 0; i < count; ++i) {
        line += '\t';
        appendUtf8(line, fields[i]);
    }
    line += "\r\n";
    // A short write is not retried: the install never waits on its log.
    plat::lwrite(logFile, line.data(), static_cast<unsigned>(line.size()));
}

void closeSetupLog() {
    if (logFile == plat::fileError) return;
    plat::lclose(logFile);
    logFile = plat::fileError;
}
