#include "wizard/page_painting.h"

#include <cstdint>

#include "common/install_state.h"
#include "common/text.h"
#include "platform/system.h"
#include "wizard/payload_bitmap.h"
#include "wizard/wizard_objects.h"

namespace {

constexpr int pageWidth = 400;
constexpr int pageLines = 310;

constexpr uint32_t black = plat::rgb(0, 0, 0);
constexpr uint32_t white = plat::rgb(255, 255, 255);
constexpr uint32_t grey = plat::rgb(128, 128, 128);
constexpr uint32_t glowColour = plat::rgb(255, 187, 187);
constexpr uint32_t buttonTextColour = plat::rgb(255, 128, 128);
constexpr uint32_t optionColour = plat::rgb(238, 238, 238);
constexpr uint32_t checkMarkColour = plat::rgb(255, 0, 0);
constexpr uint32_t versionColour = plat::rgb(0, 0, 192);
constexpr uint32_t pinyinShadowColour = plat::rgb(96, 96, 128);
constexpr uint32_t editionColour = plat::rgb(33, 205, 173);

const char16_t* const confirmCaption = u"确 定 安 装";
const char16_t* const finishCaption = u"确 定 退 出";
const char16_t* const quitCaption = u"放 弃 退 出";

void textOut(plat::DeviceContext dc, int x, int y, const char* text) { plat::textOutA(dc, x, y, text); }
void textOut(plat::DeviceContext dc, int x, int y, const char16_t* text) {
    plat::textOutW(dc, x, y, text);
}

void colouredText(plat::DeviceContext dc, int x, int y, uint32_t colour, const char16_t* text) {
    plat::setTextColour(dc, colour);
    plat::textOutW(dc, x, y, text);
}

void colouredText(plat::DeviceContext dc, int x, int y, uint32_t colour, const char* text) {
    plat::setTextColour(dc, colour);
    plat::textOutA(dc, x, y, text);
}

template <typename Char>
void embossed(plat::DeviceContext dc, int x, int y, const Char* text) {
    colouredText(dc, x, y, black, text);
    plat::setTextColour(dc, grey);
    for (int shift = 8; shift <= 10; ++shift) textOut(dc, x + shift, y + shift, text);
    colouredText(dc, x + 11, y + 11, white, text);
}

template <typename Char>
void glow(plat::DeviceContext dc, int x, int y, const Char* text) {
    plat::setTextColour(dc, grey);
    for (int shift = 8; shift <= 10; ++shift) textOut(dc, x + shift, y + shift, text);
    plat::setTextColour(dc, glowColour);
    textOut(dc, x + 11, y + 11, text);
    textOut(dc, x + 12, y + 11, text);
}

void paintGradient(plat::DeviceContext dc, uint32_t (*colourOf)(int y)) {
    for (int y = 0; y < pageLines; ++y) {
        plat::GdiObject pen = plat::createPen(1, colourOf(y));
        plat::GdiObject previous = plat::selectObject(dc, pen);
        plat::moveTo(dc, 0, y);
        plat::lineTo(dc, pageWidth, y);
        // A pen still selected cannot be deleted.
        plat::selectObject(dc, previous);
        plat::deleteObject(pen);
    }
}

// A button's caption sits 5 right of and 2 below its frame's corner.
void drawButtons(plat::DeviceContext dc, const char16_t* nextCaption) {
    plat::selectObject(dc, wizard.textFont);
    plat::setTextColour(dc, buttonTextColour);
    plat::textOutW(dc, wizard.nextButtonRect.left + 5, wizard.nextButtonRect.top + 2, nextCaption);
    plat::textOutW(dc, wizard.quitButtonRect.left + 5, wizard.quitButtonRect.top + 2, quitCaption);
}

void checkMark(plat::DeviceContext dc, const plat::Rect& r) {
    plat::textOutW(dc, r.left - 3, r.top, u"√");
}

void drawPinyinTitle(plat::DeviceContext dc) {
    plat::GdiObject editionTitleFont = plat::createFont(30, 15, 700, plat::charsetGb2312, "楷体");
    plat::GdiObject previous = plat::selectObject(dc, editionTitleFont);
    colouredText(dc, 75, 90, pinyinShadowColour, u"Marl拼音");
    colouredText(dc, 83, 93, editionColour, u"Marl拼音");
    plat::selectObject(dc, previous);
    plat::deleteObject(editionTitleFont);
}

void drawChoices(plat::DeviceContext dc) {
    plat::GdiObject optionFont = plat::createFont(16, 8, 700, plat::charsetGb2312, "宋体");
    plat::GdiObject previous = plat::selectObject(dc, optionFont);
    bool offered = state.interfaceChoiceOffered != 0;
    const plat::Rect& pinyin = wizard.pinyinEditionRect;
    const plat::Rect& wubi = wizard.wubiEditionRect;
    const plat::Rect& tsf = wizard.tsfInterfaceRect;
    const plat::Rect& ime = wizard.imeInterfaceRect;

    colouredText(dc, 20, pinyin.top, optionColour, u"请选择安装版本：");
    if (offered) plat::textOutW(dc, 20, tsf.top, u"请选择接口版本：");
    plat::textOutW(dc, pinyin.left, pinyin.top, u"■ 拼音专版");
    plat::textOutW(dc, wubi.left, wubi.top, u"■ 五笔专版");
    if (offered) {
        plat::textOutW(dc, tsf.left, tsf.top, u"■ TSF接口");
        plat::textOutW(dc, ime.left, ime.top, u"■ IME接口");
    }
    plat::setTextColour(dc, checkMarkColour);
    checkMark(dc, state.editionChoice == 1 ? pinyin : wubi);
    if (offered) checkMark(dc, state.interfaceChoice == 1 ? tsf : ime);

    plat::selectObject(dc, previous);
    plat::deleteObject(optionFont);
}

void beginStandardPage(plat::DeviceContext dc) {
    paintStandardBackground(dc);
    plat::setTransparentBackground(dc);
}

plat::DeviceContext windowContext() { return plat::getDC(wizard.mainWindow); }

}  // namespace

