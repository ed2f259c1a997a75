#include "wizard/payload_bitmap.h"

#include <gtest/gtest.h>

#include <cstring>

#include "../payload/container_builder.h"
#include "bitmap_files.h"
#include "wizard_fixture.h"

namespace {

class PayloadBitmap : public WizardTest {
protected:
    std::string inflated(size_t length) {
        return std::string(reinterpret_cast<const char*>(state.workBuffer + inflatedEntryOffset), length);
    }
    void draw(int clipW, int clipH, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc,
              int wSrc, int hSrc) {
        drawPayloadBitmap(clipW, clipH, dc_, "qvtk1.bmp", xDest, yDest, wDest, hDest, xSrc, ySrc,
                          wSrc, hSrc);
    }
    void drawTop() { draw(400, 190, 0, 0, 400, 190, 0, 0, 400, 190); }
    // The one copy made, as StretchBlt was asked for it: destination then source rectangle.
    std::vector<int> blit() {
        std::vector<sim::DrawOp> bitmaps = ops(sim::DrawOp::Kind::bitmap);
        EXPECT_EQ(bitmaps.size(), 1u);
        if (bitmaps.empty()) return {};
        const sim::DrawOp& b = bitmaps[0];
        return {b.x, b.y, b.width, b.height, b.srcX, b.srcY, b.srcWidth, b.srcHeight};
    }
    bool untouched() {
        for (int y = 0; y < sim::canvasHeight; ++y)
            for (int x = 0; x < sim::canvasWidth; ++x)
                if (px(x, y) != sim::white) return false;
        return true;
    }
    void expectNothingDrawn(const std::string& why) {
        EXPECT_TRUE(ops(sim::DrawOp::Kind::bitmap).empty()) << why;
        EXPECT_TRUE(untouched()) << why;
        EXPECT_TRUE(desk().liveObjects().size() == 3u) << why;
        EXPECT_TRUE(guardIntact()) << why;
    }
};

}  // namespace

// --- inflating an entry ---

TEST_F(PayloadBitmap, TheFirstEntryOfThatExactNameIsInflatedAtOffset100) {
    usePayload(buildContainer({{"a.bmp", "first"}, {"qvtk1.bmp", "bitmap"}, {"qvtk1.bmp", "second"}}));
    std::memset(state.workBuffer, 0x11, inflatedEntryOffset);
    EXPECT_EQ(inflatePayloadEntry("qvtk1.bmp"), 6u);
    EXPECT_EQ(inflated(6), "bitmap");
    // The bytes before it are left alone.
    EXPECT_EQ(state.workBuffer[99], 0x11);
    // Names compare exactly, as lstrcmpA does.
    EXPECT_EQ(inflatePayloadEntry("QVTK1.BMP"), 0u);
    EXPECT_EQ(inflatePayloadEntry("qvtk1"), 0u);
    EXPECT_EQ(inflatePayloadEntry("a.bmp"), 5u);
    EXPECT_EQ(inflated(5), "first");
}

TEST_F(PayloadBitmap, AMissingEntryClearsTheStartOfTheOutput) {
    usePayload(buildContainer({{"a.bmp", "BMold"}}));
    ASSERT_EQ(inflatePayloadEntry("a.bmp"), 5u);
    EXPECT_EQ(inflatePayloadEntry("qvtk1.bmp"), 0u);
    EXPECT_EQ(state.workBuffer[100], 0);
    EXPECT_EQ(state.workBuffer[101], 0);
    EXPECT_EQ(state.workBuffer[102], 'o');
}

TEST_F(PayloadBitmap, OlderLayoutContainersAreWalkedToo) {
    usePayload(buildContainer({{"skin.bmp", "old layout"}, {"qvtk1.bmp", "found"}}, true));
    EXPECT_EQ(inflatePayloadEntry("qvtk1.bmp"), 5u);
    EXPECT_EQ(inflated(5), "found");
}

