#include "artwork.h"

#include <cmath>
#include <stdexcept>

namespace content {

namespace {

constexpr double pi = 3.14159265358979323846;
const Rgb white{255, 255, 255};
const Rgb black{0, 0, 0};
const Rgb buttonFace{240, 240, 240};

double smooth(double t) {
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    return t * t * (3 - 2 * t);
}

// The product tile at (x, y), `size` pixels square: a blue rounded tile, a white key cap and
// the yellow cross of the program icon.
void drawTile(Canvas& c, double x, double y, double size) {
    double s = size;
    c.roundedRect(x + 0.04 * s, y + 0.04 * s, x + 0.96 * s, y + 0.96 * s, 0.2 * s, {72, 142, 236},
                  {18, 58, 165});
    c.roundedFrame(x + 0.04 * s, y + 0.04 * s, x + 0.96 * s, y + 0.96 * s, 0.2 * s,
                   std::max(1.0, s / 24), {160, 205, 255}, 0.8);
    c.roundedRect(x + 0.24 * s, y + 0.26 * s, x + 0.76 * s, y + 0.78 * s, 0.08 * s, {120, 132, 160},
                  {90, 100, 130});
    c.roundedRect(x + 0.24 * s, y + 0.2 * s, x + 0.76 * s, y + 0.72 * s, 0.08 * s, white,
                  {212, 220, 236});
    Rgb yellow{250, 198, 36};
    double w = std::max(1.2, 0.08 * s);
    c.segment(x + 0.35 * s, y + 0.46 * s, x + 0.65 * s, y + 0.46 * s, w, yellow);
    c.segment(x + 0.5 * s, y + 0.31 * s, x + 0.5 * s, y + 0.62 * s, w, yellow);
}

// Translucent waves from their crest down to `bottom`, fading out over the last `fade` rows.
void drawWaves(Canvas& c, double base, double amplitude, double period, double phase, double alpha,
               int bottom, int fade) {
    for (int x = 0; x < c.width(); ++x) {
        double crest = base + amplitude * std::sin(2 * pi * x / period + phase);
        for (int y = static_cast<int>(crest) - 2; y <= bottom && y < c.height(); ++y) {
            double below = y + 0.5 - crest + 0.5;
            double coverage = below < 0 ? 0 : (below > 1 ? 1 : below);
            double fading =
                y <= bottom - fade ? 1 : 1 - smooth((y - (bottom - fade)) / double(fade));
            c.blend(x, y, {130, 205, 255}, alpha * coverage * fading);
            double d = std::fabs(y + 0.5 - crest);
            if (d < 1.4) c.blend(x, y, white, 0.22 * (1.4 - d) / 1.4 * fading);
        }
    }
}

// A button cell: raised, lit from above.
void drawCell(Canvas& c, double x0, double y0, double x1, double y1, Rgb top, Rgb bottom) {
    double r = (y1 - y0) * 0.22;
    c.roundedRect(x0 + 0.5, y0 + 0.5, x1 - 0.5, y1 - 0.5, r, top, bottom);
    c.roundedFrame(x0 + 0.5, y0 + 0.5, x1 - 0.5, y1 - 0.5, r, 1, scaled(bottom, 0.7), 0.8);
    c.segment(x0 + r, y0 + 1.5, x1 - r, y0 + 1.5, 1, white, 0.45);
}

void drawKeyboardGlyph(Canvas& c, double x, double y, double s, Rgb ink) {
    c.roundedFrame(x + 0.12 * s, y + 0.28 * s, x + 0.88 * s, y + 0.74 * s, 0.08 * s,
                   std::max(1.0, s / 16), ink);
    for (int row = 0; row < 2; ++row)
        for (int k = 0; k < 4; ++k)
            c.disc(x + (0.26 + 0.16 * k) * s, y + (0.42 + 0.12 * row) * s, std::max(0.7, s / 28),
                   ink);
    c.segment(x + 0.32 * s, y + 0.64 * s, x + 0.68 * s, y + 0.64 * s, std::max(1.0, s / 20), ink);
}

void drawGear(Canvas& c, double cx, double cy, double r, Rgb ink) {
    for (int i = 0; i < 8; ++i) {
        double a = i * pi / 4;
        c.segment(cx + std::cos(a) * r * 0.6, cy + std::sin(a) * r * 0.6, cx + std::cos(a) * r,
                  cy + std::sin(a) * r, r * 0.28, ink);
    }
    c.ring(cx, cy, r * 0.55, r * 0.3, ink);
}

void drawMoon(Canvas& c, double cx, double cy, double r, Rgb ink, Rgb background) {
    c.disc(cx, cy, r, ink);
    c.disc(cx + r * 0.45, cy - r * 0.25, r * 0.85, background);
}

void drawSun(Canvas& c, double cx, double cy, double r, Rgb ink) {
    c.disc(cx, cy, r * 0.55, ink);
    for (int i = 0; i < 8; ++i) {
        double a = i * pi / 4;
        c.segment(cx + std::cos(a) * r * 0.75, cy + std::sin(a) * r * 0.75, cx + std::cos(a) * r,
                  cy + std::sin(a) * r, std::max(1.0, r / 6), ink);
    }
}

void drawStar(Canvas& c, double cx, double cy, double r, Rgb ink, double alpha = 1) {
    for (int i = 0; i < 4; ++i) {
        double a = i * pi / 4;
        double len = i % 2 == 0 ? r : r * 0.55;
        c.segment(cx - std::cos(a) * len, cy - std::sin(a) * len, cx + std::cos(a) * len,
                  cy + std::sin(a) * len, std::max(0.8, r / 5), ink, alpha);
    }
}

int fontScale(int size) { return size >= 28 ? 2 : 1; }

void centredText(Canvas& c, double cx, double cy, const std::string& text, Rgb ink, int scale) {
    int w = Canvas::textWidth(text, scale);
    c.text(static_cast<int>(std::lround(cx - w / 2.0)), static_cast<int>(std::lround(cy - 3.5 * scale)),
           text, ink, scale);
}

}  // namespace

Bytes choicePageBackground() {
    const int width = 401, height = 310;
    Canvas c(width, height, black);
    // Light sky at the top, deep blue at row 189 where the page's own gradient, (0,12,165) at
    // row 190, takes over.
    const Rgb top{46, 164, 247}, middle{18, 94, 214}, low{1, 14, 164}, hidden{0, 10, 118};
    for (int y = 0; y < height; ++y) {
        Rgb row = y <= 95    ? mix(top, middle, smooth(y / 95.0))
                  : y <= 189 ? mix(middle, low, smooth((y - 95) / 94.0))
                             : mix(low, hidden, (y - 189) / 120.0);
        for (int x = 0; x < width; ++x) c.set(x, y, row);
    }
    c.glow(334, 24, 175, {206, 236, 255}, 0.55);
    c.glow(334, 24, 56, white, 0.4);

    Random random("qvtk1.bmp");
    for (int i = 0; i < 52; ++i) {
        double x = random.below(width) + 0.5, y = 3 + random.below(78) + 0.5;
        double radius = 0.45 + random.unit() * 0.9;
        double alpha = 0.3 + random.unit() * 0.55;
        bool onShapes = (x > 12 && x < 74 && y < 70) || (x > 56 && x < 216 && y > 78) ||
                        (x > 200 && x < 290 && y > 86);
        if (!onShapes) c.disc(x, y, radius, white, alpha);
        if (!onShapes && i % 9 == 0) drawStar(c, x, y, 3.5, white, 0.5);
    }

    // Rows 176 to 189 fade the waves out so that row 189 meets the page's gradient.
    drawWaves(c, 126, 7, 262, 0.6, 0.09, 189, 14);
    drawWaves(c, 148, 9, 334, 2.1, 0.11, 189, 14);
    drawWaves(c, 169, 6, 214, 4.0, 0.13, 189, 14);

    // Keys of a keyboard, faint, in the lower right.
    for (int row = 0; row < 3; ++row) {
        for (int k = 0; k < 5; ++k) {
            double x0 = 300 + k * 19 + row * 6, y0 = 106 + row * 20;
            c.roundedRect(x0, y0, x0 + 16, y0 + 16, 3, white, white, 0.08);
            c.roundedFrame(x0, y0, x0 + 16, y0 + 16, 3, 1, white, 0.16);
        }
    }

    drawTile(c, 20, 14, 44);

    // The ribbon: rows 90 and 91 between x 73 and 200 become the band behind the Pinyin title,
    // so they carry the same colours (rows 88 to 93 are not shaded).
    auto ribbonColour = [](double x, double y) {
        Rgb across = mix({24, 44, 124}, {46, 88, 172}, (x - 64) / 144);
        double shade = y < 88 ? 1.12 : (y > 94 ? 0.86 : 1.0);
        return scaled(across, shade);
    };
    auto ribbon = [](double x, double y) {
        return Canvas::roundedRectDistance(x, y, 64, 84, 208, 98, 7);
    };
    c.fillShape(64, 84, 208, 98, ribbon, ribbonColour);
    c.segment(70, 84.8, 202, 84.8, 1, white, 0.28);

    // The badge behind "9.0 版", which the page writes in dark blue at (220,100).
    c.roundedRect(212, 99, 280, 129, 11, black, black, 0.22);
    c.roundedRect(209, 96, 277, 126, 11, {252, 253, 255}, {210, 229, 250}, 0.96);
    c.roundedFrame(209, 96, 277, 126, 11, 1.2, white, 0.85);
    return c.bmp24();
}

Canvas productTile(int size) {
    Canvas c(size, size, buttonFace);
    drawTile(c, 0, 0, size);
    return c;
}

Canvas toolbarStrip(const std::string& family, int size) {
    const double n = size;
    auto cells = [&](int count, Rgb top, Rgb bottom) {
        Canvas c(count * size, size, buttonFace);
        for (int i = 0; i < count; ++i) drawCell(c, i * n, 0, (i + 1) * n, n, top, bottom);
        return c;
    };
    const Rgb blueTop{150, 196, 250}, blueBottom{50, 104, 200};
    const Rgb greenTop{150, 226, 196}, greenBottom{34, 138, 112};
    int scale = fontScale(size);
    if (family == "bjzt0" || family == "bjzt1") {
        bool wubi = family == "bjzt1";
        Canvas c(6 * size, size, buttonFace);
        c.roundedRect(0.5, 0.5, 6 * n - 0.5, n - 0.5, n * 0.3, wubi ? greenTop : blueTop,
                      wubi ? greenBottom : blueBottom);
        c.roundedFrame(0.5, 0.5, 6 * n - 0.5, n - 0.5, n * 0.3, 1, black, 0.35);
        for (int i = 1; i < 6; ++i) {
            c.segment(i * n, n * 0.2, i * n, n * 0.8, 1, black, 0.25);
            c.segment(i * n + 1, n * 0.2, i * n + 1, n * 0.8, 1, white, 0.35);
        }
        c.segment(n * 0.3, 1.5, 6 * n - n * 0.3, 1.5, 1, white, 0.5);
        return c;
    }
    if (family == "bmjb" || family == "bmjbx") {
        Canvas c(8 * size, size, buttonFace);
        c.roundedRect(0.5, 0.5, 8 * n - 0.5, n - 0.5, n * 0.2, {253, 253, 255}, {226, 233, 245});
        c.roundedFrame(0.5, 0.5, 8 * n - 0.5, n - 0.5, n * 0.2, 1, {110, 146, 204});
        if (family == "bmjbx") {
            c.roundedRect(1.5, 1.5, n, n - 1.5, n * 0.15, blueTop, blueBottom);
            c.segment(n * 1.25, n * 0.25, n * 1.25, n * 0.75, 1, {110, 146, 204});
        }
        return c;
    }
    if (family == "jptb0" || family == "jptb1") {
        bool pressed = family == "jptb1";
        Canvas c =
            pressed ? cells(2, blueBottom, blueTop) : cells(2, {250, 250, 252}, {212, 220, 234});
        Rgb ink = pressed ? white : Rgb{40, 64, 120};
        drawKeyboardGlyph(c, 0, 0, n, ink);
        drawKeyboardGlyph(c, n, 0, n, ink);
        c.disc(n * 1.8, n * 0.22, n * 0.1, {230, 60, 50});  // the soft keyboard is open
        return c;
    }
    if (family == "ldlb") {
        Canvas c = cells(3, {250, 250, 252}, {212, 220, 234});
        Rgb ink{40, 64, 120};
        double w = std::max(1.2, n / 10);
        c.segment(n * 0.6, n * 0.3, n * 0.4, n * 0.5, w, ink);
        c.segment(n * 0.4, n * 0.5, n * 0.6, n * 0.7, w, ink);
        c.segment(n * 1.4, n * 0.3, n * 1.6, n * 0.5, w, ink);
        c.segment(n * 1.6, n * 0.5, n * 1.4, n * 0.7, w, ink);
        for (int i = 0; i < 3; ++i)
            c.segment(n * 2.3, n * (0.32 + 0.18 * i), n * 2.7, n * (0.32 + 0.18 * i), w, ink);
        return c;
    }
    if (family == "wuxin") {
        Canvas c(5 * size, size, buttonFace);
        const Rgb elements[] = {
            {222, 188, 72}, {70, 160, 80}, {56, 118, 212}, {220, 72, 52}, {168, 118, 60}};
        for (int i = 0; i < 5; ++i) {
            double cx = (i + 0.5) * n, cy = n / 2, r = n * 0.38;
            c.disc(cx, cy, r, elements[i]);
            c.glow(cx - r * 0.35, cy - r * 0.4, r * 0.7, white, 0.6);
            c.ring(cx, cy, r, 1, scaled(elements[i], 0.6), 0.8);
        }
        return c;
    }
    if (family == "zhtb") {
        Canvas c = cells(4, {250, 250, 252}, {212, 220, 234});
        Rgb ink{40, 64, 120};
        centredText(c, n * 0.5, n * 0.5, "A", ink, scale);
        drawMoon(c, n * 1.5, n * 0.5, n * 0.28, {230, 160, 30}, {231, 235, 243});
        drawSun(c, n * 2.5, n * 0.5, n * 0.32, {230, 160, 30});
        c.disc(n * 3.35, n * 0.62, std::max(1.0, n * 0.07), ink);
        c.ring(n * 3.62, n * 0.6, std::max(1.2, n * 0.09), 1, ink);
        return c;
    }
    if (family == "zjcztb") {
        Canvas c = cells(3, {250, 250, 252}, {212, 220, 234});
        Rgb ink{40, 64, 120};
        double w = std::max(1.2, n / 10);
        c.segment(n * 0.3, n * 0.65, n * 0.7, n * 0.65, w, ink);
        drawGear(c, n * 1.5, n * 0.5, n * 0.3, ink);
        c.segment(n * 2.32, n * 0.32, n * 2.68, n * 0.68, w, {200, 50, 40});
        c.segment(n * 2.68, n * 0.32, n * 2.32, n * 0.68, w, {200, 50, 40});
        return c;
    }
    throw std::invalid_argument("no toolbar family " + family);
}

Canvas softKeyboard() {
    Canvas c(380, 150, black);
    c.verticalGradient({234, 238, 246}, {204, 212, 230});
    c.roundedFrame(0.5, 0.5, 379.5, 149.5, 6, 1, {110, 130, 170});
    const char* rows[] = {"1234567890-=", "QWERTYUIOP[]", "ASDFGHJKL;'", "ZXCVBNM,./"};
    for (int row = 0; row < 4; ++row) {
        std::string keys = rows[row];
        for (size_t k = 0; k < keys.size(); ++k) {
            double x0 = 10 + row * 8 + static_cast<double>(k) * 29, y0 = 8 + row * 28;
            drawCell(c, x0, y0, x0 + 26, y0 + 25, {252, 252, 255}, {214, 220, 234});
            c.text(static_cast<int>(x0) + 5, static_cast<int>(y0) + 4, std::string(1, keys[k]),
                   {40, 56, 96});
        }
    }
    drawCell(c, 90, 120, 290, 144, {252, 252, 255}, {214, 220, 234});
    return c;
}

Canvas banner(int variant) {
    Canvas c(400, 60, black);
    if (variant == 0)
        c.verticalGradient({60, 150, 240}, {14, 52, 168});
    else
        c.verticalGradient({190, 120, 210}, {92, 40, 140});
    c.glow(330, 8, 120, white, 0.35);
    drawWaves(c, 44, 3, 180, 1.0, 0.12, 59, 1);
    drawTile(c, 10, 8, 44);
    c.text(68, 20, "Marl 9.0", black, 3);
    c.text(66, 18, "Marl 9.0", white, 3);
    return c;
}

Canvas selectionMark(bool selected) {
    Canvas c(16, 16, buttonFace);
    c.disc(8, 8, 6.5, white);
    c.ring(8, 8, 6.5, 1.2, {90, 110, 150});
    if (selected) c.disc(8, 8, 3.2, {30, 110, 220});
    return c;
}

Canvas frameTile() {
    Canvas c(15, 15, {250, 250, 252});
    c.fillRect(0, 0, 15, 1, {110, 146, 204});
    c.fillRect(0, 14, 15, 15, {110, 146, 204});
    c.fillRect(0, 0, 1, 15, {110, 146, 204});
    c.fillRect(14, 0, 15, 15, {110, 146, 204});
    c.fillRect(1, 1, 14, 2, white);
    return c;
}

Canvas shadowPanel(int variant) {
    int w = variant == 2 ? 64 : 120, h = variant == 2 ? 64 : 40;
    Canvas c(w, h, buttonFace);
    c.roundedRect(3, 3, w - 0.5, h - 0.5, 6, black, black, 0.18);
    Rgb top = variant == 1 ? Rgb{214, 226, 246} : white;
    c.roundedRect(0.5, 0.5, w - 3, h - 3, 6, top, {220, 226, 238});
    c.roundedFrame(0.5, 0.5, w - 3, h - 3, 6, 1, {150, 166, 196});
    return c;
}

Canvas aboutPicture(int variant) {
    Canvas c(240, 180, black);
    if (variant == 0)
        c.verticalGradient({70, 170, 248}, {10, 40, 160});
    else
        c.verticalGradient({250, 196, 214}, {186, 86, 140});
    c.glow(190, 30, 120, white, 0.5);
    drawWaves(c, 120, 6, 150, 0.3, 0.12, 179, 1);
    drawWaves(c, 140, 5, 110, 2.4, 0.14, 179, 1);
    drawTile(c, 92, 42, 56);
    c.text(96, 112, "Marl", white, 2);
    return c;
}

Canvas backgroundTexture() {
    Canvas c(400, 300, black);
    c.verticalGradient({246, 248, 252}, {214, 224, 240});
    Random random("vrbj01.jpg");
    for (int i = 0; i < 24; ++i) {
        double x = random.below(400), y = random.below(300), r = 20 + random.below(60);
        c.glow(x, y, r, i % 2 ? white : Rgb{170, 196, 236}, 0.35);
    }
    for (int i = 0; i < 14; ++i) {
        double x = random.below(400), y = random.below(300);
        c.segment(x, y, x + 30 + random.below(60), y + 10 + random.below(30), 0.8, {150, 170, 200},
                  0.35);
    }
    return c;
}

const SkinTheme& skinTheme(int number) {
    static const SkinTheme themes[] = {
        {1, "冷色瓷面", {226, 236, 246}, {58, 110, 182}, {24, 44, 88}},
        {2, "粉色瓷面", {250, 228, 236}, {212, 88, 140}, {96, 24, 56}},
        {3, "小天使", {255, 246, 222}, {96, 160, 230}, {120, 80, 20}},
    };
    if (number < 1 || number > 3) throw std::invalid_argument("no such skin");
    return themes[number - 1];
}

Canvas skinBitmap(const SkinTheme& theme, int index) {
    static const int sizes[8][2] = {{0, 0},    {200, 24}, {320, 28}, {320, 30},
                                    {128, 20}, {60, 20},  {40, 20},  {40, 20}};
    if (index < 1 || index > 7) throw std::invalid_argument("no such skin bitmap");
    int w = sizes[index][0], h = sizes[index][1];
    Canvas c(w, h, theme.base);
    Rgb light = scaled(theme.base, 1.5), dark = scaled(theme.base, 0.86);
    if (index <= 3) {
        c.roundedRect(0.5, 0.5, w - 0.5, h - 0.5, h * 0.3, light, dark);
        c.roundedFrame(0.5, 0.5, w - 0.5, h - 0.5, h * 0.3, 1.2, theme.accent, 0.9);
        c.segment(h * 0.3, 2, w - h * 0.3, 2, 1, white, 0.6);
        Random random(std::string(theme.gbkName) + std::to_string(index));
        for (int i = 0; i < w / 24; ++i) {
            double x = 8 + random.below(static_cast<uint32_t>(w - 16)),
                   y = 4 + random.below(static_cast<uint32_t>(h - 8));
            switch (theme.number) {
                case 1:  // frost
                    drawStar(c, x, y, 2.5 + random.unit() * 2, white, 0.7);
                    break;
                case 2:  // petals
                    for (int p = 0; p < 5; ++p)
                        c.disc(x + 2.2 * std::cos(p * 2 * pi / 5),
                               y + 2.2 * std::sin(p * 2 * pi / 5), 1.6,
                               mix(theme.accent, white, 0.5), 0.6);
                    break;
                default:  // stars and halos
                    drawStar(c, x, y, 3, {250, 200, 60}, 0.8);
                    if (i % 3 == 0) c.ring(x + 8, y, 3, 0.8, {250, 210, 90}, 0.7);
                    break;
            }
        }
        if (theme.number == 3 && index == 1) {  // the little angel's wings at the left end
            c.disc(9, h * 0.5, 5, white, 0.9);
            c.disc(15, h * 0.45, 6, white, 0.9);
            c.ring(12, h * 0.2, 4, 1, {250, 200, 60});
        }
        return c;
    }
    int cellsWide = w / (index == 4 ? 16 : 20);
    double cell = static_cast<double>(w) / cellsWide;
    for (int i = 0; i < cellsWide; ++i) drawCell(c, i * cell, 0, (i + 1) * cell, h, light, dark);
    Rgb ink = theme.text;
    switch (index) {
        case 4:
            for (int i = 0; i < cellsWide; ++i)
                c.disc((i + 0.5) * cell, h * 0.5, 2.2 + (i % 3) * 0.7, ink);
            break;
        case 5:
            centredText(c, cell * 0.5, h * 0.5, "A", ink, 1);
            centredText(c, cell * 1.5, h * 0.5, "a", ink, 1);
            drawKeyboardGlyph(c, cell * 2, 0, h, ink);
            break;
        case 6:
            drawMoon(c, cell * 0.5, h * 0.5, 5, theme.accent, mix(light, dark, 0.5));
            drawSun(c, cell * 1.5, h * 0.5, 6, theme.accent);
            break;
        default:
            c.disc(cell * 0.45, h * 0.62, 1.6, ink);
            c.ring(cell * 1.5, h * 0.6, 2, 1, ink);
            break;
    }
    return c;
}

Canvas sharedToolbarButtons() {
    Canvas c(128, 20, buttonFace);
    for (int i = 0; i < 8; ++i)
        drawCell(c, i * 16, 0, (i + 1) * 16, 20, {250, 250, 252}, {206, 214, 230});
    Rgb ink{50, 66, 100};
    drawGear(c, 8, 10, 5, ink);
    drawKeyboardGlyph(c, 16, 2, 16, ink);
    drawMoon(c, 40, 10, 4.5, {230, 160, 30}, {228, 232, 241});
    c.disc(56, 12, 1.5, ink);
    centredText(c, 72, 10, "A", ink, 1);
    c.segment(85, 13, 91, 7, 1.2, ink);
    c.ring(104, 10, 4.5, 1.2, ink);
    c.segment(116, 6, 124, 14, 1.4, {200, 50, 40});
    c.segment(124, 6, 116, 14, 1.4, {200, 50, 40});
    return c;
}

}  // namespace content
