#include "platform/registry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <utility>

#include "platform/sim/machine.h"

namespace sim {

std::string upperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

namespace {

// The keys below HKLM\SOFTWARE that both views share, from Microsoft's table "Registry Keys
// Affected by WOW64"
// (https://learn.microsoft.com/en-us/windows/win32/winprog64/shared-registry-keys):
// for Windows 7 and later, and for Vista, Server 2003 and XP x64. Subkeys inherit their
// parent's behaviour; everything else below SOFTWARE is redirected. Reflection (Vista and
// earlier copy some redirected keys between the views when they are closed) is not modelled,
// nor is Classes, which keeps its own Wow6432Node inside it: nothing of the setup's is there.
struct SharedKey {
    const char* path;  // below SOFTWARE
    bool sinceWindows7;
    bool beforeWindows7;
};

constexpr SharedKey sharedKeys[] = {
    {"Clients", true, false},
    {"Microsoft\\COM3", true, false},
    {"Microsoft\\Cryptography\\Calais\\Current", true, true},
    {"Microsoft\\Cryptography\\Calais\\Readers", true, true},
    {"Microsoft\\Cryptography\\Services", true, true},
    {"Microsoft\\CTF\\SystemShared", true, true},
    {"Microsoft\\CTF\\TIP", true, true},
    {"Microsoft\\DFS", true, true},
    {"Microsoft\\Driver Signing", true, true},
    {"Microsoft\\EnterpriseCertificates", true, true},
    {"Microsoft\\EventSystem", true, false},
    {"Microsoft\\MSMQ", true, true},
    {"Microsoft\\Non-Driver Signing", true, true},
    {"Microsoft\\Notepad\\DefaultFonts", true, false},
    {"Microsoft\\OLE", true, false},
    {"Microsoft\\RAS", true, true},
    {"Microsoft\\RPC", true, false},
    {"Microsoft\\Shared Tools\\MSInfo", true, true},
    {"Microsoft\\SystemCertificates", true, true},
    {"Microsoft\\TermServLicensing", true, true},
    {"Microsoft\\TransactionServer", true, true},
    {"Microsoft\\Windows\\CurrentVersion\\App Paths", true, false},
    {"Microsoft\\Windows\\CurrentVersion\\Control Panel\\Cursors\\Schemes", true, true},
    {"Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers", true, false},
    {"Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons", true, false},
    {"Microsoft\\Windows\\CurrentVersion\\Explorer\\KindMap", true, false},
    {"Microsoft\\Windows\\CurrentVersion\\Group Policy", true, true},
    {"Microsoft\\Windows\\CurrentVersion\\Policies", true, true},
    {"Microsoft\\Windows\\CurrentVersion\\PreviewHandlers", true, false},
    {"Microsoft\\Windows\\CurrentVersion\\Setup", true, true},
    {"Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations", true, true},
    {"Microsoft\\Windows NT\\CurrentVersion\\Console", true, false},
    {"Microsoft\\Windows NT\\CurrentVersion\\FontDpi", true, true},
    {"Microsoft\\Windows NT\\CurrentVersion\\FontLink", true, false},
    {"Microsoft\\Windows NT\\CurrentVersion\\FontMapper", true, true},
    {"Microsoft\\Windows NT\\CurrentVersion\\Fonts", true, true},
    {"Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes", true, true},
    {"Microsoft\\Windows NT\\CurrentVersion\\Gre_Initialize", true, false},
    {"Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options", true, false},
    {"Microsoft\\Windows NT\\CurrentVersion\\Language Pack", true, false},
    {"Microsoft\\Windows NT\\CurrentVersion\\NetworkCards", true, true},
    {"Microsoft\\Windows NT\\CurrentVersion\\Perflib", true, true},
    {"Microsoft\\Windows NT\\CurrentVersion\\Ports", true, true},
    {"Microsoft\\Windows NT\\CurrentVersion\\Print", true, true},
    {"Microsoft\\Windows NT\\CurrentVersion\\ProfileList", true, true},
    {"Microsoft\\Windows NT\\CurrentVersion\\Time Zones", true, true},
    {"Policies", true, true},
    {"RegisteredApplications", true, true},
};

// Is the logical path below SOFTWARE (parts[1] on) inside a shared key of this Windows?
bool shared(const std::vector<std::string>& parts, bool windows7OrLater) {
    for (const SharedKey& key : sharedKeys) {
        std::vector<std::string> sharedParts = splitPath(key.path);
        if (parts.size() < sharedParts.size() + 1) continue;
        bool inside = true;
        for (size_t i = 0; inside && i < sharedParts.size(); ++i)
            inside = upperAscii(parts[i + 1]) == upperAscii(sharedParts[i]);
        if (inside) return windows7OrLater ? key.sinceWindows7 : key.beforeWindows7;
    }
    return false;
}

}  // namespace

std::vector<std::string> Registry::physical(Hive hive, std::vector<std::string> parts,
                                            View view) const {
    // A 32-bit process on 64-bit Windows sees HKLM\Software through Wow6432Node, apart from
    // the shared keys. The redirector decides on the whole path, so a path that names
    // Wow6432Node already (or runs through a handle opened there) is judged by the logical
    // path without it.
    bool redirect = hive == Hive::localMachine &&
                    (view == View::redirected || (view == View::process && owner_.wow64));
    if (!redirect || parts.empty() || upperAscii(parts[0]) != "SOFTWARE") return parts;
    if (parts.size() > 1 && upperAscii(parts[1]) == "WOW6432NODE") parts.erase(parts.begin() + 1);
    bool windows7OrLater = owner_.ntMajor > 6 || (owner_.ntMajor == 6 && owner_.ntMinor >= 1);
    if (!shared(parts, windows7OrLater)) parts.insert(parts.begin() + 1, "Wow6432Node");
    return parts;
}

const RegistryKey* Registry::walk(Hive hive, const std::vector<std::string>& physicalPath) const {
    const RegistryKey* key = &root(hive);
    for (const std::string& part : physicalPath) {
        auto it = key->subkeys.find(upperAscii(part));
        if (it == key->subkeys.end()) return nullptr;
        key = it->second.get();
    }
    return key;
}

RegistryKey* Registry::walk(Hive hive, const std::vector<std::string>& physicalPath) {
    return const_cast<RegistryKey*>(std::as_const(*this).walk(hive, physicalPath));
}

void Registry::invalidateHandles(Hive hive, const std::vector<std::string>& physicalPath) {
    for (auto& [handle, open] : handles) {
        if (open.hive != hive || open.path.size() < physicalPath.size()) continue;
        bool within = true;
        for (size_t i = 0; within && i < physicalPath.size(); ++i)
            within = upperAscii(open.path[i]) == upperAscii(physicalPath[i]);
        if (within) open.deleted = true;
    }
}

RegistryKey& Registry::make(Hive hive, const std::string& path, View view) {
    RegistryKey* key = &root(hive);
    for (const std::string& part : physical(hive, splitPath(path), view)) {
        std::unique_ptr<RegistryKey>& slot = key->subkeys[upperAscii(part)];
        if (!slot) {
            slot = std::make_unique<RegistryKey>();
            slot->name = part;
        }
        key = slot.get();
    }
    return *key;
}

RegistryKey* Registry::find(Hive hive, const std::string& path, View view) {
    return walk(hive, physical(hive, splitPath(path), view));
}

bool Registry::exists(Hive hive, const std::string& path, View view) const {
    return walk(hive, physical(hive, splitPath(path), view)) != nullptr;
}

void Registry::remove(Hive hive, const std::string& path, View view) {
    std::vector<std::string> parts = physical(hive, splitPath(path), view);
    if (parts.empty()) return;
    std::string last = parts.back();
    parts.pop_back();
    RegistryKey* parent = walk(hive, parts);
    if (parent == nullptr) return;
    parts.push_back(last);
    invalidateHandles(hive, parts);
    parent->subkeys.erase(upperAscii(last));
}

void Registry::setValue(Hive hive, const std::string& path, const std::string& name,
                        uint32_t type, const std::string& data, View view) {
    make(hive, path, view).values[upperAscii(name)] = RegistryValue{name, type, data};
}

void Registry::setText(Hive hive, const std::string& path, const std::string& name,
                       const std::string& text, View view) {
    setValue(hive, path, name, plat::regSz, text, view);
}

void Registry::setDword(Hive hive, const std::string& path, const std::string& name,
                        uint32_t number, View view) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    setValue(hive, path, name, plat::regDword, bytes, view);
}