uint32_t choiceBackgroundColour(int y) {
    unsigned green = static_cast<unsigned>(((2 * y - 112) % 256 + 256) % 256);
    unsigned blue = static_cast<unsigned>(250 - 140 * y / pageLines);
    return plat::rgb(0, green, blue);
}

uint32_t standardBackgroundColour(int y) {
    return plat::rgb(static_cast<unsigned>(150 * y / pageLines),
                     static_cast<unsigned>(255 * y / pageLines),
                     static_cast<unsigned>(250 - 150 * y / pageLines));
}

void paintChoiceBackground(plat::DeviceContext dc) { paintGradient(dc, choiceBackgroundColour); }

void paintStandardBackground(plat::DeviceContext dc) { paintGradient(dc, standardBackgroundColour); }

void drawRaisedFrame(plat::DeviceContext dc, int left, int top, int right, int bottom) {
    plat::selectObject(dc, plat::stockObject(plat::Stock::blackPen));
    plat::moveTo(dc, left, bottom);
    plat::lineTo(dc, right, bottom);
    plat::lineTo(dc, right, top);
    plat::selectObject(dc, plat::stockObject(plat::Stock::whitePen));
    plat::moveTo(dc, right, top);
    plat::lineTo(dc, left, top);
    plat::lineTo(dc, left, bottom);
}

void drawRaisedFrame(plat::DeviceContext dc, const plat::Rect& r) {
    drawRaisedFrame(dc, r.left, r.top, r.right, r.bottom);
}

void drawEmbossedText(plat::DeviceContext dc, int x, int y, const char* text) { embossed(dc, x, y, text); }
void drawEmbossedText(plat::DeviceContext dc, int x, int y, const char16_t* text) {
    embossed(dc, x, y, text);
}
void drawGlowText(plat::DeviceContext dc, int x, int y, const char* text) { glow(dc, x, y, text); }
void drawGlowText(plat::DeviceContext dc, int x, int y, const char16_t* text) { glow(dc, x, y, text); }

void paintChoicePage(plat::DeviceContext dc) {
    state.oemCodePage = plat::getOemCodePage();
    paintChoiceBackground(dc);
    // Shown until the bitmap covers it, and left in view when the payload has none.
    plat::textOutW(dc, 50, 150, u"安装程序正在载入文件，请等待……");
    plat::setTransparentBackground(dc);
    drawPayloadBitmap(400, 190, dc, "qvtk1.bmp", 0, 0, 400, 190, 0, 0, 400, 190);
    if (state.editionChoice == 1) {
        // Rows 90 and 91 stretched into a plain band for the edition's title.
        drawPayloadBitmap(400, 190, dc, "qvtk1.bmp", 73, 90, 128, 35, 73, 90, 128, 2);
        drawPinyinTitle(dc);
    }
    plat::selectObject(dc, wizard.textFont);
    colouredText(dc, 10, 135, white, u"您尝试过Tarnel吗？");
    plat::textOutW(dc, 50, 160, u"不受限制、随意自由输入的全新双拼……");
    colouredText(dc, 220, 100, versionColour, u"9.0 版");
    drawRaisedFrame(dc, wizard.nextButtonRect);
    drawRaisedFrame(dc, wizard.quitButtonRect);
    drawButtons(dc, confirmCaption);
    drawChoices(dc);
}

