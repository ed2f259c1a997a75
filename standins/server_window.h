// The input-method server's window: its class, and the notification that ends the server. The
// setup finds the window by class with FindWindowA, so the name is the 8-bit (GBK) text and the
// window is registered with the 8-bit API: under any code page both sides read the same bytes.
#pragma once
#include <windows.h>

namespace server {

inline constexpr char windowClass[] = "智能Marl输入法";

// WM_COPYDATA with dwData 3599 whose block begins with the zero-terminated text "VKSRF=2".
inline constexpr ULONG_PTR stopCode = 3599;
inline constexpr char stopText[] = "VKSRF=2";

inline bool isStopRequest(const COPYDATASTRUCT* data) {
    if (data == nullptr || data->dwData != stopCode || data->lpData == nullptr) return false;
    if (data->cbData < sizeof stopText) return false;
    // The terminator is compared too: "VKSRF=20" is another request. Bytes after it carry
    // no meaning.
    const char* text = static_cast<const char*>(data->lpData);
    for (size_t i = 0; i < sizeof stopText; ++i)
        if (text[i] != stopText[i]) return false;
    return true;
}

}  // namespace server