std::optional<RegistryValue> Registry::value(Hive hive, const std::string& path,
                                             const std::string& name, View view) const {
    const RegistryKey* key = walk(hive, physical(hive, splitPath(path), view));
    if (key == nullptr) return std::nullopt;
    auto it = key->values.find(upperAscii(name));
    if (it == key->values.end()) return std::nullopt;
    return it->second;
}

std::string Registry::text(Hive hive, const std::string& path, const std::string& name,
                           View view) const {
    std::optional<RegistryValue> found = value(hive, path, name, view);
    return found ? found->data : "<missing>";
}

std::vector<std::string> Registry::subkeyNames(Hive hive, const std::string& path,
                                               View view) const {
    std::vector<std::string> names;
    if (const RegistryKey* key = walk(hive, physical(hive, splitPath(path), view)))
        for (const auto& [upper, sub] : key->subkeys) names.push_back(sub->name);
    return names;
}

std::vector<std::string> Registry::valueNames(Hive hive, const std::string& path,
                                              View view) const {
    std::vector<std::string> names;
    if (const RegistryKey* key = walk(hive, physical(hive, splitPath(path), view)))
        for (const auto& [upper, value] : key->values) names.push_back(value.name);
    return names;
}

}  // namespace sim

namespace plat {

namespace {

// What takeRegistryFailure gives.
uint32_t registryFailure = 0;

long noted(long status) {
    if (status != regOk && status != regFileNotFound && status != 3 && status != regMoreData && status != regNoMoreItems)
        registryFailure = static_cast<uint32_t>(status);
    return status;
}

}  // namespace

// The calls as Windows makes them; the public ones note their failures.
long regCreateKeyViewRaw(RegKey parent, const char* subKey, RegView view, RegKey* result);
long regSetValueRaw(RegKey key, const char* valueName, uint32_t type, const void* data, uint32_t size);
long regDeleteValueRaw(RegKey key, const char* valueName);
long regDeleteKeyRaw(RegKey parent, const char* subKey);
long regOpenKeyViewRaw(RegKey parent, const char* subKey, RegAccess access, RegView view, RegKey* result);
long regDeleteTreeRaw(RegKey parent, const char* subKey, RegView view);

namespace {

sim::Machine& machine() {
    if (sim::Machine* m = sim::current()) return *m;
    std::fputs("no simulated machine for a registry call\n", stderr);
    std::abort();
}

sim::Registry& registry() { return machine().registry; }

bool predefined(RegKey key, sim::Hive& hive) {
    switch (key) {
        case hkeyLocalMachine: hive = sim::Hive::localMachine; return true;
        case hkeyCurrentUser: hive = sim::Hive::currentUser; return true;
        case hkeyUsers: hive = sim::Hive::users; return true;
        default: return false;
    }
}

// The physical path that `subKey` names relative to `parent`; an error code when the parent
// handle is no good. `native` asks for the native view and comes back set when the path is in
// it (a handle opened there keeps its view).
long resolve(RegKey parent, const std::string& subKey, sim::Hive& hive,
             std::vector<std::string>& path, bool* native = nullptr) {
    sim::Registry& r = registry();
    std::vector<std::string> parts = sim::splitPath(subKey);
    bool inNative = native != nullptr && *native;
    if (predefined(parent, hive)) {
        path = r.physical(hive, parts, inNative ? sim::View::native : sim::View::process);
        return regOk;
    }
    auto it = r.handles.find(parent);
    if (it == r.handles.end()) return regInvalidHandle;
    if (it->second.deleted) return regKeyDeleted;
    hive = it->second.hive;
    path = it->second.path;
    path.insert(path.end(), parts.begin(), parts.end());
    inNative = inNative || it->second.native;
    if (native != nullptr) *native = inNative;
    // Below a redirected handle a shared key is still the shared one.
    if (!inNative) path = r.physical(hive, path, sim::View::process);
    return regOk;
}

RegKey newHandle(sim::Hive hive, const std::vector<std::string>& path, bool fullAccess,
                 bool native = false) {
    sim::Registry& r = registry();
    RegKey handle = r.nextHandle;
    r.nextHandle += 4;
    r.handles[handle] = sim::OpenRegistryKey{hive, path, fullAccess, false, native};
    return handle;
}

// Deletes the subkey `name` of `parent` (at `path`, the subkey's own path) with everything
// below it, as a depth-first walk of open, enumerate and delete calls does: a key that cannot
// be opened with full access stays, and so does every key above it; its siblings go.
long deleteSubtree(sim::Hive hive, sim::RegistryKey& parent, const std::string& name,
                   const std::vector<std::string>& path) {
    sim::RegistryKey& key = *parent.subkeys.at(sim::upperAscii(name));
    if (key.unreadable || key.readOnly) return regAccessDenied;
    long result = regOk;
    std::vector<std::string> children;
    for (const auto& [upper, child] : key.subkeys) children.push_back(child->name);
    for (const std::string& child : children) {
        std::vector<std::string> childPath = path;
        childPath.push_back(child);
        if (long status = deleteSubtree(hive, key, child, childPath); status != regOk)
            result = status;
    }
    if (result != regOk) return result;
    registry().invalidateHandles(hive, path);
    parent.subkeys.erase(sim::upperAscii(name));
    return regOk;
}

// The key behind a handle, with an error code when there is none.
long keyOf(RegKey key, sim::RegistryKey*& found, bool* fullAccess = nullptr) {
    sim::Registry& r = registry();
    sim::Hive hive;
    if (predefined(key, hive)) {
        found = r.walk(hive, {});
        if (fullAccess != nullptr) *fullAccess = true;
        return regOk;
    }
    auto it = r.handles.find(key);
    if (it == r.handles.end()) return regInvalidHandle;
    if (it->second.deleted) return regKeyDeleted;
    found = r.walk(it->second.hive, it->second.path);
    if (found == nullptr) return regKeyDeleted;
    if (fullAccess != nullptr) *fullAccess = it->second.fullAccess;
    return regOk;
}

std::string narrow(const char16_t* text) {
    return text == nullptr ? std::string() : sim::toGbk(text);
}

}  // namespace

long regOpenKey(RegKey parent, const char* subKey, RegAccess access, RegKey* result) {
    return regOpenKeyView(parent, subKey, access, RegView::process, result);
}

long regCreateKey(RegKey parent, const char* subKey, RegKey* result) {
    return regCreateKeyView(parent, subKey, RegView::process, result);
}

long regCreateKeyViewRaw(RegKey parent, const char* subKey, RegView view, RegKey* result) {
    *result = noKey;
    if (sim::faultHere("registry create")) return regAccessDenied;
    sim::Hive hive;
    std::vector<std::string> path;
    bool native = view == RegView::native64;
    if (long status = resolve(parent, subKey ? subKey : "", hive, path, &native); status != regOk)
        return status;
    sim::Registry& r = registry();
    // The parent handle's own access does not matter; the keys on the way decide.
    std::vector<std::string> walked;
    sim::RegistryKey* key = r.walk(hive, {});
    for (const std::string& part : path) {
        walked.push_back(part);
        std::unique_ptr<sim::RegistryKey>& slot = key->subkeys[sim::upperAscii(part)];
        if (!slot) {
            if (key->readOnly || key->unreadable) {
                key->subkeys.erase(sim::upperAscii(part));
                return regAccessDenied;
            }
            slot = std::make_unique<sim::RegistryKey>();
            slot->name = part;
        }
        key = slot.get();
    }
    if (key->unreadable || key->readOnly) return regAccessDenied;
    *result = newHandle(hive, path, true, native);
    return regOk;
}

long regQuerySubkeyCount(RegKey key, uint32_t* count) {
    *count = 0;
    sim::RegistryKey* found = nullptr;
    if (long status = keyOf(key, found); status != regOk) return status;
    *count = static_cast<uint32_t>(found->subkeys.size());
    return regOk;
}

long regEnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameLength) {
    sim::RegistryKey* found = nullptr;
    if (long status = keyOf(key, found); status != regOk) return status;
    if (index >= found->subkeys.size()) return regNoMoreItems;
    auto it = found->subkeys.begin();
    std::advance(it, index);
    const std::string& subName = it->second->name;
    // A name that does not fit with its terminator fails; what the buffer then holds is not
    // defined, so it gets the worst a caller can meet: as much of the name as fits, unterminated.
    if (subName.size() + 1 > *nameLength) {
        std::memcpy(name, subName.data(), *nameLength);
        return regMoreData;
    }
    std::memcpy(name, subName.c_str(), subName.size() + 1);
    *nameLength = static_cast<uint32_t>(subName.size());
    return regOk;
}

