// The program's own windows on the simulated machine: the wizard's window, created through its
// registered class with WM_CREATE delivered inside, and its edit controls.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sim/machine.h"
#include "platform/ui.h"

namespace sim {

OwnWindow* Desktop::window(uintptr_t handle) {
    if (handle == 0) return nullptr;
    for (OwnWindow& w : windows)
        if (w.handle == handle) return &w;
    return nullptr;
}

OwnWindow* Desktop::window(plat::WindowHandle handle) {
    return window(reinterpret_cast<uintptr_t>(handle));
}

OwnWindow* Desktop::mainWindow() {
    for (OwnWindow& w : windows)
        if (w.parent == 0 && !w.isEdit()) return &w;
    return nullptr;
}

uintptr_t Desktop::addWindow(const std::string& className, int x, int y, int width, int height,
                             uintptr_t parent) {
    OwnWindow w;
    w.handle = newHandle();
    w.className = className;
    w.parent = parent;
    w.x = x;
    w.y = y;
    w.width = width;
    w.height = height;
    w.visible = true;
    windows.push_back(w);
    return w.handle;
}

int Desktop::paintInvalidWindows() {
    // By handle: a paint may create or destroy windows.
    std::vector<uintptr_t> due;
    for (const OwnWindow& w : windows)
        if (!w.destroyed && w.visible && w.invalid && w.procedure != nullptr) due.push_back(w.handle);
    int painted = 0;
    for (uintptr_t handle : due) {
        OwnWindow* w = window(handle);
        if (w == nullptr || w->destroyed || !w->invalid) continue;
        plat::WindowProc procedure = w->procedure;
        procedure(reinterpret_cast<plat::WindowHandle>(handle), plat::wmPaint, 0, 0);
        ++painted;
    }
    return painted;
}

}  // namespace sim

