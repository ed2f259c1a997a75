// GDI painting on Windows: thin calls.
#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/paint.h"

namespace plat {

namespace {

HDC hdc(DeviceContext dc) { return static_cast<HDC>(dc); }

static_assert(sizeof(PAINTSTRUCT) <= sizeof(PaintSession::state), "PaintSession too small");

// The BITMAPINFO that CreateDIBitmap reads: the header and, after it, the colour table or the
// bit-field masks. Copied so that GDI gets it aligned whatever the file's layout; empty when
// the header claims more than a bitmap header and a full colour table.
std::vector<DWORD> bitmapInfo(const uint8_t* info) {
    BITMAPINFOHEADER header;
    std::memcpy(&header, info, sizeof header);
    if (header.biSize < sizeof header || header.biSize > sizeof(BITMAPV5HEADER)) return {};
    size_t limit = header.biBitCount <= 8 ? size_t{1} << header.biBitCount : 256;
    size_t entries = header.biClrUsed;
    if (entries == 0 && header.biBitCount <= 8) entries = limit;
    if (entries > limit) return {};
    if (header.biCompression == BI_BITFIELDS && header.biSize == sizeof header) entries = 3;
    size_t bytes = header.biSize + entries * sizeof(RGBQUAD);
    std::vector<DWORD> copy((bytes + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
    std::memcpy(copy.data(), info, bytes);
    return copy;
}

}  // namespace

DeviceContext getDC(WindowHandle window) { return GetDC(static_cast<HWND>(window)); }

void releaseDC(WindowHandle window, DeviceContext dc) { ReleaseDC(static_cast<HWND>(window), hdc(dc)); }

void beginPaint(WindowHandle window, PaintSession& session) {
    PAINTSTRUCT paint;
    session.dc = BeginPaint(static_cast<HWND>(window), &paint);
    std::memcpy(session.state, &paint, sizeof paint);
}

void endPaint(WindowHandle window, PaintSession& session) {
    PAINTSTRUCT paint;
    std::memcpy(&paint, session.state, sizeof paint);
    EndPaint(static_cast<HWND>(window), &paint);
    session.dc = nullptr;
}

GdiObject createPen(int width, uint32_t colour) { return CreatePen(PS_SOLID, width, colour); }

GdiObject createSolidBrush(uint32_t colour) { return CreateSolidBrush(colour); }

GdiObject createFont(int height, int width, int weight, int charset, const char* face) {
    return CreateFontA(height, width, 0, 0, weight, 0, 0, 0, static_cast<DWORD>(charset), 0, 0, 0,
                       0, face);
}

GdiObject stockObject(Stock which) {
    switch (which) {
        case Stock::whiteBrush: return GetStockObject(WHITE_BRUSH);
        case Stock::blackPen: return GetStockObject(BLACK_PEN);
        case Stock::whitePen: return GetStockObject(WHITE_PEN);
    }
    return nullptr;
}

GdiObject selectObject(DeviceContext dc, GdiObject object) {
    return SelectObject(hdc(dc), static_cast<HGDIOBJ>(object));
}

void deleteObject(GdiObject object) { DeleteObject(static_cast<HGDIOBJ>(object)); }

void moveTo(DeviceContext dc, int x, int y) { MoveToEx(hdc(dc), x, y, nullptr); }

void lineTo(DeviceContext dc, int x, int y) { LineTo(hdc(dc), x, y); }

void rectangle(DeviceContext dc, int left, int top, int right, int bottom) {
    Rectangle(hdc(dc), left, top, right, bottom);
}

void setTextColour(DeviceContext dc, uint32_t colour) { SetTextColor(hdc(dc), colour); }

void setTransparentBackground(DeviceContext dc) { SetBkMode(hdc(dc), TRANSPARENT); }

void textOutA(DeviceContext dc, int x, int y, const char* text) {
    if (text == nullptr) return;
    TextOutA(hdc(dc), x, y, text, static_cast<int>(std::strlen(text)));
}

void textOutW(DeviceContext dc, int x, int y, const char16_t* text) {
    if (text == nullptr) return;
    int length = 0;
    while (text[length] != u'\0') ++length;
    TextOutW(hdc(dc), x, y, reinterpret_cast<const wchar_t*>(text), length);
}

void stretchBitmap(DeviceContext dc, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc,
                   int wSrc, int hSrc, const uint8_t* info, const uint8_t* bits) {
    if (info == nullptr || bits == nullptr) return;
    std::vector<DWORD> header = bitmapInfo(info);
    if (header.empty()) return;
    const BITMAPINFO* bitmapInfo = reinterpret_cast<const BITMAPINFO*>(header.data());
    HBITMAP bitmap = CreateDIBitmap(hdc(dc), &bitmapInfo->bmiHeader, CBM_INIT, bits, bitmapInfo,
                                    DIB_RGB_COLORS);
    if (bitmap == nullptr) return;
    HDC memory = CreateCompatibleDC(hdc(dc));
    if (memory != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        StretchBlt(hdc(dc), xDest, yDest, wDest, hDest, memory, xSrc, ySrc, wSrc, hSrc, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
    }
    DeleteObject(bitmap);
}

}  // namespace plat
