#include "programs/command_line.h"

#include <cstring>

#include "common/text.h"

namespace {

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool startsWithSwitch(const char* token, const char* prefix) {
    for (; *prefix != '\0'; ++token, ++prefix)
        if (upperAscii(*token) != *prefix) return false;
    return true;
}

}  // namespace

bool sameSwitch(const char* token, const char* name) {
    for (; *token != '\0' && *name != '\0'; ++token, ++name)
        if (upperAscii(*token) != *name) return false;
    return *token == *name;
}

const char* nextToken(const char* at, char* token, size_t capacity, bool& cut) {
    while (*at == ' ' || *at == '\t') ++at;
    size_t length = 0;
    bool quoted = false;
    cut = false;
    for (; *at != '\0' && (quoted || (*at != ' ' && *at != '\t')); ++at) {
        if (*at == '"') {
            quoted = !quoted;
            continue;
        }
        if (length + 1 < capacity) token[length++] = *at;
        else cut = true;
    }
    token[length] = '\0';
    return at;
}

namespace {

void keepUnknown(SetupCommandLine& out, const char* token) {
    if (out.unknownCount < unknownSwitchCount) copyText(out.unknown[out.unknownCount++], switchCapacity, token);
}

// "/NAME=value" with one of two values (any case): 1 for the first, 0 for the second. Any other
// value makes the command line invalid.
void readChoice(SetupCommandLine& out, const char* token, size_t nameLength, const char* first,
                const char* second, int& choice) {
    const char* value = token + nameLength;
    if (sameSwitch(value, first)) choice = 1;
    else if (sameSwitch(value, second)) choice = 0;
    else if (out.invalid[0] == '\0') copyText(out.invalid, switchCapacity, token);
}

}  // namespace

SetupCommandLine parseCommandLine(const char* commandLine) {
    SetupCommandLine out;
    if (commandLine == nullptr) return out;
    bool silentSwitch = false;
    char token[logPathCapacity + 8];
    for (const char* at = commandLine; *at != '\0';) {
        bool cut = false;
        at = nextToken(at, token, sizeof token, cut);
        if (sameSwitch(token, "-S")) silentSwitch = true;
        if (token[0] != '/') continue;  // the words are read as containsWord reads them
        if (sameSwitch(token, "/S") || sameSwitch(token, "/VERYSILENT") || sameSwitch(token, "/SILENT") ||
            sameSwitch(token, "/QUIET")) {
            silentSwitch = true;
        } else if (sameSwitch(token, "/SUPPRESSMSGBOXES") || sameSwitch(token, "/NORESTART")) {
            // Nothing to change: see the header.
        } else if (sameSwitch(token, "/?") || sameSwitch(token, "/HELP")) {
            out.help = true;
        } else if (startsWithSwitch(token, "/INTERFACE=")) {
            readChoice(out, token, 11, "TSF", "IME", out.interfaceChoice);
        } else if (startsWithSwitch(token, "/EDITION=")) {
            readChoice(out, token, 9, "PINYIN", "WUBI", out.editionChoice);
        } else if (sameSwitch(token, "/REMOVEDATA")) {
            out.removeData = true;
        } else if (sameSwitch(token, "/CHECK")) {
            out.check = true;
        } else if (sameSwitch(token, "/REPAIR")) {
            out.repair = true;
        } else if (sameSwitch(token, "/LOG")) {
            out.logRequested = true;
        } else if (startsWithSwitch(token, "/LOG=")) {
            // A path too long for the log's name is no path to write to either.
            char path[logPathCapacity];
            if (!cut && copyText(path, sizeof path, token + 5)) {
                out.logRequested = true;
                copyText(out.logPath, logPathCapacity, path);
            } else {
                keepUnknown(out, token);
            }
        } else {
            keepUnknown(out, token);
        }
    }
    if (out.check) out.repair = false;
    out.silent = !containsWord(commandLine, "regvr32") &&
                 (silentSwitch || containsWord(commandLine, "setvrsrf32"));
    return out;
}

bool containsWord(const char* commandLine, const char* word) {
    if (commandLine == nullptr || word == nullptr) return false;
    size_t wordLength = std::strlen(word);
    if (wordLength == 0) return true;
    for (const char* start = commandLine; *start != '\0'; ++start) {
        size_t i = 0;
        for (; i < wordLength; ++i) {
            char c = start[i];
            if (c == '\0') return false;
            char folded = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
            if (folded != word[i] && c != word[i]) break;
        }
        if (i == wordLength) return true;
    }
    return false;
}
