#include "platform/security.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/sim/machine.h"

namespace plat {

namespace {
sim::Machine& machine() { return *sim::current(); }

// The entries of an SDDL DACL text "D:(...)(...)": blanks between them are allowed, as the
// conversion call allows them.
bool parseDacl(const std::string& sddl, std::vector<std::string>& entries, bool* protectedDacl = nullptr) {
    size_t at = sddl.find("D:");
    if (at == std::string::npos) return false;
    at += 2;
    // The DACL's flags come before its entries: P (protected), AI, AR.
    size_t flags = at;
    while (at < sddl.size() && sddl[at] >= 'A' && sddl[at] <= 'Z') ++at;
    if (protectedDacl != nullptr) *protectedDacl = sddl.substr(flags, at - flags).find('P') != std::string::npos;
    while (at < sddl.size()) {
        if (sddl[at] == ' ') {
            ++at;
            continue;
        }
        if (sddl[at] != '(') return false;
        size_t end = sddl.find(')', at);
        if (end == std::string::npos) return false;
        entries.push_back(sddl.substr(at, end - at + 1));
        at = end + 1;
    }
    return true;
}
}  // namespace

bool createDirectoryWithSddl(const char* path, const char* sddl) {
    sim::Machine& m = machine();
    std::vector<std::string> entries;
    if (m.sddlConversionFails || !parseDacl(sddl, entries)) return false;
    if (!createDirectory(path)) return false;
    m.accessEntries[m.normalize(path)] = entries;
    return true;
}

FileHandle createFileWithSddl(const char* path, const char* sddl) {
    sim::Machine& m = machine();
    std::vector<std::string> entries;
    bool isProtected = false;
    if (m.sddlConversionFails || !parseDacl(sddl, entries, &isProtected)) return lcreat(path, 0);
    FileHandle file = lcreat(path, 0);
    if (file == fileError) return fileError;
    std::string key = m.normalize(path);
    m.accessEntries[key] = entries;
    if (isProtected) m.protectedAccess.push_back(key);
    return file;
}

// The account the machine's process runs as, by the name it has.
bool runsAsLocalSystem() { return machine().userName == "SYSTEM"; }

bool getUserName(char* out, unsigned capacity) {
    const std::string& name = machine().userName;
    if (capacity == 0 || name.size() >= capacity) {
        if (capacity > 0) out[0] = '\0';
        return false;
    }
    std::memcpy(out, name.c_str(), name.size() + 1);
    return true;
}

bool setProtectedAccess(const char* path, const char* sddl) {
    sim::Machine& m = machine();
    std::vector<std::string> entries;
    bool isProtected = false;
    if (m.sddlConversionFails || !parseDacl(sddl, entries, &isProtected) || !isProtected) return false;
    if (!m.exists(path) || m.writeDenied(path)) return false;
    std::string key = m.normalize(path);
    m.accessEntries[key] = entries;
    m.protectedAccess.push_back(key);
    return true;
}

bool grantFullAccess(const char* path, const char* account) {
    sim::Machine& m = machine();
    std::string key = m.normalize(path);
    if (!m.isDirectory(path) && !m.exists(path)) return false;
    if (std::find(m.unreadableAccess.begin(), m.unreadableAccess.end(), key) !=
        m.unreadableAccess.end())
        return false;
    m.accessEntries[key].push_back(std::string("(A;OICI;GA;;;") + account + ")");
    return true;
}

}  // namespace plat
