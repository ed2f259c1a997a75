// The simulated desktop must create, focus, paint and rasterise as Windows and GDI do where the
// wizard relies on it.
#include <gtest/gtest.h>

#include <vector>

#include "../wizard/bitmap_files.h"
#include "platform/ipc.h"
#include "platform/paint.h"
#include "platform/sim/machine.h"
#include "platform/ui.h"
#include "sim_fixture.h"

namespace {

struct Heard {
    plat::WindowHandle window;
    unsigned message;
    uintptr_t wParam;
};
std::vector<Heard> heard;
intptr_t createResult = 0;
plat::WindowHandle focusTarget = nullptr;  // where WM_SETFOCUS passes the focus on
bool paintOnPaint = true;

intptr_t recordingProc(plat::WindowHandle window, unsigned message, uintptr_t wParam, intptr_t) {
    heard.push_back({window, message, wParam});
    if (message == plat::wmCreate) {
        // The window exists while it hears WM_CREATE.
        plat::DeviceContext dc = plat::getDC(window);
        EXPECT_NE(dc, nullptr);
        plat::releaseDC(window, dc);
        return createResult;
    }
    if (message == plat::wmSetFocus && focusTarget != nullptr) plat::setFocus(focusTarget);
    if (message == plat::wmPaint && paintOnPaint) {
        plat::PaintSession session;
        plat::beginPaint(window, session);
        plat::endPaint(window, session);
    }
    return 0;
}

int count(unsigned message) {
    int n = 0;
    for (const Heard& h : heard) n += h.message == message ? 1 : 0;
    return n;
}

class SimDesktop : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        heard.clear();
        createResult = 0;
        focusTarget = nullptr;
        paintOnPaint = true;
        plat::WindowClass wc;
        wc.procedure = recordingProc;
        wc.className = "installWClass";
        ASSERT_NE(plat::registerWindowClass(wc), 0);
    }
    plat::WindowHandle makeMain() {
        return plat::createWindow("installWClass", u"智能Marl系统安装", plat::wsSysMenu, 312, 234, 400,
                                  310, nullptr);
    }
    sim::Desktop& desk() { return m().desktop; }
};

class SimPaint : public SimDesktop {
protected:
    void SetUp() override {
        SimDesktop::SetUp();
        main_ = makeMain();
        ASSERT_NE(main_, nullptr);
        dc_ = plat::getDC(main_);
        ASSERT_NE(dc_, nullptr);
    }
    void TearDown() override {
        plat::releaseDC(main_, dc_);
        SimDesktop::TearDown();
    }
    uint32_t px(int x, int y) { return desk().pixel(x, y); }
    plat::WindowHandle main_ = nullptr;
    plat::DeviceContext dc_ = nullptr;
};

}  // namespace

// --- windows ---

TEST_F(SimDesktop, CreationRunsWmCreateThroughTheClassProcedureBeforeReturning) {
    m().addWindow("UIQVTK", u"other");
    plat::WindowHandle main = makeMain();
    ASSERT_NE(main, nullptr);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].message, plat::wmCreate);
    EXPECT_EQ(heard[0].window, main);
    const sim::OwnWindow* w = desk().window(main);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->title, u"智能Marl系统安装");
    EXPECT_EQ(w->className, "installWClass");
    EXPECT_EQ(w->style, plat::wsSysMenu);
    EXPECT_EQ(w->x, 312);
    EXPECT_EQ(w->width, 400);
    EXPECT_FALSE(w->visible);
    EXPECT_EQ(desk().mainWindow(), w);
    // Other programs' windows are a list of their own: enumeration does not meet ours.
    ASSERT_EQ(m().windows.size(), 1u);
    EXPECT_FALSE(plat::isWindow(main));
    EXPECT_EQ(desk().openContexts(), 0);
}

TEST_F(SimDesktop, CreationFailsForAnUnknownClassARefusalOrAScriptedFailure) {
    EXPECT_EQ(plat::createWindow("noSuchClass", u"x", 0, 0, 0, 10, 10, nullptr), nullptr);
    EXPECT_TRUE(heard.empty());

    createResult = -1;
    EXPECT_EQ(makeMain(), nullptr);
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[1].message, plat::wmDestroy);
    ASSERT_EQ(desk().windows.size(), 1u);
    EXPECT_TRUE(desk().windows[0].destroyed);

    createResult = 0;
    desk().failWindowCreation = true;
    EXPECT_EQ(makeMain(), nullptr);
    desk().failWindowCreation = false;
    plat::WindowHandle main = makeMain();
    ASSERT_NE(main, nullptr);
    desk().failEditCreation = true;
    EXPECT_EQ(plat::createEditControl(main, 0, 0, 10, 10, nullptr), nullptr);
}

