#include "platform/ipc.h"

#include <algorithm>
#include <cstring>

#include "platform/sim/machine.h"

namespace plat {

namespace {
sim::Machine& machine() { return *sim::current(); }
uintptr_t id(WindowHandle window) { return reinterpret_cast<uintptr_t>(window); }
}  // namespace

void enumWindows(WindowVisitor visitor, void* context) {
    // A copy: a visitor may not change the list it walks.
    std::vector<uintptr_t> handles;
    for (const sim::Machine::Window& w : machine().windows) handles.push_back(w.handle);
    for (uintptr_t handle : handles)
        if (!visitor(reinterpret_cast<WindowHandle>(handle), context)) return;
}

unsigned getClassName(WindowHandle window, char* out, unsigned capacity) {
    if (capacity == 0) return 0;
    sim::Machine::Window* w = machine().window(id(window));
    std::string name = w ? w->className : "";
    size_t length = std::min<size_t>(name.size(), capacity - 1);
    std::memcpy(out, name.data(), length);
    out[length] = '\0';
    return static_cast<unsigned>(length);
}

WindowHandle getParent(WindowHandle window) {
    sim::Machine::Window* w = machine().window(id(window));
    return w ? reinterpret_cast<WindowHandle>(w->parent) : nullptr;
}

unsigned getWindowText(WindowHandle window, char16_t* out, unsigned capacity) {
    if (capacity == 0) return 0;
    sim::Machine::Window* w = machine().window(id(window));
    std::u16string title = w ? w->title : u"";
    size_t length = std::min<size_t>(title.size(), capacity - 1);
    std::copy(title.begin(), title.begin() + static_cast<long>(length), out);
    out[length] = u'\0';
    return static_cast<unsigned>(length);
}

WindowHandle findWindow(const char* className) {
    for (const sim::Machine::Window& w : machine().windows)
        if (w.className == className) return reinterpret_cast<WindowHandle>(w.handle);
    return nullptr;
}

bool isWindow(WindowHandle window) { return machine().window(id(window)) != nullptr; }

void bringToFront(WindowHandle window) { machine().broughtToFront.push_back(id(window)); }

bool holdSingleInstance(const char* name, unsigned waitMilliseconds, bool& another) {
    sim::Machine& m = machine();
    bool squatted = std::find(m.squattedNames.begin(), m.squattedNames.end(), name) != m.squattedNames.end();
    if (squatted && m.versionMajor < 6) {
        // The user's object never goes away: every wait ends unanswered.
        another = true;
        m.sleptMilliseconds += waitMilliseconds;
        return false;
    }
    auto other = m.otherInstances.find(name);
    another = other != m.otherInstances.end();
    if (!another) return true;
    // The other setup ends after its own time; this one waits that long at the most.
    if (other->second > waitMilliseconds) {
        m.sleptMilliseconds += waitMilliseconds;
        return false;
    }
    m.sleptMilliseconds += other->second;
    m.otherInstances.erase(other);
    return true;
}

intptr_t sendCopyData(WindowHandle window, uintptr_t, const CopyData* data) {
    sim::Machine& m = machine();
    sim::Machine::Window* w = m.window(id(window));
    if (w == nullptr) return 0;
    if (w->faultOnCopyData) sim::raiseFault();
    if (w->hung) {
        m.sleptMilliseconds += copyDataTimeout;  // the time the call waits before it gives up
        return 0;
    }
    std::string bytes(static_cast<const char*>(data->lpData), data->cbData);
    w->copyData.emplace_back(data->dwData, bytes);
    if (w->closesOnNotification && data->dwData == 3599 &&
        std::strcmp(bytes.c_str(), "VKSRF=2") == 0) {
        m.closedWindows.push_back(*w);
        m.windows.erase(m.windows.begin() + (w - m.windows.data()));
    }
    return 1;
}

bool fileMappingExists(const char* name) {
    const std::vector<std::string>& mappings = machine().fileMappings;
    return std::find(mappings.begin(), mappings.end(), name) != mappings.end();
}

bool runWithOutput(const char* commandLine, char* out, size_t capacity) {
    sim::Machine& m = machine();
    if (capacity == 0) return false;
    out[0] = '\0';
    m.capturedCommands.push_back(commandLine);
    if (m.pipeFails || m.faultHere("program start")) return false;
    auto it = m.commandOutputs.find(commandLine);
    std::string output = it == m.commandOutputs.end() ? std::string() : it->second;
    size_t length = std::min(output.size(), capacity - 1);
    std::memcpy(out, output.data(), length);
    out[length] = '\0';
    return true;
}

}  // namespace plat
