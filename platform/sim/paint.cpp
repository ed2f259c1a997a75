// GDI on the simulated machine: every drawing call is recorded in the display list, and lines,
// rectangles and bitmaps drawn on the main window are rasterised as GDI does it, so that tests
// can check pixels. Text is recorded only.
#include "platform/paint.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/sim/machine.h"

namespace sim {

Desktop::Desktop() : pixels_(static_cast<size_t>(canvasWidth) * canvasHeight, white) {
    GdiRecord brush;
    brush.kind = ObjectKind::brush;
    brush.colour = white;
    GdiRecord blackPen;
    blackPen.kind = ObjectKind::pen;
    blackPen.colour = 0;
    GdiRecord whitePen;
    whitePen.kind = ObjectKind::pen;
    whitePen.colour = white;
    GdiRecord font;
    font.kind = ObjectKind::font;
    font.font.height = 16;
    font.font.weight = 700;
    font.font.face = "System";
    font.font.stock = true;
    GdiRecord* stockObjects[] = {&brush, &blackPen, &whitePen, &font};
    for (int i = 0; i < 4; ++i) {
        stockObjects[i]->stock = true;
        stockObjects[i]->handle = newHandle();
        stockHandles_[i] = stockObjects[i]->handle;
        objects.push_back(*stockObjects[i]);
    }
}

namespace {
// Records are appended as their handles are given out, so both lists are sorted by handle; a
// paint makes a pen a line, and a linear search would grow with every paint of a run.
template <class Record>
Record* byHandle(std::vector<Record>& records, uintptr_t handle) {
    if (handle == 0) return nullptr;
    auto it = std::lower_bound(records.begin(), records.end(), handle,
                               [](const Record& r, uintptr_t h) { return r.handle < h; });
    return it != records.end() && it->handle == handle ? &*it : nullptr;
}
}  // namespace

GdiRecord* Desktop::findObject(uintptr_t handle) { return byHandle(objects, handle); }

const GdiRecord* Desktop::object(plat::GdiObject handle) const {
    uintptr_t wanted = reinterpret_cast<uintptr_t>(handle);
    for (const GdiRecord& o : objects)
        if (o.handle == wanted && wanted != 0) return &o;
    return nullptr;
}

ContextRecord* Desktop::findContext(uintptr_t handle) { return byHandle(contexts, handle); }

std::vector<const GdiRecord*> Desktop::liveObjects() const {
    std::vector<const GdiRecord*> live;
    for (const GdiRecord& o : objects)
        if (!o.stock && !o.deleted) live.push_back(&o);
    return live;
}

int Desktop::created(ObjectKind kind) const {
    return static_cast<int>(std::count_if(objects.begin(), objects.end(), [kind](const GdiRecord& o) {
        return !o.stock && o.kind == kind;
    }));
}

int Desktop::deletedCount(ObjectKind kind) const {
    return static_cast<int>(std::count_if(objects.begin(), objects.end(), [kind](const GdiRecord& o) {
        return !o.stock && o.kind == kind && o.deleted;
    }));
}

int Desktop::openContexts() const {
    return static_cast<int>(std::count_if(contexts.begin(), contexts.end(),
                                          [](const ContextRecord& c) { return !c.released; }));
}

uint32_t Desktop::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= canvasWidth || y >= canvasHeight) return white;
    return pixels_[static_cast<size_t>(y) * canvasWidth + static_cast<size_t>(x)];
}

void Desktop::putPixel(int x, int y, uint32_t colour) {
    if (x < 0 || y < 0 || x >= canvasWidth || y >= canvasHeight) return;
    pixels_[static_cast<size_t>(y) * canvasWidth + static_cast<size_t>(x)] = colour & 0xFFFFFF;
}

void Desktop::fillCanvas(uint32_t colour) { std::fill(pixels_.begin(), pixels_.end(), colour); }

void Desktop::clearDrawing() {
    ops.clear();
    fillCanvas(white);
}

std::string Desktop::ppm() const {
    std::string image = "P6\n" + std::to_string(canvasWidth) + " " + std::to_string(canvasHeight) +
                        "\n255\n";
    for (uint32_t p : pixels_) {
        image += static_cast<char>(p & 0xFF);
        image += static_cast<char>((p >> 8) & 0xFF);
        image += static_cast<char>((p >> 16) & 0xFF);
    }
    return image;
}