TEST_F(PayloadBitmap, NothingIsInflatedWithoutAPayloadOrAWorkBufferOrFromADamagedEntry) {
    EXPECT_EQ(inflatePayloadEntry("qvtk1.bmp"), 0u);

    std::string container = buildContainer({{"qvtk1.bmp", std::string(5000, 'x')}});
    usePayload(container);
    uint8_t* buffer = state.workBuffer;
    state.workBuffer = nullptr;
    EXPECT_EQ(inflatePayloadEntry("qvtk1.bmp"), 0u);
    state.workBuffer = buffer;

    // A payload cut inside the entry's data: the walk does not reach it.
    usePayload(container.substr(0, container.size() - 4));
    EXPECT_EQ(inflatePayloadEntry("qvtk1.bmp"), 0u);
    // A stream damaged in the middle does not inflate whole.
    std::string damaged = container;
    damaged[10 + 56 + 3] = static_cast<char>(damaged[10 + 56 + 3] ^ 0x5A);
    usePayload(damaged);
    EXPECT_EQ(inflatePayloadEntry("qvtk1.bmp"), 0u);
    // An empty entry.
    std::string empty = buildContainer({{"qvtk1.bmp", ""}});
    storeLe(empty, 10 + 52, 0);
    usePayload(empty.substr(0, 10 + 56));
    EXPECT_EQ(inflatePayloadEntry("qvtk1.bmp"), 0u);
    // A name that fills its field without a terminator is no match for a shorter one.
    std::string unterminated = buildContainer({{"qvtk1.bmpxxxxxxx", "x"}});
    usePayload(unterminated);
    EXPECT_EQ(inflatePayloadEntry("qvtk1.bmpxxxxxxx"), 0u);
    EXPECT_TRUE(guardIntact());
}

TEST_F(PayloadBitmap, AnEntryLargerThanTheWorkBufferNeverWritesPastIt) {
    usePayload(buildContainer({{"qvtk1.bmp", std::string(workBufferSize, 'B')}}));
    EXPECT_EQ(inflatePayloadEntry("qvtk1.bmp"), 0u);
    EXPECT_TRUE(guardIntact());
    drawTop();
    expectNothingDrawn("too large");
}

// --- clipping ---

TEST_F(PayloadBitmap, TheChoicePagesBitmapIsCutTo400By190) {
    usePayload(buildContainer({{"qvtk1.bmp", bitmapFile(401, 310)}}));
    drawTop();
    EXPECT_EQ(blit(), (std::vector<int>{0, 0, 400, 190, 0, 0, 400, 190}));
    EXPECT_EQ(px(0, 0), sourceColour(0, 0));
    EXPECT_EQ(px(399, 0), sourceColour(399, 0));
    EXPECT_EQ(px(399, 189), sourceColour(399, 189));
    EXPECT_EQ(px(300, 189), sourceColour(300, 189));
    EXPECT_EQ(px(0, 190), sim::white);
    EXPECT_TRUE(desk().liveObjects().size() == 3u);
}

TEST_F(PayloadBitmap, ThePinyinBandStretchesTwoRowsOver35) {
    usePayload(buildContainer({{"qvtk1.bmp", bitmapFile(401, 310)}}));
    draw(400, 190, 73, 90, 128, 35, 73, 90, 128, 2);
    EXPECT_EQ(blit(), (std::vector<int>{73, 90, 128, 35, 73, 90, 128, 2}));
    for (int y = 90; y < 125; ++y) {
        int row = y < 108 ? 90 : 91;
        EXPECT_EQ(px(73, y), sourceColour(73, row)) << y;
        EXPECT_EQ(px(200, y), sourceColour(200, row)) << y;
    }
    EXPECT_EQ(px(72, 100), sim::white);
    EXPECT_EQ(px(201, 100), sim::white);
    EXPECT_EQ(px(100, 89), sim::white);
    EXPECT_EQ(px(100, 125), sim::white);
}

TEST_F(PayloadBitmap, SourceIsCutToTheBitmapButTheDestinationKeepsItsSize) {
    // A smaller bitmap is stretched over the whole destination.
    usePayload(buildContainer({{"qvtk1.bmp", bitmapFile(100, 50)}}));
    drawTop();
    EXPECT_EQ(blit(), (std::vector<int>{0, 0, 400, 190, 0, 0, 100, 50}));
    EXPECT_EQ(px(0, 0), sourceColour(0, 0));
    EXPECT_EQ(px(399, 189), sourceColour(99, 49));
    EXPECT_EQ(px(4, 4), sourceColour(1, 1));

    // The source starting inside the bitmap keeps what is left of it.
    desk().clearDrawing();
    draw(400, 190, 0, 0, 50, 20, 80, 40, 50, 20);
    EXPECT_EQ(blit(), (std::vector<int>{0, 0, 50, 20, 80, 40, 20, 10}));

    // A source past the bitmap's edge has nothing left: the copy is empty.
    desk().clearDrawing();
    draw(400, 190, 0, 0, 50, 20, 300, 0, 50, 20);
    EXPECT_EQ(blit(), (std::vector<int>{0, 0, 50, 20, 100, 0, 0, 20}));
    EXPECT_TRUE(untouched());
}

