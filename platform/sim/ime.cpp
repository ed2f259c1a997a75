#include "platform/ime.h"

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

}  // namespace plat