bool Desktop::drawsOnCanvas(const ContextRecord& context) {
    if (!rasterise) return false;
    const OwnWindow* main = mainWindow();
    return main != nullptr && !main->destroyed && context.window == main->handle;
}

}  // namespace sim

namespace plat {

namespace {

sim::Machine& machine() {
    if (sim::Machine* m = sim::current()) return *m;
    std::fputs("no simulated machine for a painting call\n", stderr);
    std::abort();
}

sim::Desktop& desktop() { return machine().desktop; }

uintptr_t id(const void* handle) { return reinterpret_cast<uintptr_t>(handle); }

// A context that may still be drawn on; calls on others fail, as GDI's do.
sim::ContextRecord* live(DeviceContext dc) {
    sim::ContextRecord* c = desktop().findContext(id(dc));
    return (c != nullptr && !c->released) ? c : nullptr;
}

void select(sim::ContextRecord& context, uintptr_t& slot, uintptr_t object) {
    sim::Desktop& d = desktop();
    if (sim::GdiRecord* old = d.findObject(slot)) --old->selections;
    slot = object;
    if (sim::GdiRecord* now = d.findObject(slot)) ++now->selections;
    (void)context;
}

DeviceContext newContext(uintptr_t window, bool fromBeginPaint, bool memory) {
    sim::Desktop& d = desktop();
    sim::ContextRecord c;
    c.handle = d.newHandle();
    c.window = window;
    c.fromBeginPaint = fromBeginPaint;
    c.memory = memory;
    d.contexts.push_back(c);
    sim::ContextRecord& added = d.contexts.back();
    select(added, added.pen, d.stock(1));
    select(added, added.brush, d.stock(0));
    select(added, added.font, d.defaultFont());
    return reinterpret_cast<DeviceContext>(added.handle);
}

void release(DeviceContext dc) {
    sim::ContextRecord* c = live(dc);
    if (c == nullptr) return;
    // Whatever it held is free to be deleted once the context is gone.
    select(*c, c->pen, 0);
    select(*c, c->brush, 0);
    select(*c, c->font, 0);
    select(*c, c->bitmap, 0);
    c->released = true;
}

sim::DrawOp startOp(const sim::ContextRecord& c, sim::DrawOp::Kind kind) {
    sim::DrawOp op;
    op.kind = kind;
    op.window = c.memory ? 0 : c.window;
    return op;
}

uint32_t penColour(const sim::ContextRecord& c, int* width = nullptr) {
    const sim::GdiRecord* pen = desktop().findObject(c.pen);
    if (width != nullptr) *width = pen != nullptr ? std::max(1, pen->penWidth) : 1;
    return pen != nullptr ? pen->colour : 0;
}

// A pen of width w covers a w by w square around each point of its path.
void plot(int x, int y, int width, uint32_t colour) {
    sim::Desktop& d = desktop();
    int from = -(width - 1) / 2;
    for (int dy = from; dy < from + width; ++dy)
        for (int dx = from; dx < from + width; ++dx) d.putPixel(x + dx, y + dy, colour);
}

// Bresenham from the start to the end, the end pixel excluded, as LineTo draws.
void rasteriseLine(int x0, int y0, int x1, int y1, int width, uint32_t colour) {
    int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    while (x0 != x1 || y0 != y1) {
        plot(x0, y0, width, colour);
        int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += sx;
        }
        if (twice <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The colour of one pixel of an uncompressed DIB, row counted from the top of the picture.
struct Dib {
    const uint8_t* info = nullptr;
    const uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;  // rows, whatever the orientation
    bool bottomUp = true;
    int bitCount = 0;
    size_t stride = 0;
    const uint8_t* palette = nullptr;
    uint32_t paletteSize = 0;   // colours an index can name
    uint32_t tableEntries = 0;  // entries that follow the header

    bool read(const uint8_t* header, const uint8_t* pixelBits) {
        info = header;
        bits = pixelBits;
        if (info == nullptr || bits == nullptr) return false;
        uint32_t size = le32(info);
        int32_t w = static_cast<int32_t>(le32(info + 4));
        int32_t h = static_cast<int32_t>(le32(info + 8));
        bitCount = le16(info + 14);
        uint32_t compression = le32(info + 16);
        uint32_t used = le32(info + 32);
        if (size < 40 || size > 124 || w <= 0 || h == 0 || h == INT32_MIN || compression != 0)
            return false;
        if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
            bitCount != 32)
            return false;
        // The colour table the Windows layer hands GDI with the header (bitmapInfo there).
        uint32_t limit = bitCount <= 8 ? 1u << bitCount : 256;
        tableEntries = used != 0 ? used : bitCount <= 8 ? limit : 0;
        if (tableEntries > limit) return false;
        width = w;
        bottomUp = h > 0;
        height = bottomUp ? h : -h;
        stride = (static_cast<size_t>(width) * static_cast<size_t>(bitCount) + 31) / 32 * 4;
        palette = info + size;
        paletteSize = bitCount <= 8 ? tableEntries : 0;
        return true;
    }

    uint32_t colour(int x, int row) const {
        const uint8_t* line = bits + stride * static_cast<size_t>(bottomUp ? height - 1 - row : row);
        switch (bitCount) {
            case 24: {
                const uint8_t* p = line + static_cast<size_t>(x) * 3;
                return plat::rgb(p[2], p[1], p[0]);
            }
            case 32: {
                const uint8_t* p = line + static_cast<size_t>(x) * 4;
                return plat::rgb(p[2], p[1], p[0]);
            }
            case 16: {
                uint16_t v = le16(line + static_cast<size_t>(x) * 2);
                auto widen = [](unsigned five) { return (five << 3) | (five >> 2); };
                return plat::rgb(widen((v >> 10) & 31), widen((v >> 5) & 31), widen(v & 31));
            }
            default: {
                size_t bit = static_cast<size_t>(x) * static_cast<size_t>(bitCount);
                unsigned shift = static_cast<unsigned>(8 - bitCount - bit % 8);
                unsigned index = (line[bit / 8] >> shift) & ((1u << bitCount) - 1);
                if (index >= paletteSize) return 0;
                const uint8_t* q = palette + size_t{index} * 4;
                return plat::rgb(q[2], q[1], q[0]);
            }
        }
    }
};

// StretchBlt, SRCCOPY: each destination pixel takes the source pixel it maps onto; negative
// extents mirror. Source pixels outside the bitmap leave the destination as it was.
void rasteriseBitmap(const Dib& dib, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc,
                     int wSrc, int hSrc) {
    if (wDest == 0 || hDest == 0 || wSrc == 0 || hSrc == 0) return;
    int dw = std::abs(wDest), dh = std::abs(hDest);
    int left = wDest > 0 ? xDest : xDest + wDest;
    int top = hDest > 0 ? yDest : yDest + hDest;
    bool mirrorX = (wDest < 0) != (wSrc < 0);
    bool mirrorY = (hDest < 0) != (hSrc < 0);
    int sw = std::abs(wSrc), sh = std::abs(hSrc);
    int sLeft = wSrc > 0 ? xSrc : xSrc + wSrc;
    int sTop = hSrc > 0 ? ySrc : ySrc + hSrc;
    sim::Desktop& d = desktop();
    for (int j = 0; j < dh; ++j) {
        int y = top + j;
        if (y < 0 || y >= sim::canvasHeight) continue;
        int sj = static_cast<int>(static_cast<long long>(j) * sh / dh);
        int sy = sTop + (mirrorY ? sh - 1 - sj : sj);
        if (sy < 0 || sy >= dib.height) continue;
        for (int i = 0; i < dw; ++i) {
            int x = left + i;
            if (x < 0 || x >= sim::canvasWidth) continue;
            int si = static_cast<int>(static_cast<long long>(i) * sw / dw);
            int sx = sLeft + (mirrorX ? sw - 1 - si : si);
            if (sx < 0 || sx >= dib.width) continue;
            d.putPixel(x, y, dib.colour(sx, sy));
        }
    }
}

}  // namespace

DeviceContext getDC(WindowHandle window) {
    if (window != nullptr) {
        sim::OwnWindow* w = desktop().window(window);
        if (w == nullptr || w->destroyed) return nullptr;
    }
    return newContext(id(window), false, false);
}

void releaseDC(WindowHandle, DeviceContext dc) { release(dc); }

void beginPaint(WindowHandle window, PaintSession& session) {
    session.dc = nullptr;
    sim::Desktop& d = desktop();
    sim::OwnWindow* w = d.window(window);
    if (w == nullptr || w->destroyed) return;
    if (w->erasePending) {
        // WM_ERASEBKGND through DefWindowProc: the class brush, white.
        ++d.erasures;
        if (d.mainWindow() == w) d.fillCanvas(sim::white);
    }
    w->invalid = false;
    w->erasePending = false;
    session.dc = newContext(id(window), true, false);
}

void endPaint(WindowHandle, PaintSession& session) {
    release(session.dc);
    session.dc = nullptr;
}

GdiObject createPen(int width, uint32_t colour) {
    sim::Desktop& d = desktop();
    sim::GdiRecord pen;
    pen.handle = d.newHandle();
    pen.kind = sim::ObjectKind::pen;
    pen.colour = colour & 0xFFFFFF;
    pen.penWidth = width;
    d.objects.push_back(pen);
    return reinterpret_cast<GdiObject>(pen.handle);
}

GdiObject createSolidBrush(uint32_t colour) {
    sim::Desktop& d = desktop();
    sim::GdiRecord brush;
    brush.handle = d.newHandle();
    brush.kind = sim::ObjectKind::brush;
    brush.colour = colour & 0xFFFFFF;
    d.objects.push_back(brush);
    return reinterpret_cast<GdiObject>(brush.handle);
}

GdiObject createFont(int height, int width, int weight, int charset, const char* face) {
    sim::Desktop& d = desktop();
    sim::GdiRecord font;
    font.handle = d.newHandle();
    font.kind = sim::ObjectKind::font;
    font.font.height = height;
    font.font.width = width;
    font.font.weight = weight;
    font.font.charset = charset;
    // LOGFONT keeps at most 31 bytes of the face.
    std::string name = face != nullptr ? face : "";
    font.font.face = name.substr(0, 31);
    d.objects.push_back(font);
    return reinterpret_cast<GdiObject>(font.handle);
}

GdiObject stockObject(Stock which) {
    sim::Desktop& d = desktop();
    switch (which) {
        case Stock::whiteBrush: return reinterpret_cast<GdiObject>(d.stock(0));
        case Stock::blackPen: return reinterpret_cast<GdiObject>(d.stock(1));
        case Stock::whitePen: return reinterpret_cast<GdiObject>(d.stock(2));
    }
    return nullptr;
}

GdiObject selectObject(DeviceContext dc, GdiObject object) {
    sim::Desktop& d = desktop();
    sim::ContextRecord* c = live(dc);
    sim::GdiRecord* o = d.findObject(id(object));
    if (c == nullptr || o == nullptr || o->deleted) return nullptr;
    uintptr_t* slot = nullptr;
    switch (o->kind) {
        case sim::ObjectKind::pen: slot = &c->pen; break;
        case sim::ObjectKind::brush: slot = &c->brush; break;
        case sim::ObjectKind::font: slot = &c->font; break;
        case sim::ObjectKind::bitmap: slot = &c->bitmap; break;
    }
    uintptr_t previous = *slot;
    select(*c, *slot, o->handle);
    return reinterpret_cast<GdiObject>(previous);
}

void deleteObject(GdiObject object) {
    sim::Desktop& d = desktop();
    sim::GdiRecord* o = d.findObject(id(object));
    if (o == nullptr || o->stock || o->deleted) return;
    if (o->selections > 0) {
        // DeleteObject refuses an object still selected into a context: it leaks.
        ++d.failedDeletes;
        return;
    }
    o->deleted = true;
}

void moveTo(DeviceContext dc, int x, int y) {
    sim::ContextRecord* c = live(dc);
    if (c == nullptr) return;
    c->penX = x;
    c->penY = y;
}

void lineTo(DeviceContext dc, int x, int y) {
    sim::Desktop& d = desktop();
    sim::ContextRecord* c = live(dc);
    if (c == nullptr) return;
    sim::DrawOp op = startOp(*c, sim::DrawOp::Kind::line);
    op.x = c->penX;
    op.y = c->penY;
    op.x2 = x;
    op.y2 = y;
    op.colour = penColour(*c, &op.penWidth);
    if (d.drawsOnCanvas(*c)) rasteriseLine(op.x, op.y, x, y, op.penWidth, op.colour);
    c->penX = x;
    c->penY = y;
    d.ops.push_back(op);
}

void rectangle(DeviceContext dc, int left, int top, int right, int bottom) {
    sim::Desktop& d = desktop();
    sim::ContextRecord* c = live(dc);
    if (c == nullptr) return;
    sim::DrawOp op = startOp(*c, sim::DrawOp::Kind::rectangle);
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    op.x = left;
    op.y = top;
    op.x2 = right;
    op.y2 = bottom;
    op.colour = penColour(*c, &op.penWidth);
    const sim::GdiRecord* brush = d.findObject(c->brush);
    op.fill = brush != nullptr ? brush->colour : sim::white;
    if (d.drawsOnCanvas(*c)) {
        // The figure covers left..right-1 and top..bottom-1: the pen on its outermost pixels,
        // the brush inside.
        int pen = op.penWidth;
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x) {
                bool edge = x < left + pen || x >= right - pen || y < top + pen || y >= bottom - pen;
                d.putPixel(x, y, edge ? op.colour : op.fill);
            }
        }
    }
    d.ops.push_back(op);
}

