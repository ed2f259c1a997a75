// A small RGB painter for the payload's bitmaps: gradients and anti-aliased shapes (coverage
// from the signed distance at each pixel centre), a 5 x 7 pixel font for Latin labels, and
// BMP output in 24 or 8 bits per pixel.
#pragma once
#include <string>
#include <vector>

#include "content.h"

namespace content {

struct Rgb {
    double r = 0, g = 0, b = 0;  // 0 to 255
};

Rgb mix(Rgb a, Rgb b, double t);
// A channel as a byte: rounded, and clamped to 0-255.
unsigned channel(double v);
Rgb scaled(Rgb c, double factor);  // lighter above 1, darker below

class Canvas {
public:
    Canvas(int width, int height, Rgb background);
    int width() const { return width_; }
    int height() const { return height_; }
    Rgb at(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    void set(int x, int y, Rgb colour);
    // Paints `colour` over the pixel with the given opacity; outside the canvas nothing happens.
    void blend(int x, int y, Rgb colour, double alpha);

    // Whole rows from `top` (first row) to `bottom` (last row).
    void verticalGradient(Rgb top, Rgb bottom);
    void verticalGradient(int y0, int y1, Rgb top, Rgb bottom);
    void fillRect(int x0, int y0, int x1, int y1, Rgb colour, double alpha = 1);  // [x0,x1)

    void roundedRect(double x0, double y0, double x1, double y1, double radius, Rgb top, Rgb bottom,
                     double alpha = 1);
    void roundedFrame(double x0, double y0, double x1, double y1, double radius, double width,
                      Rgb colour, double alpha = 1);
    void disc(double cx, double cy, double radius, Rgb colour, double alpha = 1);
    void ring(double cx, double cy, double radius, double width, Rgb colour, double alpha = 1);
    void segment(double x0, double y0, double x1, double y1, double width, Rgb colour,
                 double alpha = 1);
    // A soft radial light, fading to nothing at `radius`.
    void glow(double cx, double cy, double radius, Rgb colour, double alpha);
    // Latin letters, digits and a little punctuation; each pixel of the font is `scale` pixels.
    void text(int x, int y, const std::string& ascii, Rgb colour, int scale = 1);
    static int textWidth(const std::string& ascii, int scale = 1);

    // Any shape: `distance(x, y)` is its signed distance (negative inside), `colour(x, y)` the
    // paint at a pixel centre; only the box (x0, y0)-(x1, y1) is visited.
    template <typename Distance, typename Colour>
    void fillShape(double x0, double y0, double x1, double y1, Distance distance, Colour colour,
                   double alpha = 1) {
        int left = x0 < 1 ? 0 : static_cast<int>(x0) - 1;
        int upper = y0 < 1 ? 0 : static_cast<int>(y0) - 1;
        int right = x1 + 1 >= width_ ? width_ - 1 : static_cast<int>(x1) + 1;
        int lower = y1 + 1 >= height_ ? height_ - 1 : static_cast<int>(y1) + 1;
        for (int y = upper; y <= lower; ++y) {
            for (int x = left; x <= right; ++x) {
                double coverage = 0.5 - distance(x + 0.5, y + 0.5);
                if (coverage > 0)
                    blend(x, y, colour(x + 0.5, y + 0.5), (coverage > 1 ? 1 : coverage) * alpha);
            }
        }
    }
    // Signed distance of a rounded rectangle, for fillShape.
    static double roundedRectDistance(double px, double py, double x0, double y0, double x1,
                                      double y1, double radius);

    Bytes bmp24() const;
    // 256 colours: a 6 x 6 x 6 cube and 40 greys, each pixel the nearest entry.
    Bytes bmp8() const;

private:
    template <typename Distance>
    void shade(double x0, double y0, double x1, double y1, Distance distance, Rgb top, Rgb bottom,
               double alpha);

    int width_;
    int height_;
    std::vector<Rgb> pixels_;
};

}  // namespace content