namespace plat {

namespace {

sim::Machine& machine() {
    if (sim::Machine* m = sim::current()) return *m;
    std::fputs("no simulated machine for a window call\n", stderr);
    std::abort();
}

sim::Desktop& desktop() { return machine().desktop; }

uintptr_t id(WindowHandle window) { return reinterpret_cast<uintptr_t>(window); }
WindowHandle handleOf(uintptr_t id) { return reinterpret_cast<WindowHandle>(id); }

// A live window of the program: known and not destroyed.
sim::OwnWindow* live(WindowHandle window) {
    sim::OwnWindow* w = desktop().window(window);
    return (w != nullptr && !w->destroyed) ? w : nullptr;
}

intptr_t send(uintptr_t window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    sim::OwnWindow* w = desktop().window(window);
    if (w == nullptr || w->procedure == nullptr) return 0;
    WindowProc procedure = w->procedure;
    return procedure(handleOf(window), message, wParam, lParam);
}

bool activates(int command) {
    // SW_HIDE, SW_SHOWMINNOACTIVE, SW_SHOWNA and SW_SHOWNOACTIVATE leave the focus where it is.
    return command != swHide && command != 7 && command != 8 && command != 4;
}

// The window itself or one of its children holds the focus.
bool focusWithin(uintptr_t window) {
    sim::Desktop& d = desktop();
    if (d.focus == window) return true;
    sim::OwnWindow* focused = d.window(d.focus);
    return focused != nullptr && focused->parent == window;
}

void markDestroyed(uintptr_t window) {
    sim::Desktop& d = desktop();
    if (sim::OwnWindow* w = d.window(window)) {
        w->destroyed = true;
        w->visible = false;
        w->invalid = false;
    }
    if (d.focus == window) d.focus = 0;
}

}  // namespace

int screenWidth() { return desktop().screenWidth; }
int screenHeight() { return desktop().screenHeight; }

WindowHandle createWindow(const char* className, const char16_t* title, uint32_t style, int x,
                          int y, int width, int height, InstanceHandle) {
    sim::Machine& m = machine();
    if (m.desktop.failWindowCreation || className == nullptr) return nullptr;
    WindowProc procedure = nullptr;
    bool registered = false;
    for (const sim::WindowClassRecord& c : m.windowClasses) {
        if (c.className == className) {
            procedure = c.procedure;
            registered = true;
        }
    }
    if (!registered) return nullptr;

    sim::OwnWindow w;
    w.handle = m.desktop.newHandle();
    w.className = className;
    w.title = title != nullptr ? title : u"";
    w.style = style;
    w.procedure = procedure;
    w.x = x;
    w.y = y;
    w.width = width;
    w.height = height;
    m.desktop.windows.push_back(w);
    uintptr_t handle = w.handle;

    // As on Windows, WM_CREATE runs before CreateWindowExW returns; -1 destroys the window.
    if (send(handle, wmCreate, 0, 0) == -1) {
        send(handle, wmDestroy, 0, 0);
        markDestroyed(handle);
        return nullptr;
    }
    return handleOf(handle);
}

WindowHandle createEditControl(WindowHandle parent, int x, int y, int width, int height,
                               InstanceHandle) {
    sim::Desktop& d = desktop();
    if (d.failEditCreation || live(parent) == nullptr) return nullptr;
    sim::OwnWindow w;
    w.handle = d.newHandle();
    w.className = "EDIT";
    w.parent = id(parent);
    w.style = wsChild | wsSysMenu;
    w.x = x;
    w.y = y;
    w.width = width;
    w.height = height;
    d.windows.push_back(w);
    return handleOf(w.handle);
}

void showWindow(WindowHandle window, int command) {
    sim::OwnWindow* w = live(window);
    if (w == nullptr) return;
    w->showCommands.push_back(command);
    bool wasVisible = w->visible;
    w->visible = command != swHide;
    if (w->parent != 0) {
        // What a child covered or uncovers is its parent's to repaint.
        if (wasVisible != w->visible) {
            if (sim::OwnWindow* parent = live(handleOf(w->parent))) {
                parent->invalid = true;
                parent->erasePending = true;
            }
        }
        return;
    }
    if (w->visible && !wasVisible) {
        w->invalid = true;
        w->erasePending = true;
    }
    uintptr_t handle = w->handle;
    if (w->visible && activates(command) && !focusWithin(handle)) setFocus(window);
}

void updateWindow(WindowHandle window) {
    sim::OwnWindow* w = live(window);
    if (w == nullptr || !w->visible || !w->invalid) return;
    send(w->handle, wmPaint, 0, 0);
}

void setFocus(WindowHandle window) {
    sim::Desktop& d = desktop();
    sim::OwnWindow* w = live(window);
    if (w == nullptr) return;
    uintptr_t previous = d.focus;
    if (previous == w->handle) return;
    d.focus = w->handle;
    send(w->handle, wmSetFocus, previous, 0);
}

bool destroyWindow(WindowHandle window) {
    sim::Desktop& d = desktop();
    sim::OwnWindow* w = live(window);
    if (w == nullptr) return false;
    uintptr_t handle = w->handle;
    if (w->parent != 0 && w->visible) {
        if (sim::OwnWindow* parent = live(handleOf(w->parent))) {
            parent->invalid = true;
            parent->erasePending = true;
        }
    }
    // The window hears WM_DESTROY first, then its children go.
    w->visible = false;
    send(handle, wmDestroy, 0, 0);
    std::vector<uintptr_t> children;
    for (const sim::OwnWindow& child : d.windows)
        if (child.parent == handle && !child.destroyed) children.push_back(child.handle);
    for (uintptr_t child : children) {
        send(child, wmDestroy, 0, 0);
        markDestroyed(child);
    }
    markDestroyed(handle);
    return true;
}

void invalidate(WindowHandle window, bool erase) {
    sim::Desktop& d = desktop();
    sim::OwnWindow* w = live(window);
    if (w == nullptr) return;
    d.invalidations.emplace_back(w->handle, erase);
    w->invalid = true;
    if (erase) w->erasePending = true;
}

bool setWindowTextA(WindowHandle window, const char* text) {
    sim::OwnWindow* w = live(window);
    if (w == nullptr) return false;
    std::string bytes = text != nullptr ? text : "";
    if (w->isEdit()) w->text = bytes;
    else w->title = sim::fromGbk(bytes);
    return true;
}

int getWindowTextA(WindowHandle window, char* out, int capacity) {
    if (out == nullptr || capacity <= 0) return 0;
    out[0] = '\0';
    sim::OwnWindow* w = live(window);
    if (w == nullptr) return 0;
    std::string bytes = w->isEdit() ? w->text : sim::toGbk(w->title);
    size_t length = std::min(bytes.size(), static_cast<size_t>(capacity - 1));
    std::memcpy(out, bytes.data(), length);
    out[length] = '\0';
    return static_cast<int>(length);
}

bool getWindowRect(WindowHandle window, Rect& rect) {
    sim::OwnWindow* w = live(window);
    if (w == nullptr) return false;
    int left = w->x;
    int top = w->y;
    // A child's position is in its parent's client area, below the parent's caption.
    for (sim::OwnWindow* parent = live(handleOf(w->parent)); parent != nullptr;
         parent = live(handleOf(parent->parent))) {
        left += parent->x + (parent->parent == 0 ? sim::frameWidth : 0);
        top += parent->y + (parent->parent == 0 ? sim::frameWidth + sim::captionHeight : 0);
    }
    rect = Rect{left, top, left + w->width, top + w->height};
    return true;
}

void moveWindow(WindowHandle window, int x, int y) {
    sim::OwnWindow* w = live(window);
    if (w == nullptr) return;
    w->x = x;
    w->y = y;
}

}  // namespace plat
