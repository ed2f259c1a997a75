#include "canvas.h"

#include <algorithm>
#include <cmath>

namespace content {

namespace {

double clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }


// 5 x 7 glyphs, one byte per column, bit 0 at the top.
struct Glyph {
    char c;
    unsigned char columns[5];
};

const Glyph font[] = {
    {' ', {0x00, 0x00, 0x00, 0x00, 0x00}}, {'0', {0x3E, 0x51, 0x49, 0x45, 0x3E}},
    {'1', {0x00, 0x42, 0x7F, 0x40, 0x00}}, {'2', {0x42, 0x61, 0x51, 0x49, 0x46}},
    {'3', {0x21, 0x41, 0x45, 0x4B, 0x31}}, {'4', {0x18, 0x14, 0x12, 0x7F, 0x10}},
    {'5', {0x27, 0x45, 0x45, 0x45, 0x39}}, {'6', {0x3C, 0x4A, 0x49, 0x49, 0x30}},
    {'7', {0x01, 0x71, 0x09, 0x05, 0x03}}, {'8', {0x36, 0x49, 0x49, 0x49, 0x36}},
    {'9', {0x06, 0x49, 0x49, 0x29, 0x1E}}, {'A', {0x7E, 0x11, 0x11, 0x11, 0x7E}},
    {'B', {0x7F, 0x49, 0x49, 0x49, 0x36}}, {'C', {0x3E, 0x41, 0x41, 0x41, 0x22}},
    {'D', {0x7F, 0x41, 0x41, 0x22, 0x1C}}, {'E', {0x7F, 0x49, 0x49, 0x49, 0x41}},
    {'F', {0x7F, 0x09, 0x09, 0x09, 0x01}}, {'G', {0x3E, 0x41, 0x49, 0x49, 0x7A}},
    {'H', {0x7F, 0x08, 0x08, 0x08, 0x7F}}, {'I', {0x00, 0x41, 0x7F, 0x41, 0x00}},
    {'J', {0x20, 0x40, 0x41, 0x3F, 0x01}}, {'K', {0x7F, 0x08, 0x14, 0x22, 0x41}},
    {'L', {0x7F, 0x40, 0x40, 0x40, 0x40}}, {'M', {0x7F, 0x02, 0x0C, 0x02, 0x7F}},
    {'N', {0x7F, 0x04, 0x08, 0x10, 0x7F}}, {'O', {0x3E, 0x41, 0x41, 0x41, 0x3E}},
    {'P', {0x7F, 0x09, 0x09, 0x09, 0x06}}, {'Q', {0x3E, 0x41, 0x51, 0x21, 0x5E}},
    {'R', {0x7F, 0x09, 0x19, 0x29, 0x46}}, {'S', {0x46, 0x49, 0x49, 0x49, 0x31}},
    {'T', {0x01, 0x01, 0x7F, 0x01, 0x01}}, {'U', {0x3F, 0x40, 0x40, 0x40, 0x3F}},
    {'V', {0x1F, 0x20, 0x40, 0x20, 0x1F}}, {'W', {0x3F, 0x40, 0x38, 0x40, 0x3F}},
    {'X', {0x63, 0x14, 0x08, 0x14, 0x63}}, {'Y', {0x07, 0x08, 0x70, 0x08, 0x07}},
    {'Z', {0x61, 0x51, 0x49, 0x45, 0x43}}, {'a', {0x20, 0x54, 0x54, 0x54, 0x78}},
    {'b', {0x7F, 0x48, 0x44, 0x44, 0x38}}, {'c', {0x38, 0x44, 0x44, 0x44, 0x20}},
    {'d', {0x38, 0x44, 0x44, 0x48, 0x7F}}, {'e', {0x38, 0x54, 0x54, 0x54, 0x18}},
    {'f', {0x08, 0x7E, 0x09, 0x01, 0x02}}, {'g', {0x0C, 0x52, 0x52, 0x52, 0x3E}},
    {'h', {0x7F, 0x08, 0x04, 0x04, 0x78}}, {'i', {0x00, 0x44, 0x7D, 0x40, 0x00}},
    {'j', {0x20, 0x40, 0x44, 0x3D, 0x00}}, {'k', {0x7F, 0x10, 0x28, 0x44, 0x00}},
    {'l', {0x00, 0x41, 0x7F, 0x40, 0x00}}, {'m', {0x7C, 0x04, 0x18, 0x04, 0x78}},
    {'n', {0x7C, 0x08, 0x04, 0x04, 0x78}}, {'o', {0x38, 0x44, 0x44, 0x44, 0x38}},
    {'p', {0x7C, 0x14, 0x14, 0x14, 0x08}}, {'q', {0x08, 0x14, 0x14, 0x18, 0x7C}},
    {'r', {0x7C, 0x08, 0x04, 0x04, 0x08}}, {'s', {0x48, 0x54, 0x54, 0x54, 0x20}},
    {'t', {0x04, 0x3F, 0x44, 0x40, 0x20}}, {'u', {0x3C, 0x40, 0x40, 0x20, 0x7C}},
    {'v', {0x1C, 0x20, 0x40, 0x20, 0x1C}}, {'w', {0x3C, 0x40, 0x30, 0x40, 0x3C}},
    {'x', {0x44, 0x28, 0x10, 0x28, 0x44}}, {'y', {0x0C, 0x50, 0x50, 0x50, 0x3C}},
    {'z', {0x44, 0x64, 0x54, 0x4C, 0x44}}, {'.', {0x00, 0x60, 0x60, 0x00, 0x00}},
    {',', {0x00, 0xA0, 0x60, 0x00, 0x00}}, {':', {0x00, 0x36, 0x36, 0x00, 0x00}},
    {';', {0x00, 0x56, 0x36, 0x00, 0x00}}, {'-', {0x08, 0x08, 0x08, 0x08, 0x08}},
    {'+', {0x08, 0x08, 0x3E, 0x08, 0x08}}, {'/', {0x20, 0x10, 0x08, 0x04, 0x02}},
    {'=', {0x14, 0x14, 0x14, 0x14, 0x14}}, {'\'', {0x00, 0x05, 0x03, 0x00, 0x00}},
    {'[', {0x00, 0x7F, 0x41, 0x41, 0x00}}, {']', {0x00, 0x41, 0x41, 0x7F, 0x00}},
    {'<', {0x08, 0x14, 0x22, 0x41, 0x00}}, {'>', {0x00, 0x41, 0x22, 0x14, 0x08}},
    {'?', {0x02, 0x01, 0x51, 0x09, 0x06}}, {'!', {0x00, 0x00, 0x5F, 0x00, 0x00}},
    {'`', {0x00, 0x01, 0x02, 0x04, 0x00}}, {'\\', {0x02, 0x04, 0x08, 0x10, 0x20}},
};

const Glyph* glyphOf(char c) {
    for (const Glyph& g : font)
        if (g.c == c) return &g;
    return nullptr;
}

Bytes fileHeaders(int width, int height, int bits, uint32_t paletteBytes, uint32_t imageBytes) {
    Bytes out = "BM";
    uint32_t offset = 14 + 40 + paletteBytes;
    put32(out, offset + imageBytes);
    put32(out, 0);
    put32(out, offset);
    put32(out, 40);
    put32(out, static_cast<uint32_t>(width));
    put32(out, static_cast<uint32_t>(height));  // positive: rows bottom-up
    put16(out, 1);
    put16(out, static_cast<unsigned>(bits));
    put32(out, 0);  // BI_RGB
    put32(out, imageBytes);
    put32(out, 2835);  // 72 dots per inch
    put32(out, 2835);
    put32(out, bits == 8 ? 256 : 0);
    put32(out, 0);
    return out;
}

}  // namespace

