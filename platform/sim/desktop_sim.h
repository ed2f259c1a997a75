// The simulated machine's desktop as far as the program's own windows go: its windows and edit
// controls, focus and invalidation, the GDI objects it makes, and everything it paints, kept as
// a display list and rasterised into the 400 x 310 client area of its first top-level window.
// (Other programs' windows are Machine::windows, which the window enumeration walks.)
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/paint.h"
#include "platform/ui.h"

namespace sim {

constexpr int canvasWidth = 400;
constexpr int canvasHeight = 310;
constexpr uint32_t white = 0xFFFFFF;

// Non-client frame of a captioned window with a thin fixed border: what lies between the
// window rectangle and the client area.
constexpr int frameWidth = 3;
constexpr int captionHeight = 22;

struct OwnWindow {
    uintptr_t handle = 0;
    std::string className;
    std::u16string title;  // top-level windows (created wide)
    std::string text;      // edit controls: the 8-bit text as typed or set
    uintptr_t parent = 0;
    uint32_t style = 0;
    plat::WindowProc procedure = nullptr;
    // Top-level: the window rectangle's origin on the screen; child: its place in the parent's
    // client area.
    int x = 0, y = 0, width = 0, height = 0;
    bool visible = false;
    bool destroyed = false;
    bool invalid = false;       // has an update region
    bool erasePending = false;  // and BeginPaint will erase it first
    std::vector<int> showCommands;  // every ShowWindow, in order

    bool isEdit() const { return className == "EDIT"; }
};

enum class ObjectKind { pen, brush, font, bitmap };

struct FontInfo {
    int height = 0, width = 0, weight = 0, charset = 0;
    std::string face;  // 8-bit, as CreateFontA got it (GBK)
    bool stock = false;  // the context's default font
};

struct GdiRecord {
    uintptr_t handle = 0;
    ObjectKind kind = ObjectKind::pen;
    bool stock = false;
    uint32_t colour = 0;  // pens and brushes
    int penWidth = 1;
    FontInfo font;
    bool deleted = false;
    int selections = 0;  // live contexts that hold it selected now
};

struct DrawOp {
    enum class Kind { text, line, rectangle, bitmap };
    Kind kind = Kind::text;
    uintptr_t window = 0;  // whose client area; 0 for the screen or a memory context
    int x = 0, y = 0;      // text position, line start, rectangle or destination origin
    // Text: TextOutW's text, or TextOutA's bytes read as GBK; the bytes themselves for TextOutA.
    std::u16string text;
    std::string bytes;
    bool wide = false;
    FontInfo font;
    bool transparent = false;
    uint32_t colour = 0;  // text colour, or the pen's colour for lines and outlines
    // Line end (excluded, as LineTo draws), or the rectangle's right and bottom.
    int x2 = 0, y2 = 0;
    int penWidth = 1;
    uint32_t fill = 0;  // the rectangle's brush colour
    // Bitmap: destination size, source rectangle and the DIB's header facts.
    int width = 0, height = 0;
    int srcX = 0, srcY = 0, srcWidth = 0, srcHeight = 0;
    int bitmapWidth = 0, bitmapHeight = 0, bitCount = 0;
    bool bitmapCreated = false;  // CreateDIBitmap accepted the header
};

struct ContextRecord {
    uintptr_t handle = 0;
    uintptr_t window = 0;
    bool fromBeginPaint = false;
    bool memory = false;
    bool released = false;
    uintptr_t pen = 0, brush = 0, font = 0, bitmap = 0;
    uint32_t textColour = 0;
    bool transparent = false;
    int penX = 0, penY = 0;
};

class Desktop {
public:
    Desktop();

    int screenWidth = 1024;
    int screenHeight = 768;
    bool failWindowCreation = false;
    bool failEditCreation = false;
    // Off: the display list is kept but nothing is rasterised (tests that look at no pixel).
    bool rasterise = true;

    std::vector<OwnWindow> windows;  // in creation order, destroyed ones kept
    uintptr_t focus = 0;
    // Explicit InvalidateRect calls: the window and the erase flag.
    std::vector<std::pair<uintptr_t, bool>> invalidations;

    std::vector<GdiRecord> objects;      // stock objects first
    std::vector<ContextRecord> contexts;
    std::vector<DrawOp> ops;             // the display list since the last clearDrawing
    int failedDeletes = 0;               // DeleteObject of an object still selected somewhere
    int erasures = 0;                    // BeginPaint erasing the background

    // --- for tests ---
    OwnWindow* window(plat::WindowHandle handle);
    OwnWindow* window(uintptr_t handle);
    // The first top-level window made: the one whose client area is the image.
    OwnWindow* mainWindow();
    const GdiRecord* object(plat::GdiObject handle) const;
    // Objects the program made and has not deleted (stock objects are never counted).
    std::vector<const GdiRecord*> liveObjects() const;
    int created(ObjectKind kind) const;
    int deletedCount(ObjectKind kind) const;
    // Contexts taken and not yet released or ended.
    int openContexts() const;
    // COLORREF of the client-area pixel; white outside.
    uint32_t pixel(int x, int y) const;
    // Forgets the display list and whitens the image.
    void clearDrawing();
    // The image as a binary PPM, for looking at a page.
    std::string ppm() const;
    // What GetMessage would deliver once the queue is empty: WM_PAINT to each visible window
    // with an update region. The number of windows painted.
    int paintInvalidWindows();
    // A window of another part of the program (a dialog) that should answer GetWindowRect and
    // SetWindowPos; its handle.
    uintptr_t addWindow(const std::string& className, int x, int y, int width, int height,
                        uintptr_t parent = 0);

    // --- used by the platform layer ---
    uintptr_t newHandle() { return nextHandle_ += 4; }
    GdiRecord* findObject(uintptr_t handle);
    ContextRecord* findContext(uintptr_t handle);
    uintptr_t stock(int index) const { return stockHandles_[index]; }
    uintptr_t defaultFont() const { return stockHandles_[3]; }
    void putPixel(int x, int y, uint32_t colour);
    void fillCanvas(uint32_t colour);
    bool drawsOnCanvas(const ContextRecord& context);

private:
    uintptr_t nextHandle_ = 0x20000000;
    uintptr_t stockHandles_[4] = {};  // white brush, black pen, white pen, system font
    std::vector<uint32_t> pixels_;
};

}  // namespace sim
