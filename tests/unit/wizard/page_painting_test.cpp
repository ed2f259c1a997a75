#include "wizard/page_painting.h"

#include <gtest/gtest.h>

#include "../payload/container_builder.h"
#include "bitmap_files.h"
#include "common/text.h"
#include "wizard_fixture.h"

namespace {

constexpr uint32_t black = 0x000000;
constexpr uint32_t white = 0xFFFFFF;
constexpr uint32_t grey = plat::rgb(128, 128, 128);
constexpr uint32_t pink = plat::rgb(255, 187, 187);
constexpr uint32_t buttonText = plat::rgb(255, 128, 128);
constexpr uint32_t option = plat::rgb(238, 238, 238);
constexpr uint32_t red = plat::rgb(255, 0, 0);
constexpr uint32_t barBlue = plat::rgb(30, 144, 255);

class PagePainting : public WizardTest {
protected:
    void expectFont(const sim::DrawOp& op, int height, int width, int weight, const char* face) {
        EXPECT_EQ(op.font.height, height) << sim::toUtf8(op.text);
        EXPECT_EQ(op.font.width, width) << sim::toUtf8(op.text);
        EXPECT_EQ(op.font.weight, weight) << sim::toUtf8(op.text);
        EXPECT_EQ(op.font.charset, 134) << sim::toUtf8(op.text);
        EXPECT_EQ(op.font.face, face) << sim::toUtf8(op.text);
    }
    void expectTextFont(const sim::DrawOp& op) { expectFont(op, 22, 7, 0, "宋体"); }
    void expectTitleFont(const sim::DrawOp& op) { expectFont(op, 40, 20, 0, "楷体"); }
    // Black, three grey shadows and the white face, 8-bit or wide as given.
    void expectEmbossed(const std::u16string& text, int x, int y, bool wide) {
        std::vector<sim::DrawOp> layers = drawn(text);
        ASSERT_EQ(layers.size(), 5u) << sim::toUtf8(text);
        std::vector<Placed> expected = {{x, y, black},
                                        {x + 8, y + 8, grey},
                                        {x + 9, y + 9, grey},
                                        {x + 10, y + 10, grey},
                                        {x + 11, y + 11, white}};
        for (size_t i = 0; i < layers.size(); ++i) {
            EXPECT_EQ(placed(layers[i]), expected[i]) << sim::toUtf8(text) << " layer " << i;
            EXPECT_EQ(layers[i].wide, wide);
            EXPECT_TRUE(layers[i].transparent);
        }
    }
    // Three grey shadows, then pink twice one pixel apart.
    std::vector<Placed> glowLayers(int x, int y) {
        return {{x + 8, y + 8, grey},
                {x + 9, y + 9, grey},
                {x + 10, y + 10, grey},
                {x + 11, y + 11, pink},
                {x + 12, y + 11, pink}};
    }
    void expectButtons(const std::u16string& nextCaption) {
        sim::DrawOp next = once(nextCaption);
        sim::DrawOp quit = once(u"放 弃 退 出");
        EXPECT_EQ(placed(next), (Placed{45, 247, buttonText}));
        EXPECT_EQ(placed(quit), (Placed{265, 247, buttonText}));
        EXPECT_TRUE(next.wide);
        expectTextFont(next);
        expectTextFont(quit);
    }
    // Nothing of the paint is left behind: only the window's own fonts and brush live on.
    void expectCleanPaint() {
        EXPECT_EQ(desk().liveObjects().size(), 3u);
        EXPECT_EQ(desk().failedDeletes, 0);
        EXPECT_EQ(desk().openContexts(), 1);
    }
    int frameLines() {
        int n = 0;
        for (const sim::DrawOp& op : ops(sim::DrawOp::Kind::line)) n += op.x2 != 400 ? 1 : 0;
        return n;
    }
};

}  // namespace

// --- backgrounds and shared pieces ---