long regQueryValue(RegKey key, const char* valueName, uint32_t* type, void* data, uint32_t* size) {
    sim::RegistryKey* found = nullptr;
    if (long status = keyOf(key, found); status != regOk) return status;
    auto it = found->values.find(sim::upperAscii(valueName ? valueName : ""));
    if (it == found->values.end()) return regFileNotFound;
    const sim::RegistryValue& value = it->second;
    if (type != nullptr) *type = value.type;
    uint32_t capacity = *size;
    *size = static_cast<uint32_t>(value.data.size());
    if (data == nullptr) return regOk;
    if (value.data.size() > capacity) return regMoreData;
    std::memcpy(data, value.data.data(), value.data.size());
    return regOk;
}

long regSetValueRaw(RegKey key, const char* valueName, uint32_t type, const void* data,
                 uint32_t size) {
    if (sim::faultHere("registry set")) return regAccessDenied;
    sim::RegistryKey* found = nullptr;
    bool fullAccess = false;
    if (long status = keyOf(key, found, &fullAccess); status != regOk) return status;
    if (!fullAccess || found->readOnly) return regAccessDenied;
    if (data == nullptr && size > 0) return regInvalidParameter;
    std::string name = valueName ? valueName : "";
    std::string bytes = size > 0 ? std::string(static_cast<const char*>(data), size) : "";
    found->values[sim::upperAscii(name)] = sim::RegistryValue{name, type, bytes};
    return regOk;
}

