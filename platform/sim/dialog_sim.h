// The simulated machine's modal dialogs: templates the program may name, scripted clicks, and a
// record of every dialog shown.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui.h"

namespace sim {

// What the simulation needs of a dialog resource.
struct DialogTemplate {
    // Auto radio buttons with no group style: Windows treats them as one group, so a click
    // checks the button and clears every other one before the procedure hears of it.
    std::vector<int> autoRadioButtons;
    // The default push button: what Enter presses.
    int defaultButton = plat::idOk;
    // Where the dialog window appears on the screen and its size, in pixels.
    int x = 0, y = 0, width = 0, height = 0;
};

struct DialogRecord {
    std::string templateName;  // as the program named it, found or not
    plat::WindowHandle owner = nullptr;
    plat::WindowHandle handle = nullptr;  // its window on the desktop (class "#32770")
    bool found = false;                 // the template exists and the dialog was created
    std::vector<int> clicks;            // control ids clicked (scripted, then Enter if needed)
    std::vector<std::pair<int, bool>> checkCalls;  // every BM_SETCHECK of the program, in order
    std::map<int, bool> checks;         // each button's check state when the dialog ended
    bool pressedEnter = false;          // the script ran out before the dialog ended
    bool ended = false;                 // EndDialog was called
    intptr_t result = -1;               // what DialogBoxParamA returned
    int x = 0, y = 0;                   // the window's position when the dialog ended
};

struct Dialogs {
    // By template name; naming a template not listed here fails as a missing resource does
    // (DialogBoxParamA returns -1 without calling the procedure).
    std::map<std::string, DialogTemplate> templates;
    // The clicks for each next dialog, in order: control ids, each delivered as a BN_CLICKED
    // WM_COMMAND after WM_INITDIALOG (2 is the cancel command of Escape and the close box).
    // A dialog still open when its clicks run out gets Enter, its default button; one still
    // open after that would wait forever on Windows: it is abandoned and returns -1.
    std::deque<std::vector<int>> scripts;
    std::vector<DialogRecord> shown;
};

}  // namespace sim