TEST_F(PagePainting, ChoiceBackgroundRunsItsGreenRoundTheCircleAndItsBlueDown) {
    paintChoiceBackground(dc_);
    for (int x : {0, 200, 399}) {
        EXPECT_EQ(px(x, 0), plat::rgb(0, 144, 250));
        EXPECT_EQ(px(x, 309), plat::rgb(0, 250, 111));
    }
    // Green wraps from 254 to 0 between lines 55 and 56.
    EXPECT_EQ(px(10, 55), plat::rgb(0, 254, 226));
    EXPECT_EQ(px(10, 56), plat::rgb(0, 0, 225));
    EXPECT_EQ(px(10, 183), plat::rgb(0, 254, 168));
    EXPECT_EQ(px(10, 184), plat::rgb(0, 0, 167));
    EXPECT_EQ(ops(sim::DrawOp::Kind::line).size(), 310u);
    EXPECT_EQ(desk().created(sim::ObjectKind::pen), 310);
    EXPECT_EQ(desk().deletedCount(sim::ObjectKind::pen), 310);
    expectCleanPaint();
}

TEST_F(PagePainting, StandardBackgroundRunsFromBlueToLightGreen) {
    paintStandardBackground(dc_);
    for (int x : {0, 399}) {
        EXPECT_EQ(px(x, 0), plat::rgb(0, 0, 250));
        EXPECT_EQ(px(x, 309), plat::rgb(149, 254, 101));
    }
    EXPECT_EQ(px(5, 155), plat::rgb(75, 127, 175));
    EXPECT_EQ(standardBackgroundColour(31), plat::rgb(15, 25, 235));
    // Every line is one pen's, from x 0 to 399 inclusive.
    const sim::DrawOp line = ops(sim::DrawOp::Kind::line)[100];
    EXPECT_EQ(line.x, 0);
    EXPECT_EQ(line.y, 100);
    EXPECT_EQ(line.x2, 400);
    EXPECT_EQ(line.y2, 100);
    EXPECT_EQ(line.penWidth, 1);
    EXPECT_EQ(line.colour, standardBackgroundColour(100));
    EXPECT_EQ(desk().deletedCount(sim::ObjectKind::pen), 310);
    expectCleanPaint();
}

TEST_F(PagePainting, RaisedFrameIsDarkBelowAndRightLightAboveAndLeftAndKeepsTheWhitePen) {
    drawRaisedFrame(dc_, wizard.nextButtonRect);
    EXPECT_EQ(px(40, 270), black);
    EXPECT_EQ(px(139, 270), black);
    EXPECT_EQ(px(140, 270), black);
    EXPECT_EQ(px(140, 246), black);
    EXPECT_EQ(px(140, 245), white);
    EXPECT_EQ(px(40, 245), white);
    EXPECT_EQ(px(40, 269), white);
    std::vector<sim::DrawOp> lines = ops(sim::DrawOp::Kind::line);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].colour, black);
    EXPECT_EQ(lines[1].colour, black);
    EXPECT_EQ(lines[2].colour, white);
    EXPECT_EQ(lines[3].colour, white);
    EXPECT_EQ(lines[3].x2, 40);
    EXPECT_EQ(lines[3].y2, 270);
    EXPECT_EQ(context()->pen, reinterpret_cast<uintptr_t>(plat::stockObject(plat::Stock::whitePen)));
}

TEST_F(PagePainting, EmbossedAndGlowTextLayers) {
    plat::selectObject(dc_, wizard.textFont);
    plat::setTransparentBackground(dc_);
    drawEmbossedText(dc_, 10, 20, u"宽");
    drawEmbossedText(dc_, 10, 20, "窄");
    drawGlowText(dc_, 80, 80, u"光");
    expectEmbossed(u"宽", 10, 20, true);
    std::vector<sim::DrawOp> narrow = drawn(u"窄");
    ASSERT_EQ(narrow.size(), 5u);
    EXPECT_FALSE(narrow[0].wide);
    EXPECT_EQ(narrow[0].bytes, "窄");
    std::vector<Placed> layers;
    for (const sim::DrawOp& op : drawn(u"光")) layers.push_back(placed(op));
    EXPECT_EQ(layers, glowLayers(80, 80));
}

// --- the choice page ---