// Deletes fail by injection only where there is something to delete: Windows checks access
// on what exists, and a delete of nothing says so whatever the rights.
long regDeleteValueRaw(RegKey key, const char* valueName) {
    sim::RegistryKey* found = nullptr;
    bool fullAccess = false;
    if (long status = keyOf(key, found, &fullAccess); status != regOk) return status;
    if (found->values.count(sim::upperAscii(valueName ? valueName : "")) == 0) return regFileNotFound;
    if (sim::faultHere("registry delete")) return regAccessDenied;
    if (!fullAccess || found->readOnly) return regAccessDenied;
    return found->values.erase(sim::upperAscii(valueName ? valueName : "")) > 0 ? regOk
                                                                             : regFileNotFound;
}

long regDeleteKeyRaw(RegKey parent, const char* subKey) {
    sim::Hive hive;
    std::vector<std::string> path;
    if (long status = resolve(parent, subKey ? subKey : "", hive, path); status != regOk)
        return status;
    // Deleting the parent itself through an empty name is refused, as Windows does.
    if (path.empty() || subKey == nullptr || subKey[0] == '\0') return regAccessDenied;
    sim::Registry& r = registry();
    sim::RegistryKey* key = r.walk(hive, path);
    if (key == nullptr) return regFileNotFound;
    if (sim::faultHere("registry delete")) return regAccessDenied;
    if (key->unreadable || key->readOnly || !key->subkeys.empty()) return regAccessDenied;
    std::string last = path.back();
    std::vector<std::string> parentPath(path.begin(), path.end() - 1);
    r.invalidateHandles(hive, path);
    r.walk(hive, parentPath)->subkeys.erase(sim::upperAscii(last));
    return regOk;
}

long regEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLength, uint32_t* type,
                  void* data, uint32_t* size) {
    sim::RegistryKey* found = nullptr;
    if (long status = keyOf(key, found); status != regOk) return status;
    if (index >= found->values.size()) return regNoMoreItems;
    auto it = found->values.begin();
    std::advance(it, index);
    const sim::RegistryValue& value = it->second;
    // As with subkey names, a name that does not fit leaves the worst: cut, unterminated.
    if (value.name.size() + 1 > *nameLength) {
        std::memcpy(name, value.name.data(), *nameLength);
        return regMoreData;
    }
    std::memcpy(name, value.name.c_str(), value.name.size() + 1);
    *nameLength = static_cast<uint32_t>(value.name.size());
    if (type != nullptr) *type = value.type;
    if (size == nullptr) return regOk;
    uint32_t capacity = *size;
    *size = static_cast<uint32_t>(value.data.size());
    if (data == nullptr) return regOk;
    if (value.data.size() > capacity) return regMoreData;
    std::memcpy(data, value.data.data(), value.data.size());
    return regOk;
}

long regOpenKeyViewRaw(RegKey parent, const char* subKey, RegAccess access, RegView view,
                    RegKey* result) {
    *result = noKey;
    if (sim::faultHere("registry open")) return regAccessDenied;
    sim::Hive hive;
    std::vector<std::string> path;
    bool native = view == RegView::native64;
    if (long status = resolve(parent, subKey ? subKey : "", hive, path, &native); status != regOk)
        return status;
    sim::RegistryKey* key = registry().walk(hive, path);
    if (key == nullptr) return regFileNotFound;
    if (key->unreadable || (access == RegAccess::all && key->readOnly)) return regAccessDenied;
    *result = newHandle(hive, path, access == RegAccess::all, native);
    return regOk;
}