unsigned channel(double v) {
    long rounded = std::lround(v);
    return static_cast<unsigned>(rounded < 0 ? 0 : (rounded > 255 ? 255 : rounded));
}

Rgb mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb scaled(Rgb c, double factor) {
    if (factor >= 1) return mix(c, {255, 255, 255}, clamp01(factor - 1));
    return {c.r * factor, c.g * factor, c.b * factor};
}

Canvas::Canvas(int width, int height, Rgb background)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, background) {}

void Canvas::set(int x, int y, Rgb colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[static_cast<size_t>(y) * width_ + x] = colour;
}

void Canvas::blend(int x, int y, Rgb colour, double alpha) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || alpha <= 0) return;
    Rgb& p = pixels_[static_cast<size_t>(y) * width_ + x];
    p = mix(p, colour, clamp01(alpha));
}

void Canvas::verticalGradient(Rgb top, Rgb bottom) {
    verticalGradient(0, height_ - 1, top, bottom);
}

void Canvas::verticalGradient(int y0, int y1, Rgb top, Rgb bottom) {
    for (int y = std::max(0, y0); y <= std::min(y1, height_ - 1); ++y) {
        Rgb c = mix(top, bottom, y1 > y0 ? static_cast<double>(y - y0) / (y1 - y0) : 0);
        for (int x = 0; x < width_; ++x) set(x, y, c);
    }
}