TEST_F(PagePainting, ChoicePageWithTheInterfaceChoiceHasTwoRowsAndTwoCheckMarks) {
    restart(true);
    state.editionChoice = 1;
    state.interfaceChoice = 1;
    paintChoicePage(dc_);
    EXPECT_EQ(placed(once(u"请选择安装版本：")), (Placed{20, 190, option}));
    EXPECT_EQ(placed(once(u"请选择接口版本：")), (Placed{20, 215, option}));
    EXPECT_EQ(placed(once(u"■ 拼音专版")), (Placed{160, 190, option}));
    EXPECT_EQ(placed(once(u"■ 五笔专版")), (Placed{275, 190, option}));
    EXPECT_EQ(placed(once(u"■ TSF接口")), (Placed{160, 215, option}));
    EXPECT_EQ(placed(once(u"■ IME接口")), (Placed{275, 215, option}));
    std::vector<sim::DrawOp> marks = drawn(u"√");
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_EQ(placed(marks[0]), (Placed{157, 190, red}));
    EXPECT_EQ(placed(marks[1]), (Placed{157, 215, red}));
    for (const sim::DrawOp& op : texts())
        if (op.y >= 190 && op.y <= 215 && op.x >= 20 && op.x < 300) expectFont(op, 16, 8, 700, "宋体");

    // The other edition and the IME interface move both marks to the right column.
    desk().clearDrawing();
    state.editionChoice = 0;
    state.interfaceChoice = 0;
    paintChoicePage(dc_);
    marks = drawn(u"√");
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_EQ(placed(marks[0]), (Placed{272, 190, red}));
    EXPECT_EQ(placed(marks[1]), (Placed{272, 215, red}));
    expectCleanPaint();
}

TEST_F(PagePainting, ChoicePageWithoutTheInterfaceChoiceHasOneRowLower) {
    state.editionChoice = 1;
    state.interfaceChoice = 0;  // not offered: ignored
    paintChoicePage(dc_);
    EXPECT_EQ(placed(once(u"请选择安装版本：")), (Placed{20, 210, option}));
    EXPECT_EQ(placed(once(u"■ 拼音专版")), (Placed{160, 210, option}));
    EXPECT_EQ(placed(once(u"■ 五笔专版")), (Placed{275, 210, option}));
    EXPECT_TRUE(drawn(u"请选择接口版本：").empty());
    EXPECT_TRUE(drawn(u"■ TSF接口").empty());
    EXPECT_TRUE(drawn(u"■ IME接口").empty());
    std::vector<sim::DrawOp> marks = drawn(u"√");
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(placed(marks[0]), (Placed{157, 210, red}));

    desk().clearDrawing();
    state.editionChoice = 0;
    paintChoicePage(dc_);
    marks = drawn(u"√");
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(placed(marks[0]), (Placed{272, 210, red}));
}

TEST_F(PagePainting, ChoicePageTextsFontsAndColoursInDrawingOrder) {
    m().oemCodePage = 950;
    state.editionChoice = 1;
    paintChoicePage(dc_);
    EXPECT_EQ(state.oemCodePage, 950u);
    std::vector<sim::DrawOp> all = texts();
    ASSERT_EQ(all.size(), 12u);
    for (const sim::DrawOp& op : all) EXPECT_TRUE(op.wide) << sim::toUtf8(op.text);

    // Before the bitmap: the context's own font and colour on an opaque background.
    EXPECT_EQ(all[0].text, u"安装程序正在载入文件，请等待……");
    EXPECT_EQ(placed(all[0]), (Placed{50, 150, black}));
    EXPECT_TRUE(all[0].font.stock);
    EXPECT_FALSE(all[0].transparent);

    EXPECT_EQ(all[1].text, u"Marl拼音");
    EXPECT_EQ(placed(all[1]), (Placed{75, 90, plat::rgb(96, 96, 128)}));
    EXPECT_EQ(all[2].text, u"Marl拼音");
    EXPECT_EQ(placed(all[2]), (Placed{83, 93, plat::rgb(33, 205, 173)}));
    expectFont(all[1], 30, 15, 700, "楷体");
    expectFont(all[2], 30, 15, 700, "楷体");
    EXPECT_TRUE(all[1].transparent);

    EXPECT_EQ(all[3].text, u"您尝试过Tarnel吗？");
    EXPECT_EQ(placed(all[3]), (Placed{10, 135, white}));
    EXPECT_EQ(all[4].text, u"不受限制、随意自由输入的全新双拼……");
    EXPECT_EQ(placed(all[4]), (Placed{50, 160, white}));
    EXPECT_EQ(all[5].text, u"9.0 版");
    EXPECT_EQ(placed(all[5]), (Placed{220, 100, plat::rgb(0, 0, 192)}));
    for (int i = 3; i <= 5; ++i) expectTextFont(all[static_cast<size_t>(i)]);
    EXPECT_EQ(all[6].text, u"确 定 安 装");
    EXPECT_EQ(all[7].text, u"放 弃 退 出");
    expectButtons(u"确 定 安 装");
    EXPECT_EQ(all[8].text, u"请选择安装版本：");

    EXPECT_EQ(frameLines(), 8);
    // Both fonts of this paint were made and deleted within it.
    EXPECT_EQ(desk().created(sim::ObjectKind::font), 4);
    expectCleanPaint();
}

