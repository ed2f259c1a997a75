#include "registration/keyboard_layout.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "common/install_state.h"
#include "common/text.h"
#include "platform/ime.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "registration/preload_list.h"
#include "registration/registry_text.h"

namespace {

using plat::RegAccess;
using plat::ScopedKey;

// The name an entry of ours is recognised by, "智能Marl输入平台" in 16 bytes: GBK, or Big5
// under code page 950. Both are spelled as bytes: they are data in the registry, the same in
// every build (clang, which builds the fuzz targets, has no GBK execution character set).
constexpr size_t productNameLength = 16;
constexpr char productNameGbk[] = "\xD6\xC7\xC4\xDC" "Marl" "\xCA\xE4\xC8\xEB\xC6\xBD\xCC\xA8";
constexpr char productNameBig5[] =
    "\xB4\xBC\xAF\xE0" "Marl" "\xBF\xE9\xA4\x4A\xA5\xAD\xA5\x78";
static_assert(sizeof productNameGbk == productNameLength + 1);
static_assert(sizeof productNameBig5 == productNameLength + 1);

// Two blanks stand between the name and the version.
constexpr char layoutTextGbk[] =
    "\xD6\xC7\xC4\xDC" "Marl" "\xCA\xE4\xC8\xEB\xC6\xBD\xCC\xA8" "  9.0";
constexpr char layoutTextBig5[] =
    "\xB4\xBC\xAF\xE0" "Marl" "\xBF\xE9\xA4\x4A\xA5\xAD\xA5\x78" "  9.0";
constexpr char16_t layoutTextWide[] = u"智能Marl输入平台  9.0";

constexpr const char* adminNeeded =
    "在WIN2000和WIN NT系统中安装本软件时，需要以系统管理员身份才能安装成功！";

constexpr size_t layoutNameCapacity = 200;
constexpr uint32_t layoutNumberStep = 0x10000;

struct LayoutName {
    char text[layoutNameCapacity];
};

// Every subkey name of the Keyboard Layouts key, from the highest index down to 0.
std::vector<LayoutName> listLayoutNames(plat::RegKey layouts) {
    uint32_t count = 0;
    if (plat::regQuerySubkeyCount(layouts, &count) != plat::regOk) count = 0;
    std::vector<LayoutName> names;
    names.reserve(count < 4096 ? count + 1 : 4096);
    // From index count, one past the last (Windows answers it with no more items), down to 0.
    for (uint64_t next = static_cast<uint64_t>(count) + 1; next > 0; --next) {
        LayoutName name{};
        uint32_t length = layoutNameCapacity;
        long status = plat::regEnumKey(layouts, static_cast<uint32_t>(next - 1), name.text, &length);
        if (status != plat::regOk && status != plat::regMoreData) continue;
        // A name too long for the list comes back as whatever the call left: kept only as far
        // as it is a terminated text, and never empty, which would name the parent key.
        name.text[layoutNameCapacity - 1] = '\0';
        if (name.text[0] != '\0') names.push_back(name);
    }
    return names;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Key names are compared without regard to case, as Windows does.
bool isTaken(const std::vector<LayoutName>& names, const char* id) {
    for (const LayoutName& name : names) {
        size_t i = 0;
        while (name.text[i] != '\0' && lowerAscii(name.text[i]) == lowerAscii(id[i])) ++i;
        if (name.text[i] == '\0' && id[i] == '\0') return true;
    }
    return false;
}

// A layout number is a name of one to eight hexadecimal digits; anything else takes no part
// in the search for a free number.
bool layoutNumber(const char* name, uint32_t& number) {
    size_t length = std::strlen(name);
    if (length == 0 || length > 8) return false;
    uint32_t value = 0;
    for (size_t i = 0; i < length; ++i) {
        char c = name[i];
        uint32_t digit;
        if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') digit = static_cast<uint32_t>(c - 'A' + 10);
        else return false;
        value = (value << 4) | digit;
    }
    number = value;
    return true;
}

bool endsWith(const char* text, const char* suffix) {
    size_t length = std::strlen(text);
    return length >= 3 && std::strcmp(text + length - 3, suffix) == 0;
}

// The next layout number above `from` whose id, with the wanted language suffix, names no
// existing key: a key we could not read must not be taken over. False when none is left.
bool freeLayoutId(uint32_t from, const char* suffix, const std::vector<LayoutName>& names,
                  char (&id)[layoutIdCapacity]) {
    uint32_t number = from;
    while (number <= UINT32_MAX - layoutNumberStep) {
        number += layoutNumberStep;
        formatText(id, sizeof id, "%08X", static_cast<unsigned>(number));
        std::memcpy(id + 5, suffix, 3);
        if (!isTaken(names, id)) return true;
    }
    return false;
}

void showFailure(bool nineX, bool creating) {
    if (creating)
        plat::messageBoxA(nineX ? "Software open error1004" : adminNeeded, "智能Marl(Qolvane)",
                          plat::mbOk);
    else
        plat::messageBoxA(nineX ? "Software open error1003" : adminNeeded, "智能Marl",
                          plat::mbOk);
}

}  // namespace

bool installImeLayout() {
    char16_t systemDir[100];
    if (plat::getSystemDirectoryW(systemDir, 100) == 0) return false;
    char16_t path[128];
    path[0] = u'\0';
    appendWide(path, sizeof path / sizeof path[0], systemDir);
    if (!appendWide(path, sizeof path / sizeof path[0], u"\\vornel4.ime")) return false;
    return plat::immInstallIme(path, layoutTextWide) != 0;
}

void registerKeyboardLayout() {
    bool nineX = isNineXFamily();
    bool traditional = state.oemCodePage == 950;
    const char* productName = traditional ? productNameBig5 : productNameGbk;
    const char* layoutText = traditional ? layoutTextBig5 : layoutTextGbk;
    const char* suffix = traditional ? "404" : "804";

    ScopedKey layouts;
    if (!plat::openKey(plat::hkeyLocalMachine, keyboardLayoutsKey, RegAccess::read, layouts)) {
        showFailure(nineX, false);
        return;
    }
    std::vector<LayoutName> names = listLayoutNames(layouts.get());

    // Our earlier entry is recognised by its text; the others give the largest number.
    ScopedKey layout;
    const char* productId = nullptr;
    uint32_t largest = 0;
    for (const LayoutName& name : names) {
        if (!plat::openKey(layouts.get(), name.text, RegAccess::all, layout)) continue;
        char text[layoutNameCapacity];
        if (readRegistryText(layout.get(), "layout text", text, sizeof text) != plat::regOk) {
            layout.close();
            continue;
        }
        if (std::strlen(text) >= productNameLength &&
            std::memcmp(text, productName, productNameLength) == 0) {
            productId = name.text;
            break;
        }
        uint32_t number = 0;
        if (layoutNumber(name.text, number) && number > largest) largest = number;
        layout.close();
    }

    char id[layoutIdCapacity] = {};
    size_t productIdLength = productId != nullptr ? std::strlen(productId) : 0;
    bool reused = productId != nullptr && productIdLength < layoutIdCapacity &&
                  endsWith(productId, suffix);
    if (reused) {
        copyText(id, productId);
    } else {
        bool named = false;
        uint32_t from = largest;
        if (productId != nullptr) {
            // Our entry in the other language moves to the same number with our suffix,
            // unless another layout holds that name; then it takes the next free number.
            layout.close();
            plat::regDeleteKey(layouts.get(), productId);
            if (productIdLength >= 3 && productIdLength < layoutIdCapacity) {
                copyText(id, productId);
                std::memcpy(id + productIdLength - 3, suffix, 3);
                named = !isTaken(names, id);
            }
            uint32_t number = 0;
            from = layoutNumber(productId, number) ? number : 0;
        }
        uint32_t floor = traditional ? 0xE0000404u : 0xE0000804u;
        if (!named && !freeLayoutId(from > floor ? from : floor, suffix, names, id)) {
            showFailure(nineX, true);
            return;
        }
        if (!plat::createKey(layouts.get(), id, layout)) {
            showFailure(nineX, true);
            return;
        }
    }

    // A layout missing a value is no layout Windows can load: said, as one not created is.
    bool written = plat::regSetText(layout.get(), "IME file", "VORNEL4.IME") == plat::regOk &&
                   plat::regSetText(layout.get(), "layout file", nineX ? "kbdus.kbd" : "kbdus.dll") == plat::regOk &&
                   plat::regSetText(layout.get(), "layout text", layoutText) == plat::regOk;
    layout.close();
    if (!written) {
        showFailure(nineX, true);
        return;
    }
    layouts.close();

    // The preload list names NT layouts in lower case, 9x layouts in upper case.
    char preloadId[layoutIdCapacity];
    copyText(preloadId, id);
    for (char& c : preloadId) {
        if (nineX && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (!nineX) c = lowerAscii(c);
    }
    addToPreloadList(preloadId);
}

size_t findProductLayouts(char ids[][layoutIdCapacity], size_t capacity, bool* unknown) {
    bool unread = false;
    ScopedKey layouts;
    size_t found = 0;
    long status = capacity == 0 ? plat::regFileNotFound
                                : plat::regOpenKey(plat::hkeyLocalMachine, keyboardLayoutsKey, RegAccess::read,
                                                   layouts.receive());
    unread = readFailed(status);
    // Up to the first index Windows has nothing for; a name that does not fit a layout id is
    // no layout of ours (the setup and IMM write eight digits) and is passed over.
    for (uint32_t index = 0; status == plat::regOk && found < capacity; ++index) {
        char name[layoutNameCapacity] = {};
        uint32_t length = layoutNameCapacity;
        long listed = plat::regEnumKey(layouts.get(), index, name, &length);
        if (listed == plat::regMoreData) continue;
        if (listed != plat::regOk) {
            unread = unread || listed != plat::regNoMoreItems;
            break;
        }
        name[layoutNameCapacity - 1] = '\0';
        size_t nameLength = std::strlen(name);
        if (nameLength == 0 || nameLength >= layoutIdCapacity) continue;
        ScopedKey layout;
        long opened = plat::regOpenKey(layouts.get(), name, RegAccess::read, layout.receive());
        char imeFile[layoutNameCapacity];
        long read = opened == plat::regOk ? readRegistryText(layout.get(), "Ime File", imeFile, sizeof imeFile) : opened;
        if (read != plat::regOk) {
            unread = unread || readFailed(read);
            continue;
        }
        // The bare name as this setup writes it, or a whole path as some IMMs keep it.
        const char* bare = std::strrchr(imeFile, '\\');
        if (!sameTextIgnoringCase(bare != nullptr ? bare + 1 : imeFile, "VORNEL4.IME")) continue;
        copyText(ids[found], layoutIdCapacity, name);
        ++found;
    }
    if (unknown != nullptr) *unknown = unread;
    return found;
}

int removeKeyboardLayouts(char removedIds[][layoutIdCapacity], size_t capacity,
                          size_t* removedCount) {
    if (removedCount != nullptr) *removedCount = 0;
    ScopedKey layouts;
    long status = plat::regOpenKey(plat::hkeyLocalMachine, keyboardLayoutsKey, RegAccess::read,
                                   layouts.receive());
    // Without the key there is nothing of ours; a key we may not read may hold it.
    if (status == plat::regFileNotFound) return 0;
    if (status != plat::regOk) return -1;
    uint32_t subkeys = 0;
    if (plat::regQuerySubkeyCount(layouts.get(), &subkeys) != plat::regOk) return -1;
    // Room for every subkey: none of ours may stay behind for want of it.
    size_t room = static_cast<size_t>(subkeys) + 1;
    auto ids = std::make_unique<char[][layoutIdCapacity]>(room);
    bool unknown = false;
    size_t found = findProductLayouts(ids.get(), room, &unknown);

    int removed = 0;
    // A layout that could not be read may be ours: not all is known removed.
    bool failed = unknown;
    for (size_t i = 0; i < found; ++i) {
        status = plat::regDeleteTree(layouts.get(), ids[i], plat::RegView::process);
        if (status == plat::regFileNotFound) continue;
        if (status != plat::regOk) {
            failed = true;
            continue;
        }
        if (removedIds != nullptr && removedCount != nullptr && *removedCount < capacity)
            copyText(removedIds[(*removedCount)++], layoutIdCapacity, ids[i]);
        ++removed;
    }
    return failed ? -1 : removed;
}
