#include "programs/per_user.h"

#include <string>

#include "common/install_state.h"
#include "common/outcome.h"
#include "common/setup_log.h"
#include "common/text.h"
#include "platform/ime.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "programs/command_line.h"
#include "programs/unattended.h"
#include "registration/keyboard_layout.h"
#include "registration/preload_list.h"
#include "registration/text_service.h"
#include "registration/user_steps.h"

namespace {

constexpr size_t idsCapacity = 16;
constexpr size_t tokenCapacity = 128;

void logLine(std::u16string a, std::u16string b = {}) {
    std::u16string fields[] = {std::move(a), std::move(b)};
    logFields(fields, fields[1].empty() ? 1 : 2);
}

bool hex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool hexRun(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (!hex(text[i])) return false;
    return true;
}

// "{8-4-4-4-12}"
bool guid(const char* text) {
    static const size_t groups[] = {8, 4, 4, 4, 12};
    if (*text++ != '{') return false;
    for (size_t g = 0; g < 5; ++g) {
        if (!hexRun(text, groups[g])) return false;
        text += groups[g];
        if (*text++ != (g < 4 ? '-' : '}')) return false;
    }
    return true;
}

bool layoutId(const char* token) { return std::char_traits<char>::length(token) == 8 && hexRun(token, 8); }

// "0x0804:{clsid}{profile}", as input.dll takes it.
bool profileId(const char* token) {
    return std::char_traits<char>::length(token) == 7 + 38 + 38 && token[0] == '0' &&
           (token[1] == 'x' || token[1] == 'X') && hexRun(token + 2, 4) && token[6] == ':' && guid(token + 7) &&
           guid(token + 7 + 38);
}

std::u16string wide(const char* text) { return plat::wideFromAnsi(text); }

std::u16string number(long value) {
    char16_t digits[24];
    wideNumber(value, digits, 24);
    return digits;
}

int add() {
    bool failed = false;
    bool found = false;
    char layouts[4][layoutIdCapacity];
    if (findProductLayouts(layouts, 4) > 0) {
        found = true;
        // As the layout's registration adds it: lower case on the NT family.
        char id[layoutIdCapacity];
        copyText(id, sizeof id, layouts[0]);
        for (char* c = id; *c != '\0' && !isNineXFamily(); ++c)
            if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
        bool added = addToPreloadList(id);
        logLine(added ? u"preload entry added" : u"preload entry not added: the list cannot be opened", wide(id));
        failed |= !added;
    }
    if (!productProfileIds().empty()) {
        found = true;
        resetOutcome();
        enableTextService();
        failed |= setupOutcome() != exitInstalled;
    }
    if (!found) {
        logLine(u"nothing of the product registered");
        return perUserNothingRegistered;
    }
    return failed ? perUserFailed : perUserDone;
}

int remove(const char (*layouts)[layoutIdCapacity], size_t layoutCount, const std::u16string& profiles) {
    bool failed = false;
    if (layoutCount > 0) {
        int removed = removeFromPreloadLists(layouts, layoutCount, false);
        logLine(removed < 0 ? u"preload entries not removed" : u"preload entries removed", number(removed < 0 ? 0 : removed));
        failed |= removed < 0;
    }
    if (!profiles.empty()) {
        bool disabled = disableTextService(profiles);
        logLine(disabled ? u"text service disabled" : u"text service not disabled", profiles);
        int sorted = removeFromUserSortOrder();
        if (sorted < 0) logLine(u"text-service order not changed");
        failed |= !disabled || sorted < 0;
    }
    return failed ? perUserFailed : perUserDone;
}

int run(const char* commandLine) {
    char token[tokenCapacity];
    bool cut = false;
    const char* at = nextToken(commandLine, token, sizeof token, cut);
    bool adding = sameSwitch(token, userStepsAdd);
    if (!adding && !sameSwitch(token, userStepsRemove)) {
        logLine(u"command not taken", wide(token));
        return perUserInvalidCommandLine;
    }
    char layouts[idsCapacity][layoutIdCapacity];
    size_t layoutCount = 0;
    std::u16string profiles;
    for (at = nextToken(at, token, sizeof token, cut); token[0] != '\0' || cut;
         at = nextToken(at, token, sizeof token, cut)) {
        if (adding || cut || !(layoutId(token) || profileId(token)) || (layoutId(token) && layoutCount == idsCapacity)) {
            logLine(u"command not taken", wide(token));
            return perUserInvalidCommandLine;
        }
        if (layoutId(token)) {
            copyText(layouts[layoutCount++], layoutIdCapacity, token);
        } else {
            if (!profiles.empty()) profiles += u';';
            profiles += wide(token);
        }
    }
    return adding ? add() : remove(layouts, layoutCount, profiles);
}

}  // namespace

int runPerUserSteps(const char* commandLine) {
    resetInstallState();
    state.oemCodePage = plat::getOemCodePage();
    // At sign-in nobody is there to answer a box.
    beginUnattended();
    const char* line = commandLine != nullptr ? commandLine : "";
    openSetupLog("", "vornuser8.log");
    logLine(u"vornuser8 9.0", u"command=" + wide(line));
    int code = run(line);
    logLine(u"exit=" + number(code));
    closeSetupLog();
    endUnattended();
    return code;
}