TEST_F(PagePainting, ChoicePageShowsTheBitmapsTopAndForPinyinItsStretchedBand) {
    usePayload(buildContainer({{"vornel4.ime", "m"}, {"qvtk1.bmp", bitmapFile(401, 310)}}));
    state.editionChoice = 0;
    paintChoicePage(dc_);
    EXPECT_EQ(px(0, 0), sourceColour(0, 0));
    EXPECT_EQ(px(399, 189), sourceColour(399, 189));
    EXPECT_EQ(px(100, 110), sourceColour(100, 110));
    EXPECT_EQ(px(0, 190), choiceBackgroundColour(190));
    EXPECT_EQ(ops(sim::DrawOp::Kind::bitmap).size(), 1u);
    EXPECT_TRUE(drawn(u"Marl拼音").empty());

    desk().clearDrawing();
    state.editionChoice = 1;
    paintChoicePage(dc_);
    ASSERT_EQ(ops(sim::DrawOp::Kind::bitmap).size(), 2u);
    EXPECT_EQ(px(100, 90), sourceColour(100, 90));
    EXPECT_EQ(px(100, 107), sourceColour(100, 90));
    EXPECT_EQ(px(100, 110), sourceColour(100, 91));
    EXPECT_EQ(px(200, 124), sourceColour(200, 91));
    EXPECT_EQ(px(201, 110), sourceColour(201, 110));
    EXPECT_EQ(px(72, 110), sourceColour(72, 110));
    EXPECT_EQ(px(100, 125), sourceColour(100, 125));
    EXPECT_EQ(drawn(u"Marl拼音").size(), 2u);
    expectCleanPaint();
}

TEST_F(PagePainting, ChoicePageWithoutItsBitmapLeavesTheGradientAndTheLoadingText) {
    usePayload(buildContainer({{"vornel4.ime", "m"}}));
    state.editionChoice = 1;
    paintChoicePage(dc_);
    EXPECT_TRUE(ops(sim::DrawOp::Kind::bitmap).empty());
    EXPECT_EQ(px(0, 0), choiceBackgroundColour(0));
    EXPECT_EQ(px(100, 110), choiceBackgroundColour(110));
    EXPECT_EQ(once(u"安装程序正在载入文件，请等待……").y, 150);
    EXPECT_EQ(drawn(u"Marl拼音").size(), 2u);
}

// --- the other pages ---