void setTextColour(DeviceContext dc, uint32_t colour) {
    if (sim::ContextRecord* c = live(dc)) c->textColour = colour & 0xFFFFFF;
}

void setTransparentBackground(DeviceContext dc) {
    if (sim::ContextRecord* c = live(dc)) c->transparent = true;
}

namespace {
void recordText(DeviceContext dc, int x, int y, std::u16string text, std::string bytes, bool wide) {
    sim::Desktop& d = desktop();
    sim::ContextRecord* c = live(dc);
    if (c == nullptr) return;
    sim::DrawOp op = startOp(*c, sim::DrawOp::Kind::text);
    op.x = x;
    op.y = y;
    op.text = std::move(text);
    op.bytes = std::move(bytes);
    op.wide = wide;
    if (const sim::GdiRecord* font = d.findObject(c->font)) op.font = font->font;
    op.colour = c->textColour;
    op.transparent = c->transparent;
    d.ops.push_back(op);
}
}  // namespace

void textOutA(DeviceContext dc, int x, int y, const char* text) {
    std::string bytes = text != nullptr ? text : "";
    recordText(dc, x, y, sim::fromGbk(bytes), bytes, false);
}

void textOutW(DeviceContext dc, int x, int y, const char16_t* text) {
    recordText(dc, x, y, text != nullptr ? text : u"", {}, true);
}