void Canvas::fillRect(int x0, int y0, int x1, int y1, Rgb colour, double alpha) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) blend(x, y, colour, alpha);
}

template <typename Distance>
void Canvas::shade(double x0, double y0, double x1, double y1, Distance distance, Rgb top,
                   Rgb bottom, double alpha) {
    int left = std::max(0, static_cast<int>(std::floor(x0)) - 1);
    int right = std::min(width_ - 1, static_cast<int>(std::ceil(x1)) + 1);
    int upper = std::max(0, static_cast<int>(std::floor(y0)) - 1);
    int lower = std::min(height_ - 1, static_cast<int>(std::ceil(y1)) + 1);
    for (int y = upper; y <= lower; ++y) {
        double t = y1 > y0 ? clamp01((y + 0.5 - y0) / (y1 - y0)) : 0;
        Rgb c = mix(top, bottom, t);
        for (int x = left; x <= right; ++x) {
            double coverage = clamp01(0.5 - distance(x + 0.5, y + 0.5));
            if (coverage > 0) blend(x, y, c, coverage * alpha);
        }
    }
}

double Canvas::roundedRectDistance(double px, double py, double x0, double y0, double x1, double y1,
                                   double radius) {
    double qx = std::fabs(px - (x0 + x1) / 2) - ((x1 - x0) / 2 - radius);
    double qy = std::fabs(py - (y0 + y1) / 2) - ((y1 - y0) / 2 - radius);
    double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

void Canvas::roundedRect(double x0, double y0, double x1, double y1, double radius, Rgb top,
                         Rgb bottom, double alpha) {
    auto distance = [=](double px, double py) {
        return roundedRectDistance(px, py, x0, y0, x1, y1, radius);
    };
    shade(x0, y0, x1, y1, distance, top, bottom, alpha);
}

void Canvas::roundedFrame(double x0, double y0, double x1, double y1, double radius, double width,
                          Rgb colour, double alpha) {
    auto distance = [=](double px, double py) {
        double d = roundedRectDistance(px, py, x0, y0, x1, y1, radius);
        return std::fabs(d + width / 2) - width / 2;
    };
    shade(x0, y0, x1, y1, distance, colour, colour, alpha);
}

void Canvas::disc(double cx, double cy, double radius, Rgb colour, double alpha) {
    auto distance = [=](double px, double py) { return std::hypot(px - cx, py - cy) - radius; };
    shade(cx - radius, cy - radius, cx + radius, cy + radius, distance, colour, colour, alpha);
}

void Canvas::ring(double cx, double cy, double radius, double width, Rgb colour, double alpha) {
    auto distance = [=](double px, double py) {
        return std::fabs(std::hypot(px - cx, py - cy) - radius) - width / 2;
    };
    double r = radius + width;
    shade(cx - r, cy - r, cx + r, cy + r, distance, colour, colour, alpha);
}

void Canvas::segment(double x0, double y0, double x1, double y1, double width, Rgb colour,
                     double alpha) {
    double dx = x1 - x0, dy = y1 - y0;
    double length2 = dx * dx + dy * dy;
    auto distance = [=](double px, double py) {
        double t = length2 > 0 ? clamp01(((px - x0) * dx + (py - y0) * dy) / length2) : 0;
        return std::hypot(px - (x0 + t * dx), py - (y0 + t * dy)) - width / 2;
    };
    shade(std::min(x0, x1) - width, std::min(y0, y1) - width, std::max(x0, x1) + width,
          std::max(y0, y1) + width, distance, colour, colour, alpha);
}

void Canvas::glow(double cx, double cy, double radius, Rgb colour, double alpha) {
    int left = std::max(0, static_cast<int>(cx - radius));
    int right = std::min(width_ - 1, static_cast<int>(cx + radius) + 1);
    int upper = std::max(0, static_cast<int>(cy - radius));
    int lower = std::min(height_ - 1, static_cast<int>(cy + radius) + 1);
    for (int y = upper; y <= lower; ++y) {
        for (int x = left; x <= right; ++x) {
            double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) / radius;
            if (d < 1) blend(x, y, colour, alpha * (1 - d) * (1 - d));
        }
    }
}