TEST_F(PagePainting, UserRecordPageTextsFramesAndEditionLabel) {
    state.editionChoice = 1;
    paintUserRecordPage(dc_);
    EXPECT_EQ(px(0, 0), plat::rgb(0, 0, 250));
    std::vector<sim::DrawOp> heading = drawn(u"智能Marl输入平台  系统安装");
    ASSERT_EQ(heading.size(), 2u);
    EXPECT_EQ(placed(heading[0]), (Placed{30, 10, black}));
    EXPECT_EQ(placed(heading[1]), (Placed{39, 19, white}));
    EXPECT_EQ(placed(once(u"Marl拼音专版")), (Placed{250, 19, plat::rgb(33, 205, 173)}));
    EXPECT_TRUE(drawn(u"Qolvane专版").empty());
    EXPECT_EQ(placed(once(u"请正确输入手机号码和用户姓名,并且输入你自己的管")), (Placed{40, 50, white}));
    EXPECT_EQ(placed(once(u"理密码，注意保存管理密码，该密码将在以后的维护")), (Placed{20, 70, white}));
    EXPECT_EQ(placed(once(u"管理中经常用到。管理密码为六位字符数字。")), (Placed{20, 90, white}));
    EXPECT_EQ(placed(once(u"手机号码：")), (Placed{35, 136, white}));
    EXPECT_EQ(placed(once(u"用户姓名：")), (Placed{35, 166, white}));
    EXPECT_EQ(placed(once(u"管理密码：")), (Placed{35, 196, white}));
    expectButtons(u"确 定 安 装");
    for (const sim::DrawOp& op : texts()) {
        EXPECT_TRUE(op.wide) << sim::toUtf8(op.text);
        EXPECT_TRUE(op.transparent) << sim::toUtf8(op.text);
        expectTextFont(op);
    }
    EXPECT_EQ(texts().size(), 11u);
    EXPECT_EQ(frameLines(), 20);
    // The phone row's frame: white along its top.
    EXPECT_EQ(px(100, 132), white);
    EXPECT_EQ(px(100, 157), black);
    expectCleanPaint();

    desk().clearDrawing();
    state.editionChoice = 0;
    paintUserRecordPage(dc_);
    EXPECT_EQ(placed(once(u"Qolvane专版")), (Placed{250, 19, plat::rgb(33, 205, 173)}));
}

TEST_F(PagePainting, CopyingPageShowsThePathAsEightBitTextAndHidesTheFocusField) {
    copyText(state.installDir, "C:\\Program Files (x86)\\vornel8\\");
    plat::showWindow(wizard.focusEdit, plat::swShowWindow);
    state.page = 6;
    paintCopyingPage(dc_);
    EXPECT_EQ(px(0, 309), plat::rgb(149, 254, 101));
    expectEmbossed(u"智能Marl输入平台", 30, 20, true);
    for (const sim::DrawOp& op : drawn(u"智能Marl输入平台")) expectTitleFont(op);
    expectEmbossed(u"Qolvane 9.0 版  系统安装", 100, 80, true);
    for (const sim::DrawOp& op : drawn(u"Qolvane 9.0 版  系统安装")) expectTextFont(op);
    EXPECT_EQ(placed(once(u"注意：安装过程需要2分钟左右，")), (Placed{50, 130, white}));
    EXPECT_EQ(placed(once(u"请不要进行其它操作！")), (Placed{30, 155, white}));
    EXPECT_TRUE(drawn(u"正在复制文件，请耐心等待……！！").empty());
    sim::DrawOp path = once(u"安装路径：C:\\Program Files (x86)\\vornel8\\");
    EXPECT_EQ(placed(path), (Placed{35, 196, white}));
    EXPECT_FALSE(path.wide);
    EXPECT_EQ(path.bytes, "安装路径：C:\\Program Files (x86)\\vornel8\\");
    expectTextFont(path);
    expectButtons(u"确 定 安 装");
    EXPECT_EQ(frameLines(), 12);
    EXPECT_FALSE(desk().window(wizard.focusEdit)->visible);
    // No bar before the install has moved it.
    EXPECT_TRUE(ops(sim::DrawOp::Kind::rectangle).empty());
    expectCleanPaint();
}

