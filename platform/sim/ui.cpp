#include "platform/ui.h"

#include <cstdio>
#include <cstdlib>

#include "platform/sim/machine.h"

namespace plat {

namespace {

MessageSink messageSink = nullptr;
MessageObserver messageObserver = nullptr;

sim::Machine& machine() {
    if (sim::Machine* m = sim::current()) return *m;
    std::fputs("no simulated machine for a user-interface call\n", stderr);
    std::abort();
}

int answered(std::u16string text, std::u16string caption, unsigned type);

int record(const std::u16string& text, const std::u16string& caption, unsigned type) {
    int answer = answered(text, caption, type);
    if (messageObserver != nullptr) messageObserver(text.c_str(), caption.c_str(), type, answer);
    return answer;
}

int answered(std::u16string text, std::u16string caption, unsigned type) {
    if (messageSink != nullptr) return messageSink(text.c_str(), caption.c_str(), type);
    sim::Machine& m = machine();
    if (m.duringMessageBox) m.duringMessageBox();
    int answer;
    if (!m.answers.empty()) {
        answer = m.answers.front();
        m.answers.pop_front();
    } else {
        // Unscripted boxes take their first button.
        answer = offersYes(type) ? idYes : idOk;
    }
    m.messageBoxes.push_back({std::move(caption), std::move(text), type, answer});
    return answer;
}

}  // namespace

void setMessageSink(MessageSink sink) { messageSink = sink; }
void setMessageObserver(MessageObserver observer) { messageObserver = observer; }

// The simulated system's ANSI code page is GBK.
std::u16string wideFromAnsi(const char* text) { return sim::fromGbk(text ? text : ""); }

std::u16string wideFromGbk(const char* text) { return sim::fromGbk(text ? text : ""); }

// Lead bytes as Windows' code pages have them: the Chinese and Korean ones 0x81-0xFE, Japanese
// 0x81-0x9F and 0xE0-0xFC, the single-byte ones none.
bool isAnsiLeadByte(unsigned char byte) {
    // Without a machine (a test of the container alone): the Chinese system's.
    const sim::Machine* m = sim::current();
    switch (m != nullptr ? m->ansiCodePage : 936) {
        case 936:
        case 949:
        case 950: return byte >= 0x81 && byte <= 0xFE;
        case 932: return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        default: return false;
    }
}

std::string nativeArgument(const char* argument) {
    return sim::strictConvert("GBK", "UTF-8", argument ? argument : "");
}

void writeConsole(bool toError, const std::u16string& text) {
    std::string bytes = sim::toUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), toError ? stderr : stdout);
}

int messageBoxW(const char16_t* text, const char16_t* caption, unsigned type) {
    return record(text ? text : u"", caption ? caption : u"", type);
}

int messageBoxA(const char* text, const char* caption, unsigned type) {
    return record(sim::fromGbk(text ? text : ""), sim::fromGbk(caption ? caption : ""), type);
}

uint16_t registerWindowClass(const WindowClass& windowClass) {
    sim::Machine& m = machine();
    if (m.failClassRegistration) return 0;
    for (const sim::WindowClassRecord& existing : m.windowClasses)
        if (existing.className == windowClass.className) return 0;
    m.windowClasses.push_back({windowClass.className ? windowClass.className : "",
                               windowClass.iconName ? windowClass.iconName : "",
                               windowClass.procedure, windowClass.instance});
    return static_cast<uint16_t>(0xC000 + m.windowClasses.size());
}

intptr_t defWindowProc(WindowHandle window, unsigned message, uintptr_t, intptr_t) {
    // As Windows does: the close box destroys the window, which sends WM_DESTROY.
    if (message == wmClose) destroyWindow(window);
    return 0;
}

int getMessage(Message& message) {
    sim::Machine& m = machine();
    // Nothing else can ever arrive on a simulated queue: an empty queue ends the loop.
    if (m.messages.empty()) {
        message = Message{};
        message.message = wmQuit;
        return 0;
    }
    message = m.messages.front();
    m.messages.pop_front();
    return message.message == wmQuit ? 0 : 1;
}

void translateMessage(const Message&) {}

intptr_t dispatchMessage(const Message& message) {
    sim::Machine& m = machine();
    for (const sim::WindowClassRecord& c : m.windowClasses)
        if (c.procedure != nullptr)
            return c.procedure(message.window, message.message, message.wParam, message.lParam);
    return 0;
}

bool postMessage(WindowHandle window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    Message posted;
    posted.window = window;
    posted.message = message;
    posted.wParam = wParam;
    posted.lParam = lParam;
    machine().messages.push_back(posted);
    return true;
}

bool setTimer(WindowHandle window, uintptr_t id, unsigned milliseconds) {
    sim::Machine& m = machine();
    if (m.failTimers) return false;
    killTimer(window, id);
    m.timers.push_back({window, id, milliseconds});
    return true;
}

bool killTimer(WindowHandle window, uintptr_t id) {
    sim::Machine& m = machine();
    for (size_t i = 0; i < m.timers.size(); ++i) {
        if (m.timers[i].window == window && m.timers[i].id == id) {
            m.timers.erase(m.timers.begin() + static_cast<long>(i));
            return true;
        }
    }
    return false;
}

void postQuitMessage(int exitCode) {
    Message quit;
    quit.message = wmQuit;
    quit.wParam = static_cast<uintptr_t>(exitCode);
    machine().messages.push_back(quit);
}

}  // namespace plat
