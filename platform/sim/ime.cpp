#include "platform/ime.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sim/machine.h"

namespace plat {

namespace {
sim::Imm& imm() {
    if (sim::Machine* m = sim::current()) return m->imm;
    std::fputs("no simulated machine for an input-method call\n", stderr);
    std::abort();
}
}  // namespace

LayoutHandle immInstallIme(const char16_t* imeFile, const char16_t* layoutText) {
    sim::Imm& i = imm();
    i.installCalls.push_back({imeFile ? imeFile : u"", layoutText ? layoutText : u""});
    if (!i.acceptsModules) return 0;
    // As the system does: the layout's key under Keyboard Layouts, named by the handle, with the
    // module's bare file name and the layout text.
    if (sim::Machine* m = sim::current()) {
        std::string file = sim::toGbk(imeFile != nullptr ? imeFile : u"");
        size_t slash = file.rfind('\\');
        if (slash != std::string::npos) file = file.substr(slash + 1);
        char id[16];
        std::snprintf(id, sizeof id, "%08lX", static_cast<unsigned long>(i.installedLayout & 0xFFFFFFFFu));
        std::string key = std::string("System\\CurrentControlSet\\Control\\Keyboard Layouts\\") + id;
        m->registry.setText(sim::Hive::localMachine, key, "Ime File", sim::upperAscii(file));
        m->registry.setText(sim::Hive::localMachine, key, "Layout Text",
                            sim::toGbk(layoutText != nullptr ? layoutText : u""));
    }
    return i.installedLayout;
}

LayoutHandle getKeyboardLayout() { return imm().activeLayout; }

bool getKeyboardLayoutName(char* name) {
    const std::string& text = imm().activeLayoutName;
    size_t length = text.size() < layoutNameLength ? text.size() : layoutNameLength - 1;
    std::memcpy(name, text.data(), length);
    name[length] = '\0';
    return true;
}

unsigned immGetDescription(LayoutHandle layout, char* out, unsigned capacity) {
    if (capacity == 0) return 0;
    const sim::Imm& i = imm();
    auto it = i.descriptions.find(layout);
    std::string text = it == i.descriptions.end() ? std::string() : it->second;
    size_t length = text.size() < capacity ? text.size() : capacity - 1;
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
    return static_cast<unsigned>(length);
}

namespace {
sim::InputDll& inputDll() {
    if (sim::Machine* m = sim::current()) return m->inputDll;
    std::fputs("no simulated machine for an input.dll call\n", stderr);
    std::abort();
}
}  // namespace

// Each id of a ";"-separated list enabled, or with ilotUninstall disabled, as input.dll does.
int installLayoutOrTip(const char16_t* ids, uint32_t flags) {
    sim::InputDll& d = inputDll();
    if (!d.present) return -1;
    d.calls.emplace_back(ids, flags);
    if (d.refuses) return 0;
    std::u16string list = ids;
    for (size_t start = 0; start <= list.size();) {
        size_t end = list.find(u';', start);
        if (end == std::u16string::npos) end = list.size();
        std::u16string id = list.substr(start, end - start);
        auto at = std::find(d.enabled.begin(), d.enabled.end(), id);
        if ((flags & ilotUninstall) != 0 && at != d.enabled.end()) d.enabled.erase(at);
        else if ((flags & ilotUninstall) == 0 && at == d.enabled.end() && !id.empty()) d.enabled.push_back(id);
        start = end + 1;
    }
    return 1;
}

bool enabledInputs(std::vector<EnabledInput>& out) {
    const sim::InputDll& d = inputDll();
    out.clear();
    if (!d.present) return false;
    for (const std::u16string& id : d.enabled) out.push_back({id, id == d.defaultId});
    return true;
}

bool setDefaultInput(const char16_t* id) {
    sim::InputDll& d = inputDll();
    if (!d.present || d.refuses || std::find(d.enabled.begin(), d.enabled.end(), id) == d.enabled.end()) return false;
    d.defaultId = id;
    return true;
}

}  // namespace plat