void stretchBitmap(DeviceContext dc, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc,
                   int wSrc, int hSrc, const uint8_t* info, const uint8_t* bits) {
    sim::Desktop& d = desktop();
    sim::ContextRecord* c = live(dc);
    if (c == nullptr) return;
    sim::DrawOp op = startOp(*c, sim::DrawOp::Kind::bitmap);
    op.x = xDest;
    op.y = yDest;
    op.width = wDest;
    op.height = hDest;
    op.srcX = xSrc;
    op.srcY = ySrc;
    op.srcWidth = wSrc;
    op.srcHeight = hSrc;
    Dib dib;
    op.bitmapCreated = dib.read(info, bits);
    if (info != nullptr) {
        op.bitmapWidth = static_cast<int32_t>(le32(info + 4));
        op.bitmapHeight = static_cast<int32_t>(le32(info + 8));
        op.bitCount = le16(info + 14);
    }
    if (op.bitmapCreated) {
        // CreateDIBitmap with CBM_INIT reads the whole colour table and every row, not only the
        // part that is drawn; so does this (a header that promises more than the bytes hold
        // reads past them, as on Windows), and the copy is drawn from, as StretchBlt does.
        std::vector<uint8_t> table(dib.palette, dib.palette + size_t{dib.tableEntries} * 4);
        std::vector<uint8_t> rows(dib.bits, dib.bits + dib.stride * static_cast<size_t>(dib.height));
        dib.palette = table.data();
        dib.bits = rows.data();
        // The device-dependent bitmap and the memory context live for this one copy.
        sim::GdiRecord bitmap;
        bitmap.handle = d.newHandle();
        bitmap.kind = sim::ObjectKind::bitmap;
        d.objects.push_back(bitmap);
        DeviceContext memory = newContext(0, false, true);
        GdiObject old = selectObject(memory, reinterpret_cast<GdiObject>(bitmap.handle));
        sim::ContextRecord* target = live(dc);
        if (target != nullptr && d.drawsOnCanvas(*target))
            rasteriseBitmap(dib, xDest, yDest, wDest, hDest, xSrc, ySrc, wSrc, hSrc);
        selectObject(memory, old);
        release(memory);
        deleteObject(reinterpret_cast<GdiObject>(bitmap.handle));
    }
    d.ops.push_back(op);
}

}  // namespace plat
