#include "registration/preload_list.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/install_state.h"
#include "common/text.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "registration/registry_text.h"

namespace {

using plat::RegAccess;
using plat::ScopedKey;

constexpr const char* userLayoutKey = "keyboard layout";
constexpr const char* defaultProfileLayoutKey = ".DEFAULT\\keyboard layout";
constexpr const char* nineXPreloadKey = "keyboard layout\\preload";
constexpr const char* userPreloadKey = "keyboard layout\\preload";  // the NT form's, reached at once
constexpr size_t valueCapacity = 200;

struct EntryName {
    char text[12];
};

EntryName entryName(unsigned n) {
    EntryName name{};
    formatText(name.text, sizeof name.text, "%d", static_cast<int>(n));
    return name;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

enum class Match { none, same, otherLanguage };

// The value against the id over the id's length L, without regard to case. A value that
// differs only in its last three characters, the language part (804 against 404), is the
// same layout in the other language.
Match compareEntry(const char* value, const char* id) {
    size_t length = std::strlen(id);
    size_t equal = 0;
    while (equal < length && value[equal] != '\0' &&
           lowerAscii(value[equal]) == lowerAscii(id[equal]))
        ++equal;
    if (equal == length) return Match::same;
    if (length < 3 || equal < length - 3 || std::strlen(value) < length) return Match::none;
    const char* language = value + length - 3;
    if (std::strncmp(language, "804", 3) == 0 || std::strncmp(language, "404", 3) == 0)
        return Match::otherLanguage;
    return Match::none;
}

void showOpenError() {
    plat::messageBoxA("Software open error2003", "智能Marl(Qolvane)", plat::mbOk);
}

bool setEntry(plat::RegKey preload, unsigned n, const char* id) {
    return plat::regSetText(preload, entryName(n).text, id) == plat::regOk;
}

// An entry that could not be written is said, as a list that could not be opened is.
bool written(bool ok) {
    if (!ok) showOpenError();
    return ok;
}

// The NT form of one profile: its "keyboard layout" key read, its "preload" key writable.
// Returns false when "keyboard layout" itself cannot be opened; `unopened`, when given, is set
// when a "preload" key is there but could not be opened.
bool openNtList(plat::RegKey root, const char* layoutKey, ScopedKey& preload, bool* unopened = nullptr) {
    ScopedKey layout;
    if (!plat::openKey(root, layoutKey, RegAccess::read, layout)) return false;
    plat::RegKey* slot = preload.receive();
    long status = plat::regOpenKey(layout.get(), "preload", RegAccess::all, slot);
    if (status != plat::regOk) *slot = plat::noKey;
    if (unopened != nullptr) *unopened = status != plat::regOk && status != plat::regFileNotFound;
    return true;
}

// Entries first..last of preloadList as the values of an NT list.
void writeNtEntries(const ScopedKey& preload, unsigned first, unsigned last) {
    if (!preload.isOpen()) return;
    for (unsigned n = first; n <= last; ++n) setEntry(preload.get(), n, state.preloadList[n - 1]);
}

// One numbered subkey's default value in the 9x form; a subkey that cannot be opened is
// skipped.
void setNineXEntry(plat::RegKey preload, unsigned n, const char* id) {
    ScopedKey item;
    if (plat::openKey(preload, entryName(n).text, RegAccess::all, item))
        plat::regSetText(item.get(), "", id);
}

bool readNtEntries() {
    ScopedKey preload;
    if (!openNtList(plat::hkeyCurrentUser, userLayoutKey, preload)) return false;
    if (!preload.isOpen()) return true;
    unsigned n = 1;
    // A missing value, or one that is no text of at most nine characters, ends the list.
    while (n <= preloadCapacity && readRegistryText(preload.get(), entryName(n).text,
                                                    state.preloadList[n - 1],
                                                    layoutIdCapacity) == plat::regOk)
        ++n;
    state.preloadCount = n - 1;
    return true;
}

bool readNineXEntries() {
    ScopedKey preload;
    if (!plat::openKey(plat::hkeyCurrentUser, nineXPreloadKey, RegAccess::read, preload))
        return false;
    unsigned n = 1;
    for (; n <= preloadCapacity; ++n) {
        ScopedKey item;
        if (!plat::openKey(preload.get(), entryName(n).text, RegAccess::all, item)) break;
        // An unreadable default value leaves the entry empty; it still counts.
        readRegistryText(item.get(), "", state.preloadList[n - 1], layoutIdCapacity);
    }
    state.preloadCount = n - 1;
    return true;
}

bool addToNtList(const char* id) {
    ScopedKey preload;
    bool unopened = false;
    if (!openNtList(plat::hkeyCurrentUser, userLayoutKey, preload, &unopened) || unopened) {
        showOpenError();
        return false;
    }
    if (!preload.isOpen()) return false;
    for (unsigned n = 1; n <= preloadCapacity; ++n) {
        char value[valueCapacity];
        long status = readRegistryText(preload.get(), entryName(n).text, value, sizeof value);
        if (status == plat::regFileNotFound) return written(setEntry(preload.get(), n, id));
        // A value that is there but no readable text belongs to someone: passed over.
        if (status != plat::regOk) continue;
        Match match = compareEntry(value, id);
        if (match == Match::same) return true;
        if (match == Match::otherLanguage) return written(setEntry(preload.get(), n, id));
    }
    return written(setEntry(preload.get(), preloadCapacity, id));
}

bool addToNineXList(const char* id) {
    ScopedKey preload;
    if (!plat::openKey(plat::hkeyCurrentUser, nineXPreloadKey, RegAccess::read, preload)) {
        showOpenError();
        return false;
    }
    for (unsigned n = 1; n <= preloadCapacity; ++n) {
        ScopedKey item;
        long status = plat::regOpenKey(preload.get(), entryName(n).text, RegAccess::all,
                                       item.receive());
        if (status == plat::regFileNotFound)
            return written(plat::createKey(preload.get(), entryName(n).text, item) &&
                           plat::regSetText(item.get(), "", id) == plat::regOk);
        if (status != plat::regOk) continue;
        char value[valueCapacity];
        if (readRegistryText(item.get(), "", value, sizeof value) != plat::regOk) continue;
        Match match = compareEntry(value, id);
        if (match == Match::same) return true;
        if (match == Match::otherLanguage) return written(plat::regSetText(item.get(), "", id) == plat::regOk);
    }
    ScopedKey last;
    return written(plat::createKey(preload.get(), entryName(preloadCapacity).text, last) &&
                   plat::regSetText(last.get(), "", id) == plat::regOk);
}

// --- removal ---

// An entry as stored: its number, type and bytes, whatever they are.
struct StoredEntry {
    unsigned number = 0;
    uint32_t type = plat::regNone;
    std::vector<char> data;
    bool readable = true;
    bool ours = false;
};

// Entry names are decimal numbers as "%d" makes them; anything else is no entry.
bool entryNumber(const char* name, unsigned& number) {
    size_t length = std::strlen(name);
    if (length == 0 || length > 4 || name[0] == '0') return false;
    number = 0;
    for (size_t i = 0; i < length; ++i) {
        if (name[i] < '0' || name[i] > '9') return false;
        number = number * 10 + static_cast<unsigned>(name[i] - '0');
    }
    return true;
}

// regOk with the entry read; regFileNotFound when there is no value; else the read failed (a
// value that changed size between the two reads counts as failed).
long readStored(plat::RegKey key, const char* name, StoredEntry& entry) {
    uint32_t size = 0;
    long status = plat::regQueryValue(key, name, &entry.type, nullptr, &size);
    if (status != plat::regOk) return status;
    entry.data.assign(size, '\0');
    uint32_t read = size;
    status = plat::regQueryValue(key, name, &entry.type, entry.data.data(), &read);
    if (status == plat::regOk && read != size) return plat::regMoreData;
    return status;
}

// A text entry (up to its first NUL) equal to one of the ids.
bool namesOneOf(const StoredEntry& entry, const char (*ids)[layoutIdCapacity], size_t count) {
    if (entry.type != plat::regSz) return false;
    char text[layoutIdCapacity] = {};
    size_t length = strnlen(entry.data.data(), entry.data.size());
    if (length == 0 || length >= sizeof text) return false;
    std::memcpy(text, entry.data.data(), length);
    for (size_t i = 0; i < count; ++i)
        if (textLength(ids[i], layoutIdCapacity) < layoutIdCapacity &&
            sameTextIgnoringCase(text, ids[i]))
            return true;
    return false;
}

bool sameStored(const StoredEntry& a, const StoredEntry& b) {
    return a.type == b.type && a.data == b.data;
}

// The entries that stay, renumbered from 1: the list is written from its start and its tail
// deleted only when every entry before it has been written, so that a failure leaves an entry
// twice rather than none.
int renumber(std::vector<StoredEntry>& entries, bool (*write)(plat::RegKey, unsigned, const StoredEntry&),
             bool (*drop)(plat::RegKey, unsigned), plat::RegKey list) {
    std::sort(entries.begin(), entries.end(),
              [](const StoredEntry& a, const StoredEntry& b) { return a.number < b.number; });
    std::vector<const StoredEntry*> kept;
    int removed = 0;
    for (const StoredEntry& entry : entries) {
        if (entry.ours) ++removed;
        else kept.push_back(&entry);
    }
    if (removed == 0) return 0;
    for (size_t i = 0; i < kept.size(); ++i) {
        unsigned number = static_cast<unsigned>(i + 1);
        auto current = std::find_if(entries.begin(), entries.end(),
                                    [&](const StoredEntry& e) { return e.number == number; });
        if (current != entries.end() && current->readable && kept[i]->readable &&
            sameStored(*current, *kept[i]))
            continue;
        // What could not be read cannot be moved without losing it.
        if (!kept[i]->readable || !write(list, number, *kept[i])) return -1;
    }
    for (const StoredEntry& entry : entries)
        if (entry.number > kept.size() && !drop(list, entry.number)) return -1;
    return removed;
}

bool writeNtValue(plat::RegKey list, unsigned n, const StoredEntry& entry) {
    return plat::regSetValue(list, entryName(n).text, entry.type, entry.data.data(),
                             static_cast<uint32_t>(entry.data.size())) == plat::regOk;
}

bool dropNtValue(plat::RegKey list, unsigned n) {
    long status = plat::regDeleteValue(list, entryName(n).text);
    return status == plat::regOk || status == plat::regFileNotFound;
}

bool writeNineXItem(plat::RegKey list, unsigned n, const StoredEntry& entry) {
    ScopedKey item;
    return plat::createKey(list, entryName(n).text, item) &&
           plat::regSetValue(item.get(), "", entry.type, entry.data.data(),
                             static_cast<uint32_t>(entry.data.size())) == plat::regOk;
}

bool dropNineXItem(plat::RegKey list, unsigned n) {
    long status = plat::regDeleteTree(list, entryName(n).text, plat::RegView::process);
    return status == plat::regOk || status == plat::regFileNotFound;
}

// Opens the list for reading: 1, or 0 when it is not there, -1 when it is there but cannot be
// read (whether it names the product is then unknown, and so reported).
int openList(plat::RegKey root, const char* path, ScopedKey& list) {
    long status = plat::regOpenKey(root, path, RegAccess::read, list.receive());
    if (status == plat::regOk) return 1;
    return status == plat::regFileNotFound ? 0 : -1;
}

bool anyOurs(const std::vector<StoredEntry>& entries) {
    for (const StoredEntry& entry : entries)
        if (entry.ours) return true;
    return false;
}

// Rewritten only when it names the product: a list we may not change is nothing to do then.
int rewrite(plat::RegKey root, const char* path, std::vector<StoredEntry>& entries,
            bool (*write)(plat::RegKey, unsigned, const StoredEntry&),
            bool (*drop)(plat::RegKey, unsigned)) {
    if (!anyOurs(entries)) return 0;
    ScopedKey list;
    if (!plat::openKey(root, path, RegAccess::all, list)) return -1;
    return renumber(entries, write, drop, list.get());
}

// A list with an entry that could not be read may still name the product: not all is known
// removed.
int unread(int result, bool unknown) { return unknown ? -1 : result; }

int removeFromNtList(plat::RegKey root, const char* path, const char (*ids)[layoutIdCapacity],
                     size_t count) {
    ScopedKey list;
    if (int opened = openList(root, path, list); opened <= 0) return opened;
    std::vector<StoredEntry> entries;
    bool unknown = false;
    for (uint32_t index = 0;; ++index) {
        char name[16];
        uint32_t length = sizeof name;
        long status = plat::regEnumValue(list.get(), index, name, &length, nullptr, nullptr,
                                         nullptr);
        if (status == plat::regMoreData) continue;
        if (status != plat::regOk) {
            unknown = unknown || status != plat::regNoMoreItems;
            break;
        }
        StoredEntry entry;
        if (!entryNumber(name, entry.number)) continue;
        long read = readStored(list.get(), name, entry);
        entry.readable = read == plat::regOk;
        unknown = unknown || (!entry.readable && read != plat::regFileNotFound);
        entry.ours = entry.readable && namesOneOf(entry, ids, count);
        entries.push_back(std::move(entry));
    }
    list.close();
    return unread(rewrite(root, path, entries, writeNtValue, dropNtValue), unknown);
}

int removeFromNineXList(const char (*ids)[layoutIdCapacity], size_t count) {
    ScopedKey list;
    if (int opened = openList(plat::hkeyCurrentUser, nineXPreloadKey, list); opened <= 0)
        return opened;
    std::vector<StoredEntry> entries;
    bool unknown = false;
    for (uint32_t index = 0;; ++index) {
        char name[16];
        uint32_t length = sizeof name;
        long status = plat::regEnumKey(list.get(), index, name, &length);
        if (status == plat::regMoreData) continue;
        if (status != plat::regOk) {
            unknown = unknown || status != plat::regNoMoreItems;
            break;
        }
        StoredEntry entry;
        if (!entryNumber(name, entry.number)) continue;
        ScopedKey item;
        // An entry without a readable value keeps its place, and may name the product.
        long read = plat::regOpenKey(list.get(), name, RegAccess::read, item.receive());
        if (read == plat::regOk) read = readStored(item.get(), "", entry);
        entry.readable = read == plat::regOk;
        unknown = unknown || (!entry.readable && read != plat::regFileNotFound);
        entry.ours = entry.readable && namesOneOf(entry, ids, count);
        entries.push_back(std::move(entry));
    }
    list.close();
    return unread(rewrite(plat::hkeyCurrentUser, nineXPreloadKey, entries, writeNineXItem, dropNineXItem),
                  unknown);
}

int combine(int a, int b) { return a < 0 || b < 0 ? -1 : a + b; }

}  // namespace

bool isNineXFamily() { return (plat::getVersion() & plat::versionNineXFamily) != 0; }

uint32_t readPreloadList() {
    // Nothing of an earlier reading survives: a stale text could name the wrong entry.
    state.preloadCount = 0;
    std::memset(state.preloadList, 0, sizeof state.preloadList);
    std::memset(state.preloadLayoutTexts, 0, sizeof state.preloadLayoutTexts);

    if (!(isNineXFamily() ? readNineXEntries() : readNtEntries())) return 0;

    ScopedKey layouts;
    if (!plat::openKey(plat::hkeyLocalMachine, keyboardLayoutsKey, RegAccess::read, layouts))
        return 0;
    for (uint32_t i = 0; i < state.preloadCount; ++i) {
        // An empty entry would name the Keyboard Layouts key itself.
        if (state.preloadList[i][0] == '\0') continue;
        ScopedKey layout;
        if (!plat::openKey(layouts.get(), state.preloadList[i], RegAccess::all, layout)) continue;
        char text[layoutTextCapacity];
        if (readRegistryText(layout.get(), "layout text", text, sizeof text) == plat::regOk)
            copyText(state.preloadLayoutTexts[i], text);
    }
    return state.preloadCount;
}

bool addToPreloadList(const char* id) {
    return isNineXFamily() ? addToNineXList(id) : addToNtList(id);
}

void swapFirstTwoPreloadEntries() {
    // Without two entries there is nothing to swap, and an empty id must not be written.
    if (state.preloadCount < 2) return;
    const char* first = state.preloadList[0];
    const char* second = state.preloadList[1];
    if (isNineXFamily()) {
        ScopedKey preload;
        if (!plat::openKey(plat::hkeyCurrentUser, nineXPreloadKey, RegAccess::read, preload))
            return;
        setNineXEntry(preload.get(), 2, first);
        setNineXEntry(preload.get(), 1, second);
        return;
    }
    for (int profile = 0; profile < 2; ++profile) {
        ScopedKey preload;
        bool opened = profile == 0
                          ? openNtList(plat::hkeyCurrentUser, userLayoutKey, preload)
                          : openNtList(plat::hkeyUsers, defaultProfileLayoutKey, preload);
        if (!opened) return;
        if (!preload.isOpen()) continue;
        setEntry(preload.get(), 1, second);
        setEntry(preload.get(), 2, first);
    }
}

void moveProductToSecondPlace() {
    uint32_t position = state.productPreloadPosition;
    uint32_t count = state.preloadCount;
    if (position < 3 || count < 3 || position > count || count > preloadCapacity ||
        state.osMajorVersion > 5)
        return;

    char id[layoutIdCapacity];
    char text[layoutTextCapacity];
    std::memcpy(id, state.preloadList[position - 1], sizeof id);
    std::memcpy(text, state.preloadLayoutTexts[position - 1], sizeof text);
    for (uint32_t n = position; n > 2; --n) {
        std::memcpy(state.preloadList[n - 1], state.preloadList[n - 2], layoutIdCapacity);
        std::memcpy(state.preloadLayoutTexts[n - 1], state.preloadLayoutTexts[n - 2],
                    layoutTextCapacity);
    }
    std::memcpy(state.preloadList[1], id, sizeof id);
    std::memcpy(state.preloadLayoutTexts[1], text, sizeof text);
    state.productPreloadPosition = 2;

    if (isNineXFamily()) {
        ScopedKey preload;
        if (!plat::openKey(plat::hkeyCurrentUser, nineXPreloadKey, RegAccess::read, preload))
            return;
        for (unsigned n = 2; n <= count; ++n)
            setNineXEntry(preload.get(), n, state.preloadList[n - 1]);
        return;
    }
    ScopedKey user;
    if (!openNtList(plat::hkeyCurrentUser, userLayoutKey, user)) return;
    writeNtEntries(user, 2, count);
    ScopedKey defaultProfile;
    if (openNtList(plat::hkeyUsers, defaultProfileLayoutKey, defaultProfile))
        writeNtEntries(defaultProfile, 2, count);
}

int removeFromPreloadLists(const char (*ids)[layoutIdCapacity], size_t count, bool defaultProfileToo) {
    if (ids == nullptr || count == 0) return 0;
    if (isNineXFamily()) return removeFromNineXList(ids, count);
    int user = removeFromNtList(plat::hkeyCurrentUser, userPreloadKey, ids, count);
    if (!defaultProfileToo) return user;
    return combine(user, removeFromNtList(plat::hkeyUsers, ".DEFAULT\\keyboard layout\\preload", ids, count));
}