TEST_F(SimDesktop, EditControlsAreHiddenEmptyChildrenWithBoundedText) {
    plat::WindowHandle main = makeMain();
    EXPECT_EQ(plat::createEditControl(nullptr, 0, 0, 10, 10, nullptr), nullptr);
    plat::WindowHandle edit = plat::createEditControl(main, 130, 165, 230, 20, nullptr);
    ASSERT_NE(edit, nullptr);
    const sim::OwnWindow* w = desk().window(edit);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isEdit());
    EXPECT_EQ(w->parent, reinterpret_cast<uintptr_t>(main));
    EXPECT_EQ(w->style, plat::wsChild | plat::wsSysMenu);
    EXPECT_FALSE(w->visible);
    EXPECT_EQ(w->text, "");

    char out[8] = "junk";
    EXPECT_EQ(plat::getWindowTextA(edit, out, sizeof out), 0);
    EXPECT_STREQ(out, "");
    EXPECT_TRUE(plat::setWindowTextA(edit, "张三abc"));
    EXPECT_EQ(plat::getWindowTextA(edit, out, sizeof out), 7);
    EXPECT_STREQ(out, "张三abc");
    EXPECT_EQ(plat::getWindowTextA(edit, out, 4), 3);
    EXPECT_EQ(std::string(out), std::string("张三abc").substr(0, 3));

    plat::Rect r;
    ASSERT_TRUE(plat::getWindowRect(edit, r));
    EXPECT_EQ(r.left, 312 + sim::frameWidth + 130);
    EXPECT_EQ(r.top, 234 + sim::frameWidth + sim::captionHeight + 165);
    EXPECT_EQ(r.right - r.left, 230);
    EXPECT_EQ(r.bottom - r.top, 20);

    plat::showWindow(edit, plat::swHide);
    plat::showWindow(edit, plat::swShowWindow);
    EXPECT_TRUE(desk().window(edit)->visible);
    EXPECT_EQ(desk().window(edit)->showCommands, (std::vector<int>{plat::swHide, plat::swShowWindow}));
}

TEST_F(SimDesktop, ShowingActivatesUpdatingPaintsOnceAndFocusMayBePassedOn) {
    plat::WindowHandle main = makeMain();
    plat::WindowHandle edit = plat::createEditControl(main, 120, 195, 230, 20, nullptr);
    focusTarget = edit;
    plat::showWindow(main, plat::swShowNormal);
    EXPECT_EQ(count(plat::wmSetFocus), 1);
    EXPECT_EQ(desk().focus, reinterpret_cast<uintptr_t>(edit));
    EXPECT_TRUE(desk().window(main)->invalid);

    plat::updateWindow(main);
    EXPECT_EQ(count(plat::wmPaint), 1);
    EXPECT_FALSE(desk().window(main)->invalid);
    plat::updateWindow(main);
    EXPECT_EQ(count(plat::wmPaint), 1);
    EXPECT_EQ(desk().erasures, 1);

    // Focusing the window again hands the focus back to the field.
    plat::setFocus(main);
    EXPECT_EQ(count(plat::wmSetFocus), 2);
    EXPECT_EQ(desk().focus, reinterpret_cast<uintptr_t>(edit));
}

TEST_F(SimDesktop, InvalidationIsRecordedAndPaintedWhenTheQueueRunsDry) {
    plat::WindowHandle main = makeMain();
    plat::showWindow(main, plat::swShowNormal);
    plat::updateWindow(main);
    heard.clear();

    plat::invalidate(main, false);
    ASSERT_EQ(desk().invalidations.size(), 1u);
    EXPECT_EQ(desk().invalidations[0], std::make_pair(reinterpret_cast<uintptr_t>(main), false));
    desk().putPixel(5, 5, 0x123456);
    EXPECT_EQ(desk().paintInvalidWindows(), 1);
    EXPECT_EQ(count(plat::wmPaint), 1);
    EXPECT_EQ(desk().pixel(5, 5), 0x123456u);  // no erase asked for
    EXPECT_EQ(desk().paintInvalidWindows(), 0);

    plat::invalidate(main, true);
    EXPECT_EQ(desk().paintInvalidWindows(), 1);
    EXPECT_EQ(desk().pixel(5, 5), sim::white);

    // A handler that never begins a paint leaves the region for the next round.
    paintOnPaint = false;
    plat::invalidate(main, false);
    EXPECT_EQ(desk().paintInvalidWindows(), 1);
    EXPECT_TRUE(desk().window(main)->invalid);
}