void Canvas::text(int x, int y, const std::string& ascii, Rgb colour, int scale) {
    int pen = x;
    for (char c : ascii) {
        if (const Glyph* g = glyphOf(c)) {
            for (int column = 0; column < 5; ++column)
                for (int row = 0; row < 8; ++row)
                    if (g->columns[column] & (1u << row))
                        fillRect(pen + column * scale, y + row * scale, pen + (column + 1) * scale,
                                 y + (row + 1) * scale, colour);
        }
        pen += 6 * scale;
    }
}

int Canvas::textWidth(const std::string& ascii, int scale) {
    return ascii.empty() ? 0 : static_cast<int>(ascii.size()) * 6 * scale - scale;
}

Bytes Canvas::bmp24() const {
    uint32_t row = static_cast<uint32_t>((width_ * 3 + 3) & ~3);
    Bytes out = fileHeaders(width_, height_, 24, 0, row * height_);
    for (int y = height_ - 1; y >= 0; --y) {
        size_t start = out.size();
        for (int x = 0; x < width_; ++x) {
            Rgb p = at(x, y);
            put8(out, channel(p.b));
            put8(out, channel(p.g));
            put8(out, channel(p.r));
        }
        out.resize(start + row, '\0');
    }
    return out;
}

Bytes Canvas::bmp8() const {
    std::vector<Rgb> palette;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) palette.push_back({r * 51.0, g * 51.0, b * 51.0});
    for (int i = 0; i < 40; ++i) {
        double v = 6 + i * 6.2;  // greys between the cube's levels
        palette.push_back({v, v, v});
    }
    uint32_t row = static_cast<uint32_t>((width_ + 3) & ~3);
    Bytes out = fileHeaders(width_, height_, 8, 256 * 4, row * height_);
    for (const Rgb& c : palette) {
        put8(out, channel(c.b));
        put8(out, channel(c.g));
        put8(out, channel(c.r));
        put8(out, 0);
    }
    for (int y = height_ - 1; y >= 0; --y) {
        size_t start = out.size();
        for (int x = 0; x < width_; ++x) {
            Rgb p = at(x, y);
            size_t best = 0;
            double bestDistance = 1e12;
            for (size_t i = 0; i < palette.size(); ++i) {
                double dr = p.r - palette[i].r, dg = p.g - palette[i].g, db = p.b - palette[i].b;
                double d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
                if (d < bestDistance) {
                    bestDistance = d;
                    best = i;
                }
            }
            put8(out, static_cast<unsigned>(best));
        }
        out.resize(start + row, '\0');
    }
    return out;
}

}  // namespace content