TEST_F(PayloadBitmap, ADestinationAtOrPastTheClipEdgeDrawsNothing) {
    usePayload(buildContainer({{"qvtk1.bmp", bitmapFile(401, 310)}}));
    draw(400, 190, 400, 0, 10, 10, 0, 0, 10, 10);
    EXPECT_EQ(blit(), (std::vector<int>{400, 0, 0, 10, 0, 0, 10, 10}));
    desk().clearDrawing();
    draw(400, 190, 0, 250, 10, 10, 0, 0, 10, 10);
    EXPECT_EQ(blit(), (std::vector<int>{0, 190, 10, 0, 0, 0, 10, 10}));
    EXPECT_TRUE(untouched());
}

// --- damaged bitmaps ---

TEST_F(PayloadBitmap, BitmapHeadersThatDoNotFitTheirBytesAreRefused) {
    std::string good = bitmapFile(20, 10);
    auto fits = [](const std::string& file) {
        return bitmapFileFits(reinterpret_cast<const uint8_t*>(file.data()), file.size());
    };
    EXPECT_TRUE(fits(good));
    EXPECT_TRUE(fits(bitmapFile(20, 10, true)));
    EXPECT_TRUE(fits(stripedBitmapFile(7, 3, 0, 0xFFFFFF)));
    EXPECT_FALSE(bitmapFileFits(nullptr, 100));
    EXPECT_FALSE(fits(good.substr(0, 53)));
    EXPECT_FALSE(fits(good.substr(0, good.size() - 1)));  // last row short by a byte

    struct Damage {
        size_t at;
        uint32_t value;
        int bytes;
        const char* what;
    };
    for (Damage d : {Damage{0, 'X', 1, "not BM"},
                     Damage{10, 55, 4, "bits start one byte late"},
                     Damage{10, 0xFFFFFFF0u, 4, "bits far past the end"},
                     Damage{14, 12, 4, "core header"},
                     Damage{14, 0x7FFFFFFF, 4, "header size past the end"},
                     Damage{18, 0, 4, "no width"},
                     Damage{18, 0xFFFFFFECu, 4, "negative width"},
                     Damage{18, 0x7FFFFFFF, 4, "width past the end"},
                     Damage{22, 0, 4, "no height"},
                     Damage{22, 0x80000000u, 4, "the height that has no size"},
                     Damage{22, 11, 4, "one row too many"},
                     Damage{26, 2, 2, "two planes"},
                     Damage{28, 7, 2, "seven bits a pixel"},
                     Damage{30, 1, 4, "run-length compressed"},
                     Damage{46, 300, 4, "colour table too long"}}) {
        std::string file = good;
        storeLe(file, d.at, d.value, d.bytes);
        EXPECT_FALSE(fits(file)) << d.what;
    }
    // A paletted bitmap whose table runs into the end of the file.
    std::string striped = stripedBitmapFile(4, 1, 0, 0);
    storeLe(striped, 46, 256);
    EXPECT_FALSE(fits(striped));
}

TEST_F(PayloadBitmap, AMissingOrDamagedBitmapDrawsNothing) {
    drawTop();
    expectNothingDrawn("no payload");

    usePayload(buildContainer({{"vornel4.ime", "BM"}}));
    drawTop();
    expectNothingDrawn("no such entry");

    usePayload(buildContainer({{"qvtk1.bmp", "GIF89a" + std::string(100, '\0')}}));
    drawTop();
    expectNothingDrawn("not a bitmap");

    std::string truncated = bitmapFile(401, 310);
    truncated.resize(truncated.size() / 2);
    usePayload(buildContainer({{"qvtk1.bmp", truncated}}));
    drawTop();
    expectNothingDrawn("half the rows");

    std::string huge = bitmapFile(40, 40);
    storeLe(huge, 18, 30000);
    storeLe(huge, 22, 30000);
    usePayload(buildContainer({{"qvtk1.bmp", huge}}));
    drawTop();
    expectNothingDrawn("header claims 30000 by 30000");

    // The damaged stream of a real bitmap: nothing half-inflated is shown.
    std::string container = buildContainer({{"qvtk1.bmp", bitmapFile(401, 310)}});
    container[container.size() - 40] = static_cast<char>(container[container.size() - 40] ^ 0xFF);
    usePayload(container);
    drawTop();
    expectNothingDrawn("damaged stream");
}