TEST_F(PagePainting, CopyingPageRedrawnDuringTheInstallSaysFilesAreCopiedAndShowsTheEmptyBar) {
    state.page = 7;
    state.progressTotal = 110;
    state.progressPosition = 40;
    desk().clearDrawing();
    redrawCopyingPageHook();
    EXPECT_EQ(placed(once(u"正在复制文件，请耐心等待……！！")), (Placed{30, 155, white}));
    EXPECT_TRUE(drawn(u"请不要进行其它操作！").empty());
    std::vector<sim::DrawOp> bars = ops(sim::DrawOp::Kind::rectangle);
    ASSERT_EQ(bars.size(), 1u);
    // Empty, and outlined with the white pen the frames left behind.
    EXPECT_EQ(bars[0].x, 30);
    EXPECT_EQ(bars[0].y, 191);
    EXPECT_EQ(bars[0].x2, 370);
    EXPECT_EQ(bars[0].y2, 218);
    EXPECT_EQ(bars[0].fill, white);
    EXPECT_EQ(bars[0].colour, white);
    EXPECT_EQ(px(30, 191), white);
    EXPECT_EQ(px(200, 200), white);
    // Its own context, released again; and the page is the window's.
    EXPECT_EQ(desk().openContexts(), 1);
    EXPECT_EQ(bars[0].window, reinterpret_cast<uintptr_t>(wizard.mainWindow));

    // The next full repaint is the processing page again.
    desk().clearDrawing();
    paintProcessingPage(dc_);
    EXPECT_TRUE(drawn(u"正在复制文件，请耐心等待……！！").empty());
    EXPECT_EQ(drawn(u"智能Marl正在处理有关数据……").size(), 6u);
}

TEST_F(PagePainting, ProcessingPageIsEightBitEmbossedTitleAndBlackTextWithGlow) {
    paintProcessingPage(dc_);
    expectEmbossed(u"智能Marl9.0版安装", 30, 20, false);
    for (const sim::DrawOp& op : drawn(u"智能Marl9.0版安装")) expectTitleFont(op);
    std::vector<sim::DrawOp> body = drawn(u"智能Marl正在处理有关数据……");
    ASSERT_EQ(body.size(), 6u);
    std::vector<Placed> layers;
    for (const sim::DrawOp& op : body) {
        layers.push_back(placed(op));
        EXPECT_FALSE(op.wide);
        expectTextFont(op);
    }
    std::vector<Placed> expected = {{80, 80, black}};
    for (const Placed& p : glowLayers(80, 80)) expected.push_back(p);
    EXPECT_EQ(layers, expected);
    EXPECT_EQ(texts().size(), 11u);
    EXPECT_EQ(frameLines(), 0);
    EXPECT_EQ(context()->textColour, white);
    EXPECT_EQ(context()->font, reinterpret_cast<uintptr_t>(wizard.textFont));
    expectCleanPaint();
}

TEST_F(PagePainting, FinishedPageHasGlowWithoutABlackLayerAndTheFinishCaption) {
    paintFinishedPage(dc_);
    expectEmbossed(u"欢迎使用Marl系统", 30, 20, false);
    std::vector<Placed> layers;
    for (const sim::DrawOp& op : drawn(u"欢迎使用Marl输入系统")) {
        layers.push_back(placed(op));
        EXPECT_FALSE(op.wide);
    }
    EXPECT_EQ(layers, glowLayers(80, 80));
    sim::DrawOp installed = once(u"智能Marl已经安装在你的系统中!");
    EXPECT_EQ(placed(installed), (Placed{50, 130, white}));
    EXPECT_FALSE(installed.wide);
    EXPECT_EQ(placed(once(u"智能Marl数据处理模块正在处理数据，你可")), (Placed{50, 155, white}));
    EXPECT_EQ(placed(once(u"等待处理完毕后退出。")), (Placed{10, 190, white}));
    expectButtons(u"确 定 退 出");
    EXPECT_TRUE(drawn(u"确 定 安 装").empty());
    EXPECT_EQ(frameLines(), 8);
    expectCleanPaint();
}

// --- the progress bar ---