long regDeleteTreeRaw(RegKey parent, const char* subKey, RegView view) {
    if (subKey == nullptr || subKey[0] == '\0') return regInvalidParameter;
    sim::Hive hive;
    std::vector<std::string> path;
    bool native = view == RegView::native64;
    if (long status = resolve(parent, subKey, hive, path, &native); status != regOk)
        return status;
    if (path.empty()) return regInvalidParameter;
    sim::Registry& r = registry();
    std::vector<std::string> parentPath(path.begin(), path.end() - 1);
    sim::RegistryKey* above = r.walk(hive, parentPath);
    if (above == nullptr || r.walk(hive, path) == nullptr) return regFileNotFound;
    if (sim::faultHere("registry delete")) return regAccessDenied;
    return deleteSubtree(hive, *above, path.back(), path);
}

long regCloseKey(RegKey key) {
    sim::Hive hive;
    if (predefined(key, hive)) return regOk;
    return registry().handles.erase(key) > 0 ? regOk : regInvalidHandle;
}

long regOpenKeyW(RegKey parent, const char16_t* subKey, RegAccess access, RegKey* result) {
    return regOpenKey(parent, narrow(subKey).c_str(), access, result);
}

long regCreateKeyW(RegKey parent, const char16_t* subKey, RegKey* result) {
    return regCreateKey(parent, narrow(subKey).c_str(), result);
}

long regSetValueW(RegKey key, const char16_t* valueName, uint32_t type, const void* data,
                  uint32_t size) {
    return regSetValue(key, narrow(valueName).c_str(), type, data, size);
}

long regCreateKeyView(RegKey parent, const char* subKey, RegView view, RegKey* result) { return noted(regCreateKeyViewRaw(parent, subKey, view, result)); }
long regSetValue(RegKey key, const char* valueName, uint32_t type, const void* data, uint32_t size) { return noted(regSetValueRaw(key, valueName, type, data, size)); }
long regDeleteValue(RegKey key, const char* valueName) { return noted(regDeleteValueRaw(key, valueName)); }
long regDeleteKey(RegKey parent, const char* subKey) { return noted(regDeleteKeyRaw(parent, subKey)); }
long regOpenKeyView(RegKey parent, const char* subKey, RegAccess access, RegView view, RegKey* result) { return noted(regOpenKeyViewRaw(parent, subKey, access, view, result)); }
long regDeleteTree(RegKey parent, const char* subKey, RegView view) { return noted(regDeleteTreeRaw(parent, subKey, view)); }

uint32_t takeRegistryFailure() {
    uint32_t failure = registryFailure;
    registryFailure = 0;
    return failure;
}

}  // namespace plat
