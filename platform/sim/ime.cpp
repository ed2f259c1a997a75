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
    return i.acceptsModules ? i.installedLayout : 0;
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