TEST_F(SimDesktop, DestroyingTheWindowSendsWmDestroyAndTakesItsChildren) {
    plat::WindowHandle main = makeMain();
    plat::WindowHandle edit = plat::createEditControl(main, 0, 0, 10, 10, nullptr);
    plat::setFocus(edit);
    EXPECT_TRUE(plat::destroyWindow(main));
    EXPECT_EQ(count(plat::wmDestroy), 1);
    EXPECT_TRUE(desk().window(main)->destroyed);
    EXPECT_TRUE(desk().window(edit)->destroyed);
    EXPECT_EQ(desk().focus, 0u);
    EXPECT_FALSE(plat::destroyWindow(edit));
    EXPECT_FALSE(plat::setWindowTextA(edit, "x"));
    EXPECT_EQ(plat::getDC(main), nullptr);
}

TEST_F(SimDesktop, ScreenSizeAndMovingAWindow) {
    EXPECT_EQ(plat::screenWidth(), 1024);
    EXPECT_EQ(plat::screenHeight(), 768);
    desk().screenWidth = 800;
    EXPECT_EQ(plat::screenWidth(), 800);
    plat::WindowHandle main = makeMain();
    plat::moveWindow(main, 7, 9);
    plat::Rect r;
    ASSERT_TRUE(plat::getWindowRect(main, r));
    EXPECT_EQ(r.left, 7);
    EXPECT_EQ(r.top, 9);
    EXPECT_EQ(r.right, 407);
    EXPECT_EQ(r.bottom, 319);
    // A dialog of another part of the program can be placed the same way.
    plat::WindowHandle dialog = reinterpret_cast<plat::WindowHandle>(desk().addWindow("#32770", 1, 2, 30, 40));
    ASSERT_TRUE(plat::getWindowRect(dialog, r));
    EXPECT_EQ(r.right, 31);
    EXPECT_EQ(r.bottom, 42);
}

// --- painting ---

TEST_F(SimPaint, RectangleFillsInsideAndOutlinesItsEdgesRightAndBottomExclusive) {
    plat::GdiObject brush = plat::createSolidBrush(plat::rgb(30, 144, 255));
    plat::selectObject(dc_, brush);
    plat::rectangle(dc_, 30, 191, 184, 218);
    const uint32_t fill = plat::rgb(30, 144, 255);
    EXPECT_EQ(px(30, 191), 0u);
    EXPECT_EQ(px(183, 200), 0u);
    EXPECT_EQ(px(100, 217), 0u);
    EXPECT_EQ(px(31, 192), fill);
    EXPECT_EQ(px(182, 216), fill);
    EXPECT_EQ(px(184, 200), sim::white);
    EXPECT_EQ(px(100, 218), sim::white);
    EXPECT_EQ(px(29, 200), sim::white);
    ASSERT_EQ(desk().ops.size(), 1u);
    const sim::DrawOp& op = desk().ops[0];
    EXPECT_EQ(op.kind, sim::DrawOp::Kind::rectangle);
    EXPECT_EQ(op.x2, 184);
    EXPECT_EQ(op.fill, fill);
    EXPECT_EQ(op.colour, 0u);

    // The stock white brush and the white pen.
    plat::selectObject(dc_, plat::stockObject(plat::Stock::whiteBrush));
    plat::selectObject(dc_, plat::stockObject(plat::Stock::whitePen));
    plat::rectangle(dc_, 30, 191, 370, 218);
    EXPECT_EQ(px(30, 191), sim::white);
    EXPECT_EQ(px(100, 200), sim::white);
    EXPECT_EQ(px(369, 217), sim::white);
}

TEST_F(SimPaint, LinesUseTheSelectedPenAndLeaveOutTheirEnd) {
    plat::GdiObject pen = plat::createPen(1, plat::rgb(1, 2, 3));
    plat::GdiObject previous = plat::selectObject(dc_, pen);
    EXPECT_EQ(previous, plat::stockObject(plat::Stock::blackPen));
    plat::moveTo(dc_, 0, 7);
    plat::lineTo(dc_, 400, 7);
    EXPECT_EQ(px(0, 7), plat::rgb(1, 2, 3));
    EXPECT_EQ(px(399, 7), plat::rgb(1, 2, 3));
    EXPECT_EQ(px(0, 6), sim::white);
    EXPECT_EQ(px(0, 8), sim::white);

    // A frame drawn corner to corner: each stroke starts where the last one ended.
    plat::selectObject(dc_, plat::stockObject(plat::Stock::blackPen));
    plat::moveTo(dc_, 40, 270);
    plat::lineTo(dc_, 140, 270);
    plat::lineTo(dc_, 140, 245);
    EXPECT_EQ(px(40, 270), 0u);
    EXPECT_EQ(px(139, 270), 0u);
    EXPECT_EQ(px(140, 270), 0u);
    EXPECT_EQ(px(140, 246), 0u);
    EXPECT_EQ(px(140, 245), sim::white);

    plat::moveTo(dc_, 10, 10);
    plat::lineTo(dc_, 14, 14);
    EXPECT_EQ(px(13, 13), 0u);
    EXPECT_EQ(px(14, 14), sim::white);
    ASSERT_EQ(desk().ops.size(), 4u);
    EXPECT_EQ(desk().ops[0].colour, plat::rgb(1, 2, 3));
    EXPECT_EQ(desk().ops[3].x2, 14);
}