TEST_F(PagePainting, ProgressFillIsCappedFifteenShortOfTheTotal) {
    struct Case {
        int position, total, right;
    };
    // right = 30 + 340 * capped position / total; 0 draws the empty bar to 370.
    for (Case c : {Case{0, 110, 370}, Case{50, 110, 184}, Case{110, 110, 323}, Case{5, 10, 370},
                   Case{95, 110, 323}, Case{1, 16, 51}}) {
        desk().clearDrawing();
        paintProgressHook(c.position, c.total);
        std::vector<sim::DrawOp> bars = ops(sim::DrawOp::Kind::rectangle);
        ASSERT_EQ(bars.size(), 1u) << c.position << " of " << c.total;
        EXPECT_EQ(bars[0].x, 30);
        EXPECT_EQ(bars[0].y, 191);
        EXPECT_EQ(bars[0].x2, c.right) << c.position << " of " << c.total;
        EXPECT_EQ(bars[0].y2, 218);
        EXPECT_EQ(bars[0].fill, c.right == 370 ? white : barBlue);
        // A context just taken: the black default pen.
        EXPECT_EQ(bars[0].colour, black);
    }
    EXPECT_EQ(desk().openContexts(), 1);
}

TEST_F(PagePainting, ProgressPixelsOfHalfAndFullBars) {
    paintProgressHook(50, 110);
    // 154 pixels, x 30 to 183: outline on the edges, fill inside.
    EXPECT_EQ(px(30, 200), black);
    EXPECT_EQ(px(31, 192), barBlue);
    EXPECT_EQ(px(182, 216), barBlue);
    EXPECT_EQ(px(183, 200), black);
    EXPECT_EQ(px(184, 200), white);
    EXPECT_EQ(px(100, 191), black);
    EXPECT_EQ(px(100, 217), black);
    EXPECT_EQ(px(100, 218), white);
    EXPECT_EQ(px(100, 190), white);

    paintProgressHook(110, 110);
    EXPECT_EQ(px(321, 200), barBlue);
    EXPECT_EQ(px(322, 200), black);
    EXPECT_EQ(px(323, 200), white);

    // The empty bar over it: white inside, the whole box outlined.
    paintProgressHook(0, 110);
    EXPECT_EQ(px(200, 200), white);
    EXPECT_EQ(px(369, 200), black);
    EXPECT_EQ(px(370, 200), white);
}

TEST_F(PagePainting, ProgressIsNotDrawnInSilentModeAndADirectCallStaysInTheBar) {
    state.runMode = silentMode;
    paintProgressHook(50, 110);
    EXPECT_TRUE(desk().ops.empty());
    EXPECT_EQ(desk().openContexts(), 1);

    state.runMode = wizardMode;
    paintProgressBar(dc_, 200, 110);
    paintProgressBar(dc_, 3, 0);
    std::vector<sim::DrawOp> bars = ops(sim::DrawOp::Kind::rectangle);
    ASSERT_EQ(bars.size(), 2u);
    EXPECT_EQ(bars[0].x2, 370);
    EXPECT_EQ(bars[1].x2, 370);
    EXPECT_EQ(bars[1].fill, white);

    // Without a window there is nothing to paint on.
    wizard.mainWindow = nullptr;
    desk().clearDrawing();
    paintProgressHook(50, 110);
    redrawCopyingPageHook();
    EXPECT_TRUE(desk().ops.empty());
}

TEST_F(PagePainting, EveryPainterDeletesWhatItMakesAndReleasesWhatItTakes) {
    usePayload(buildContainer({{"qvtk1.bmp", bitmapFile(401, 310)}}));
    state.editionChoice = 1;
    state.progressPosition = 3;
    state.progressTotal = 110;
    void (*painters[])(plat::DeviceContext) = {paintChoicePage, paintUserRecordPage, paintCopyingPage,
                                               paintProcessingPage, paintFinishedPage};
    for (auto paint : painters) {
        plat::PaintSession session;
        plat::beginPaint(wizard.mainWindow, session);
        paint(session.dc);
        plat::endPaint(wizard.mainWindow, session);
    }
    redrawCopyingPageHook();
    paintProgressHook(30, 110);
    EXPECT_EQ(desk().created(sim::ObjectKind::pen), 5 * 310 + 310);
    EXPECT_EQ(desk().created(sim::ObjectKind::font), 2 + 2);
    EXPECT_EQ(desk().created(sim::ObjectKind::bitmap), 2);
    expectCleanPaint();
    // The window's own objects are still there for the next paint.
    EXPECT_FALSE(desk().object(wizard.textFont)->deleted);
    EXPECT_FALSE(desk().object(wizard.progressBrush)->deleted);
}
