#include "platform/ui.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace plat {

namespace {

// The program's single window procedure, called through a WNDPROC of the right convention.
WindowProc registeredProcedure = nullptr;

LRESULT CALLBACK trampoline(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (registeredProcedure == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    return registeredProcedure(window, message, wParam, lParam);
}

MessageSink messageSink = nullptr;
MessageObserver messageObserver = nullptr;

int observed(const char16_t* text, const char16_t* caption, unsigned type, int answer) {
    if (messageObserver != nullptr) messageObserver(text, caption, type, answer);
    return answer;
}

std::vector<wchar_t> fromGbk(const char* text) {
    if (text == nullptr) text = "";
    int length = static_cast<int>(std::strlen(text));
    int needed = MultiByteToWideChar(936, 0, text, length, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<size_t>(needed) + 1, L'\0');
    if (needed > 0) MultiByteToWideChar(936, 0, text, length, wide.data(), needed);
    return wide;
}

}  // namespace

void setMessageSink(MessageSink sink) { messageSink = sink; }
void setMessageObserver(MessageObserver observer) { messageObserver = observer; }

std::u16string wideFromAnsi(const char* text) {
    if (text == nullptr) text = "";
    int length = static_cast<int>(std::strlen(text));
    int needed = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<size_t>(needed > 0 ? needed : 0) + 1, L'\0');
    if (needed > 0) MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), needed);
    return std::u16string(reinterpret_cast<const char16_t*>(wide.data()));
}

bool isAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByteEx(CP_ACP, byte) != FALSE; }

std::u16string wideFromGbk(const char* text) {
    std::vector<wchar_t> wide = fromGbk(text);
    return std::u16string(reinterpret_cast<const char16_t*>(wide.data()));
}

std::string nativeArgument(const char* argument) { return argument ? argument : ""; }

void writeConsole(bool toError, const std::u16string& text) {
    HANDLE out = GetStdHandle(toError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) return;
    // Redirected: bytes in the console's code page.
    UINT codePage = GetConsoleOutputCP();
    if (codePage == 0) codePage = GetACP();
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.data());
    int length = static_cast<int>(text.size());
    int needed = WideCharToMultiByte(codePage, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::vector<char> bytes(static_cast<size_t>(needed > 0 ? needed : 0) + 1);
    if (needed > 0) WideCharToMultiByte(codePage, 0, wide, length, bytes.data(), needed, nullptr, nullptr);
    WriteFile(out, bytes.data(), static_cast<DWORD>(needed > 0 ? needed : 0), &written, nullptr);
}

int messageBoxW(const char16_t* text, const char16_t* caption, unsigned type) {
    if (messageSink != nullptr) return observed(text, caption, type, messageSink(text, caption, type));
    return observed(text, caption, type,
                    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text),
                                reinterpret_cast<const wchar_t*>(caption), type));
}

int messageBoxA(const char* text, const char* caption, unsigned type) {
    std::vector<wchar_t> wideText = fromGbk(text);
    std::vector<wchar_t> wideCaption = fromGbk(caption);
    const char16_t* text16 = reinterpret_cast<const char16_t*>(wideText.data());
    const char16_t* caption16 = reinterpret_cast<const char16_t*>(wideCaption.data());
    if (messageSink != nullptr) return observed(text16, caption16, type, messageSink(text16, caption16, type));
    return observed(text16, caption16, type, MessageBoxW(nullptr, wideText.data(), wideCaption.data(), type));
}

uint16_t registerWindowClass(const WindowClass& windowClass) {
    registeredProcedure = windowClass.procedure;
    WNDCLASSA wc;
    std::memset(&wc, 0, sizeof wc);
    wc.style = 0;
    wc.lpfnWndProc = trampoline;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = static_cast<HINSTANCE>(windowClass.instance);
    wc.hIcon = LoadIconA(wc.hInstance, windowClass.iconName);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = windowClass.className;
    return static_cast<uint16_t>(RegisterClassA(&wc) & 0xFFFF);
}

intptr_t defWindowProc(WindowHandle window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    return DefWindowProcA(static_cast<HWND>(window), message, wParam, lParam);
}

int getMessage(Message& message) {
    MSG msg;
    int result = GetMessageA(&msg, nullptr, 0, 0);
    message.window = msg.hwnd;
    message.message = msg.message;
    message.wParam = msg.wParam;
    message.lParam = msg.lParam;
    message.time = msg.time;
    message.x = msg.pt.x;
    message.y = msg.pt.y;
    return result;
}

namespace {
MSG toMsg(const Message& message) {
    MSG msg;
    msg.hwnd = static_cast<HWND>(message.window);
    msg.message = message.message;
    msg.wParam = message.wParam;
    msg.lParam = message.lParam;
    msg.time = message.time;
    msg.pt.x = message.x;
    msg.pt.y = message.y;
    return msg;
}
}  // namespace

void translateMessage(const Message& message) {
    MSG msg = toMsg(message);
    TranslateMessage(&msg);
}

intptr_t dispatchMessage(const Message& message) {
    MSG msg = toMsg(message);
    return DispatchMessageA(&msg);
}

bool postMessage(WindowHandle window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    return PostMessageA(static_cast<HWND>(window), message, wParam, lParam) != 0;
}

void postQuitMessage(int exitCode) { PostQuitMessage(exitCode); }

bool setTimer(WindowHandle window, uintptr_t id, unsigned milliseconds) {
    return SetTimer(static_cast<HWND>(window), id, milliseconds, nullptr) != 0;
}

bool killTimer(WindowHandle window, uintptr_t id) {
    return KillTimer(static_cast<HWND>(window), id) != 0;
}

}  // namespace plat
