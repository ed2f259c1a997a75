// GDI painting: device contexts, pens, brushes, fonts, texts, lines, rectangles and bitmaps.
#pragma once
#include <cstdint>

#include "platform/ui.h"

namespace plat {

using DeviceContext = void*;  // HDC
using GdiObject = void*;      // HGDIOBJ: pens, brushes, fonts, bitmaps

// COLORREF: red in the low byte.
constexpr uint32_t rgb(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }

enum class Stock { whiteBrush, blackPen, whitePen };

constexpr int charsetGb2312 = 134;

DeviceContext getDC(WindowHandle window);
void releaseDC(WindowHandle window, DeviceContext dc);

// BeginPaint/EndPaint; the session keeps what EndPaint needs.
struct PaintSession {
    DeviceContext dc = nullptr;
    alignas(8) unsigned char state[96] = {};
};
void beginPaint(WindowHandle window, PaintSession& session);
void endPaint(WindowHandle window, PaintSession& session);

GdiObject createPen(int width, uint32_t colour);  // PS_SOLID
GdiObject createSolidBrush(uint32_t colour);
// CreateFontA with the given height, width, weight, character set and face; every other
// parameter 0. The face is 8-bit (GBK), e.g. "宋体".
GdiObject createFont(int height, int width, int weight, int charset, const char* face);
GdiObject stockObject(Stock which);
// SelectObject: the object selected before.
GdiObject selectObject(DeviceContext dc, GdiObject object);
void deleteObject(GdiObject object);

void moveTo(DeviceContext dc, int x, int y);
void lineTo(DeviceContext dc, int x, int y);
// Rectangle: outlined with the selected pen, filled with the selected brush.
void rectangle(DeviceContext dc, int left, int top, int right, int bottom);
void setTextColour(DeviceContext dc, uint32_t colour);
void setTransparentBackground(DeviceContext dc);
// TextOutA of a GBK text (the selected font's character set reads it) and TextOutW.
void textOutA(DeviceContext dc, int x, int y, const char* text);
void textOutW(DeviceContext dc, int x, int y, const char16_t* text);

// CreateDIBitmap(dc, header, CBM_INIT, bits, header as BITMAPINFO, DIB_RGB_COLORS), selected into
// a compatible memory context, StretchBlt(SRCCOPY) to the destination, everything deleted after.
// `info` is the bitmap file's BITMAPINFOHEADER (and colour table), `bits` its pixel bits.
void stretchBitmap(DeviceContext dc, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc,
                   int wSrc, int hSrc, const uint8_t* info, const uint8_t* bits);

}  // namespace plat