TEST_F(SimPaint, TextIsRecordedWithItsFontColourAndModeButNotRasterised) {
    plat::textOutW(dc_, 50, 150, u"安装程序");
    plat::GdiObject font = plat::createFont(22, 7, 0, plat::charsetGb2312, "宋体");
    plat::selectObject(dc_, font);
    plat::setTextColour(dc_, plat::rgb(255, 128, 128));
    plat::setTransparentBackground(dc_);
    plat::textOutA(dc_, 35, 196, "安装路径：C:\\");
    ASSERT_EQ(desk().ops.size(), 2u);
    const sim::DrawOp& first = desk().ops[0];
    EXPECT_TRUE(first.wide);
    EXPECT_EQ(first.text, u"安装程序");
    EXPECT_TRUE(first.font.stock);
    EXPECT_EQ(first.colour, 0u);
    EXPECT_FALSE(first.transparent);
    const sim::DrawOp& second = desk().ops[1];
    EXPECT_FALSE(second.wide);
    EXPECT_EQ(second.bytes, "安装路径：C:\\");
    EXPECT_EQ(second.text, u"安装路径：C:\\");
    EXPECT_EQ(second.x, 35);
    EXPECT_EQ(second.y, 196);
    EXPECT_EQ(second.font.face, "宋体");
    EXPECT_EQ(second.font.height, 22);
    EXPECT_EQ(second.font.width, 7);
    EXPECT_EQ(second.font.charset, 134);
    EXPECT_EQ(second.colour, plat::rgb(255, 128, 128));
    EXPECT_TRUE(second.transparent);
    EXPECT_EQ(second.window, reinterpret_cast<uintptr_t>(main_));
    for (int x = 0; x < sim::canvasWidth; ++x) ASSERT_EQ(px(x, 200), sim::white);
}

TEST_F(SimPaint, SelectedObjectsCannotBeDeletedUntilDeselectedOrReleased) {
    plat::GdiObject pen = plat::createPen(1, 0x0000FF);
    plat::GdiObject old = plat::selectObject(dc_, pen);
    plat::deleteObject(pen);
    EXPECT_EQ(desk().failedDeletes, 1);
    EXPECT_FALSE(desk().object(pen)->deleted);
    plat::selectObject(dc_, old);
    plat::deleteObject(pen);
    EXPECT_TRUE(desk().object(pen)->deleted);
    // A deleted object cannot be selected again.
    EXPECT_EQ(plat::selectObject(dc_, pen), nullptr);

    plat::GdiObject font = plat::createFont(16, 8, 700, plat::charsetGb2312, "宋体");
    plat::DeviceContext other = plat::getDC(main_);
    plat::selectObject(other, font);
    plat::releaseDC(main_, other);
    plat::deleteObject(font);
    EXPECT_TRUE(desk().object(font)->deleted);
    EXPECT_EQ(desk().failedDeletes, 1);

    // Stock objects outlive any delete.
    plat::deleteObject(plat::stockObject(plat::Stock::whitePen));
    EXPECT_FALSE(desk().object(plat::stockObject(plat::Stock::whitePen))->deleted);
    EXPECT_TRUE(desk().liveObjects().empty());
    EXPECT_EQ(desk().created(sim::ObjectKind::pen), 1);
    EXPECT_EQ(desk().deletedCount(sim::ObjectKind::font), 1);
    EXPECT_EQ(desk().openContexts(), 1);
}

TEST_F(SimPaint, ReleasedAndScreenContextsLeaveTheImageAlone) {
    plat::DeviceContext screen = plat::getDC(nullptr);
    plat::rectangle(screen, 0, 0, 50, 50);
    EXPECT_EQ(px(10, 10), sim::white);
    ASSERT_EQ(desk().ops.size(), 1u);
    EXPECT_EQ(desk().ops[0].window, 0u);
    plat::releaseDC(nullptr, screen);
    plat::rectangle(screen, 0, 0, 50, 50);
    plat::textOutW(screen, 0, 0, u"x");
    EXPECT_EQ(desk().ops.size(), 1u);
}