void paintUserRecordPage(plat::DeviceContext dc) {
    beginStandardPage(dc);
    plat::selectObject(dc, wizard.textFont);
    colouredText(dc, 30, 10, black, u"智能Marl输入平台  系统安装");
    colouredText(dc, 39, 19, white, u"智能Marl输入平台  系统安装");
    colouredText(dc, 250, 19, editionColour, state.editionChoice == 1 ? u"Marl拼音专版" : u"Qolvane专版");
    colouredText(dc, 40, 50, white, u"请正确输入手机号码和用户姓名,并且输入你自己的管");
    plat::textOutW(dc, 20, 70, u"理密码，注意保存管理密码，该密码将在以后的维护");
    plat::textOutW(dc, 20, 90, u"管理中经常用到。管理密码为六位字符数字。");
    drawRaisedFrame(dc, wizard.nextButtonRect);
    drawRaisedFrame(dc, wizard.quitButtonRect);
    drawRaisedFrame(dc, wizard.passwordRowRect);
    drawRaisedFrame(dc, wizard.nameRowRect);
    drawRaisedFrame(dc, wizard.phoneRowRect);
    plat::setTextColour(dc, white);
    plat::textOutW(dc, wizard.phoneRowRect.left + 5, wizard.phoneRowRect.top + 4, u"手机号码：");
    plat::textOutW(dc, wizard.nameRowRect.left + 5, wizard.nameRowRect.top + 4, u"用户姓名：");
    plat::textOutW(dc, wizard.passwordRowRect.left + 5, wizard.passwordRowRect.top + 4, u"管理密码：");
    drawButtons(dc, confirmCaption);
}

void paintCopyingPage(plat::DeviceContext dc) {
    beginStandardPage(dc);
    plat::selectObject(dc, wizard.titleFont);
    embossed(dc, 30, 20, u"智能Marl输入平台");
    plat::selectObject(dc, wizard.textFont);
    embossed(dc, 100, 80, u"Qolvane 9.0 版  系统安装");
    colouredText(dc, 50, 130, white, u"注意：安装过程需要2分钟左右，");
    plat::textOutW(dc, 30, 155, state.page == 7 ? u"正在复制文件，请耐心等待……！！" : u"请不要进行其它操作！");
    drawRaisedFrame(dc, wizard.nextButtonRect);
    drawRaisedFrame(dc, wizard.quitButtonRect);
    drawRaisedFrame(dc, wizard.passwordRowRect);
    plat::showWindow(wizard.focusEdit, plat::swHide);
    // The install path takes the password row's place, as 8-bit text.
    char pathLine[dirCapacity + 16];
    formatText(pathLine, sizeof pathLine, "安装路径：%s", state.installDir);
    colouredText(dc, 35, 196, white, pathLine);
    drawButtons(dc, confirmCaption);
    if (state.progressPosition > 0 && state.progressTotal > 0)
        paintProgressBar(dc, 0, state.progressTotal);
}

void paintProcessingPage(plat::DeviceContext dc) {
    beginStandardPage(dc);
    plat::selectObject(dc, wizard.titleFont);
    embossed(dc, 30, 20, "智能Marl9.0版安装");
    plat::selectObject(dc, wizard.textFont);
    colouredText(dc, 80, 80, black, "智能Marl正在处理有关数据……");
    glow(dc, 80, 80, "智能Marl正在处理有关数据……");
    plat::setTextColour(dc, white);
}

void paintFinishedPage(plat::DeviceContext dc) {
    beginStandardPage(dc);
    plat::selectObject(dc, wizard.titleFont);
    embossed(dc, 30, 20, "欢迎使用Marl系统");
    plat::selectObject(dc, wizard.textFont);
    glow(dc, 80, 80, "欢迎使用Marl输入系统");
    colouredText(dc, 50, 130, white, "智能Marl已经安装在你的系统中!");
    plat::textOutA(dc, 50, 155, "智能Marl数据处理模块正在处理数据，你可");
    plat::textOutA(dc, 10, 190, "等待处理完毕后退出。");
    drawRaisedFrame(dc, wizard.nextButtonRect);
    drawRaisedFrame(dc, wizard.quitButtonRect);
    drawButtons(dc, finishCaption);
}

void paintProgressBar(plat::DeviceContext dc, int position, int total) {
    const plat::Rect& box = wizard.progressBarBox;  // left, top, width, height
    int left = box.left;
    int top = box.top + 3;
    int bottom = box.top + box.bottom;
    if (position < 1 || total < 1) {
        plat::selectObject(dc, plat::stockObject(plat::Stock::whiteBrush));
        plat::rectangle(dc, left, top, left + box.right, bottom);
        return;
    }
    int64_t fill = int64_t{box.right} * position / total;
    // The install never passes a position at or past its total; a direct caller may.
    if (fill > box.right) fill = box.right;
    plat::selectObject(dc, wizard.progressBrush);
    plat::rectangle(dc, left, top, left + static_cast<int>(fill), bottom);
}

void paintProgressHook(int position, int total) {
    if (position > total - 15) position = total - 15;
    if (state.runMode == silentMode || wizard.mainWindow == nullptr) return;
    plat::DeviceContext dc = windowContext();
    paintProgressBar(dc, position, total);
    plat::releaseDC(wizard.mainWindow, dc);
}

void redrawCopyingPageHook() {
    // Without the window, GetDC would hand out the whole screen.
    if (wizard.mainWindow == nullptr) return;
    plat::DeviceContext dc = windowContext();
    paintCopyingPage(dc);
    plat::releaseDC(wizard.mainWindow, dc);
}
