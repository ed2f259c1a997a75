// Modal dialogs on the simulated machine: the procedure gets WM_INITDIALOG, then one BN_CLICKED
// WM_COMMAND per scripted click until it calls EndDialog.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/sim/machine.h"
#include "platform/ui.h"

namespace plat {

namespace {

sim::Machine& machine() {
    if (sim::Machine* m = sim::current()) return *m;
    std::fputs("no simulated machine for a dialog call\n", stderr);
    std::abort();
}

// By handle, not by reference: a procedure may show another dialog, which grows the list.
sim::DialogRecord* record(WindowHandle dialog) {
    for (sim::DialogRecord& r : machine().dialogs.shown)
        if (r.handle == dialog && dialog != nullptr) return &r;
    return nullptr;
}

bool ended(WindowHandle dialog) {
    sim::DialogRecord* r = record(dialog);
    return r == nullptr || r->ended;
}

void click(WindowHandle dialog, const sim::DialogTemplate& dialogTemplate, int id,
           DialogProc procedure) {
    if (sim::DialogRecord* r = record(dialog)) {
        r->clicks.push_back(id);
        const std::vector<int>& radios = dialogTemplate.autoRadioButtons;
        if (std::find(radios.begin(), radios.end(), id) != radios.end())
            for (int other : radios) r->checks[other] = other == id;
    }
    // BN_CLICKED is notification code 0: the high word stays clear.
    procedure(dialog, wmCommand, static_cast<uintptr_t>(id & 0xFFFF), 0);
}

}  // namespace

intptr_t dialogBox(InstanceHandle, const char* templateName, WindowHandle owner,
                   DialogProc procedure) {
    sim::Dialogs& dialogs = machine().dialogs;
    sim::DialogRecord shown;
    shown.templateName = templateName != nullptr ? templateName : "";
    shown.owner = owner;
    std::vector<int> script;
    if (!dialogs.scripts.empty()) {
        script = dialogs.scripts.front();
        dialogs.scripts.pop_front();
    }
    auto found = dialogs.templates.find(shown.templateName);
    if (found == dialogs.templates.end() || procedure == nullptr) {
        dialogs.shown.push_back(shown);
        return -1;
    }
    const sim::DialogTemplate dialogTemplate = found->second;
    shown.found = true;
    // A top-level window of the desktop (owned, not a child), so that GetWindowRect and
    // SetWindowPos work on it in screen coordinates.
    sim::Desktop& desktop = machine().desktop;
    shown.handle = reinterpret_cast<WindowHandle>(desktop.addWindow(
        "#32770", dialogTemplate.x, dialogTemplate.y, dialogTemplate.width, dialogTemplate.height));
    WindowHandle dialog = shown.handle;
    dialogs.shown.push_back(shown);

    procedure(dialog, wmInitDialog, 0, 0);
    for (int id : script) {
        if (ended(dialog)) break;
        click(dialog, dialogTemplate, id, procedure);
    }
    if (!ended(dialog)) {
        if (sim::DialogRecord* r = record(dialog)) r->pressedEnter = true;
        click(dialog, dialogTemplate, dialogTemplate.defaultButton, procedure);
    }
    // The dialog window goes when DialogBoxParamA returns.
    if (sim::OwnWindow* w = machine().desktop.window(dialog)) {
        w->destroyed = true;
        w->visible = false;
    }
    sim::DialogRecord* r = record(dialog);
    if (r == nullptr) return -1;
    if (sim::OwnWindow* w = machine().desktop.window(dialog)) {
        r->x = w->x;
        r->y = w->y;
    }
    if (!r->ended) return -1;  // abandoned: on Windows it would never return
    return r->result;
}

void endDialog(WindowHandle dialog, intptr_t result) {
    sim::DialogRecord* r = record(dialog);
    if (r == nullptr || r->ended) return;
    r->ended = true;
    r->result = result;
}

void setButtonCheck(WindowHandle dialog, int id, bool checked) {
    sim::DialogRecord* r = record(dialog);
    if (r == nullptr) return;
    r->checkCalls.emplace_back(id, checked);
    r->checks[id] = checked;
}

}  // namespace plat