TEST_F(SimPaint, BottomUpBitmapIsCopiedOneToOneAndClippedToTheClientArea) {
    std::string file = bitmapFile(401, 310);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(file.data());
    plat::stretchBitmap(dc_, 0, 0, 400, 190, 0, 0, 400, 190, bytes + 14, bytes + 54);
    EXPECT_EQ(px(0, 0), sourceColour(0, 0));
    EXPECT_EQ(px(399, 0), sourceColour(399, 0));
    EXPECT_EQ(px(256, 100), sourceColour(256, 100));
    EXPECT_EQ(px(399, 189), sourceColour(399, 189));
    EXPECT_EQ(px(0, 190), sim::white);

    // Past the client area nothing lands anywhere else.
    desk().clearDrawing();
    plat::stretchBitmap(dc_, 300, 250, 200, 100, 0, 0, 200, 100, bytes + 14, bytes + 54);
    EXPECT_EQ(px(399, 309), sourceColour(99, 59));
    EXPECT_EQ(px(299, 249), sim::white);
    ASSERT_EQ(desk().ops.size(), 1u);
    const sim::DrawOp& op = desk().ops[0];
    EXPECT_EQ(op.kind, sim::DrawOp::Kind::bitmap);
    EXPECT_TRUE(op.bitmapCreated);
    EXPECT_EQ(op.bitmapWidth, 401);
    EXPECT_EQ(op.bitmapHeight, 310);
    EXPECT_EQ(op.bitCount, 24);
    // The bitmap and its memory context were made for the copy and are gone.
    EXPECT_EQ(desk().created(sim::ObjectKind::bitmap), 2);
    EXPECT_TRUE(desk().liveObjects().empty());
    EXPECT_EQ(desk().openContexts(), 1);
    EXPECT_EQ(desk().failedDeletes, 0);
}

TEST_F(SimPaint, StretchingRepeatsSourceRowsAndTopDownBitmapsReadDownwards) {
    std::string file = bitmapFile(200, 120, true);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(file.data());
    plat::stretchBitmap(dc_, 73, 90, 128, 35, 73, 90, 128, 2, bytes + 14, bytes + 54);
    EXPECT_EQ(px(73, 90), sourceColour(73, 90));
    EXPECT_EQ(px(100, 107), sourceColour(100, 90));
    EXPECT_EQ(px(100, 108), sourceColour(100, 91));
    EXPECT_EQ(px(100, 124), sourceColour(100, 91));
    EXPECT_EQ(px(100, 125), sim::white);
    EXPECT_EQ(px(201, 100), sim::white);
    // Columns 73 to 199 exist in the bitmap, column 200 does not: left as it was.
    EXPECT_EQ(px(199, 110), sourceColour(199, 91));
    EXPECT_EQ(px(200, 100), sim::white);

    desk().clearDrawing();
    plat::stretchBitmap(dc_, 0, 0, 40, 10, 0, 0, 20, 10, bytes + 14, bytes + 54);
    EXPECT_EQ(px(0, 0), sourceColour(0, 0));
    EXPECT_EQ(px(1, 0), sourceColour(0, 0));
    EXPECT_EQ(px(2, 0), sourceColour(1, 0));
    EXPECT_EQ(px(39, 9), sourceColour(19, 9));
}

TEST_F(SimPaint, PalettedBitmapsTakeTheirColoursFromTheTable) {
    std::string file = stripedBitmapFile(6, 3, plat::rgb(10, 20, 30), plat::rgb(200, 100, 50));
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(file.data());
    plat::stretchBitmap(dc_, 0, 0, 6, 3, 0, 0, 6, 3, bytes + 14, bytes + 62);
    EXPECT_EQ(px(0, 0), plat::rgb(10, 20, 30));
    EXPECT_EQ(px(5, 2), plat::rgb(200, 100, 50));

    // A compressed bitmap is refused as CreateDIBitmap would: recorded, nothing drawn.
    desk().clearDrawing();
    storeLe(file, 30, 1);
    plat::stretchBitmap(dc_, 0, 0, 6, 3, 0, 0, 6, 3, bytes + 14, bytes + 62);
    ASSERT_EQ(desk().ops.size(), 1u);
    EXPECT_FALSE(desk().ops[0].bitmapCreated);
    EXPECT_EQ(px(0, 0), sim::white);
}
