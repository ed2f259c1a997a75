// The platform's input-method server (vornel88.exe): one hidden top-level window of the
// server's class per session. It ends on the setup's stop notification (so that the setup can
// replace the program) or with the session; nothing else closes it.
#include <windows.h>

#include "server_window.h"

namespace {

LRESULT CALLBACK serverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COPYDATA:
            if (!server::isStopRequest(reinterpret_cast<const COPYDATASTRUCT*>(lParam)))
                return FALSE;
            DestroyWindow(window);
            return TRUE;
        case WM_CLOSE:
            return 0;  // not a user's window: only the notification or the session's end
        case WM_ENDSESSION:
            if (wParam) DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // One server per session: a second start leaves the running one in charge.
    if (FindWindowA(server::windowClass, nullptr) != nullptr) return 0;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = serverWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = server::windowClass;
    if (RegisterClassA(&windowClass) == 0) return 1;
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, server::windowClass, server::windowClass,
                                  WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;

    MSG message;
    int result;
    while ((result = GetMessageA(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return result < 0 ? 1 : static_cast<int>(message.wParam);
}
