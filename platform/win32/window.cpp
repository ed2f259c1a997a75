// The wizard's window and its edit controls on Windows.
#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/ui.h"

namespace plat {

namespace {

HWND hwnd(WindowHandle window) { return static_cast<HWND>(window); }

// Class names are ASCII: widening byte by byte is exact.
std::vector<wchar_t> wideAscii(const char* text) {
    std::vector<wchar_t> wide;
    for (const char* p = text; p != nullptr && *p != '\0'; ++p)
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
    wide.push_back(L'\0');
    return wide;
}

}  // namespace

int screenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int screenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

WindowHandle createWindow(const char* className, const char16_t* title, uint32_t style, int x,
                          int y, int width, int height, InstanceHandle instance) {
    std::vector<wchar_t> wideClass = wideAscii(className);
    return CreateWindowExW(0, wideClass.data(), reinterpret_cast<const wchar_t*>(title), style, x,
                           y, width, height, nullptr, nullptr, static_cast<HINSTANCE>(instance),
                           nullptr);
}

WindowHandle createEditControl(WindowHandle parent, int x, int y, int width, int height,
                               InstanceHandle instance) {
    return CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_SYSMENU, x, y, width, height, hwnd(parent),
                           nullptr, static_cast<HINSTANCE>(instance), nullptr);
}

void showWindow(WindowHandle window, int command) { ShowWindow(hwnd(window), command); }

void updateWindow(WindowHandle window) { UpdateWindow(hwnd(window)); }

void setFocus(WindowHandle window) { SetFocus(hwnd(window)); }

bool destroyWindow(WindowHandle window) { return DestroyWindow(hwnd(window)) != 0; }

void invalidate(WindowHandle window, bool erase) {
    InvalidateRect(hwnd(window), nullptr, erase ? TRUE : FALSE);
}

bool setWindowTextA(WindowHandle window, const char* text) {
    return SetWindowTextA(hwnd(window), text != nullptr ? text : "") != 0;
}

int getWindowTextA(WindowHandle window, char* out, int capacity) {
    if (out == nullptr || capacity <= 0) return 0;
    out[0] = '\0';
    int length = GetWindowTextA(hwnd(window), out, capacity);
    if (length < 0) length = 0;
    if (length > capacity - 1) length = capacity - 1;
    out[length] = '\0';
    return length;
}

bool getWindowRect(WindowHandle window, Rect& rect) {
    RECT r;
    if (!GetWindowRect(hwnd(window), &r)) return false;
    rect = Rect{r.left, r.top, r.right, r.bottom};
    return true;
}

void moveWindow(WindowHandle window, int x, int y) {
    SetWindowPos(hwnd(window), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

}  // namespace plat
