#include "jpeg.h"

#include <cmath>
#include <cstdlib>

namespace content {

namespace {

const unsigned char zigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                  12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                  35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                  58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

const unsigned char lumaQuant[64] = {16,  11,  10,  16,  24, 40, 51,  61,  12,  12,  14,  19,  26,
                                     58,  60,  55,  14,  13, 16, 24,  40,  57,  69,  56,  14,  17,
                                     22,  29,  51,  87,  80, 62, 18,  22,  37,  56,  68,  109, 103,
                                     77,  24,  35,  55,  64, 81, 104, 113, 92,  49,  64,  78,  87,
                                     103, 121, 120, 101, 72, 92, 95,  98,  112, 100, 103, 99};

const unsigned char chromaQuant[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

struct HuffmanTable {
    unsigned char bits[16];
    std::vector<unsigned char> values;
};

const HuffmanTable lumaDc = {{0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0},
                            {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};
const HuffmanTable chromaDc = {{0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0},
                              {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};
const HuffmanTable lumaAc = {
    {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d},
    {0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61,
     0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52,
     0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25,
     0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45,
     0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64,
     0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
     0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99,
     0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6,
     0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3,
     0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8,
     0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa}};
const HuffmanTable chromaAc = {
    {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77},
    {0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61,
     0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33,
     0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18,
     0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44,
     0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63,
     0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
     0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97,
     0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4,
     0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca,
     0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7,
     0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa}};

struct Code {
    unsigned bits = 0;
    int length = 0;
};

// Canonical codes from the bit counts (Annex C).
std::vector<Code> buildCodes(const HuffmanTable& table) {
    std::vector<Code> codes(256);
    unsigned code = 0;
    size_t k = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int i = 0; i < table.bits[length - 1]; ++i) codes[table.values[k++]] = {code++, length};
        code <<= 1;
    }
    return codes;
}

class BitWriter {
public:
    explicit BitWriter(Bytes& out) : out_(out) {}
    void write(unsigned bits, int length) {
        for (int i = length - 1; i >= 0; --i) {
            accumulator_ = (accumulator_ << 1) | ((bits >> i) & 1);
            if (++count_ == 8) emit();
        }
    }
    void flush() {
        while (count_ != 0) write(1, 1);  // pad with ones
    }

private:
    void emit() {
        put8(out_, accumulator_);
        if (accumulator_ == 0xFF) put8(out_, 0);  // byte stuffing
        accumulator_ = 0;
        count_ = 0;
    }
    Bytes& out_;
    unsigned accumulator_ = 0;
    int count_ = 0;
};

int magnitudeBits(int value) {
    int v = std::abs(value), n = 0;
    while (v) {
        ++n;
        v >>= 1;
    }
    return n;
}

void writeValue(BitWriter& writer, int value, int size) {
    if (size == 0) return;
    unsigned bits =
        value >= 0 ? static_cast<unsigned>(value) : static_cast<unsigned>(value + (1 << size) - 1);
    writer.write(bits, size);
}

void segment(Bytes& out, unsigned marker, const Bytes& body) {
    put8(out, 0xFF);
    put8(out, marker);
    put8(out, (body.size() + 2) >> 8);
    put8(out, (body.size() + 2) & 0xFF);
    out += body;
}

void scaledTable(const unsigned char base[64], int quality, unsigned char out[64]) {
    int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
    for (int i = 0; i < 64; ++i) {
        int v = (base[i] * scale + 50) / 100;
        out[i] = static_cast<unsigned char>(v < 1 ? 1 : (v > 255 ? 255 : v));
    }
}

Bytes huffmanSegment(unsigned tableClass, unsigned id, const HuffmanTable& table) {
    Bytes body;
    put8(body, (tableClass << 4) | id);
    for (unsigned char b : table.bits) put8(body, b);
    for (unsigned char v : table.values) put8(body, v);
    return body;
}

}  // namespace

Bytes encodeJpeg(const Canvas& canvas, int quality) {
    unsigned char quant[2][64];
    scaledTable(lumaQuant, quality, quant[0]);
    scaledTable(chromaQuant, quality, quant[1]);
    const std::vector<Code> dc[2] = {buildCodes(lumaDc), buildCodes(chromaDc)};
    const std::vector<Code> ac[2] = {buildCodes(lumaAc), buildCodes(chromaAc)};

    Bytes out;
    put8(out, 0xFF);
    put8(out, 0xD8);
    Bytes jfif = "JFIF";
    jfif += '\0';
    put8(jfif, 1);  // version 1.1
    put8(jfif, 1);
    put8(jfif, 1);  // densities in dots per inch, big-endian
    put8(jfif, 0);
    put8(jfif, 72);
    put8(jfif, 0);
    put8(jfif, 72);
    put8(jfif, 0);
    put8(jfif, 0);
    segment(out, 0xE0, jfif);
    for (unsigned t = 0; t < 2; ++t) {
        Bytes body;
        put8(body, t);
        for (int k = 0; k < 64; ++k) put8(body, quant[t][zigzag[k]]);
        segment(out, 0xDB, body);
    }
    Bytes frame;
    put8(frame, 8);
    put8(frame, canvas.height() >> 8);
    put8(frame, canvas.height() & 0xFF);
    put8(frame, canvas.width() >> 8);
    put8(frame, canvas.width() & 0xFF);
    put8(frame, 3);
    for (unsigned component = 1; component <= 3; ++component) {
        put8(frame, component);
        put8(frame, 0x11);
        put8(frame, component == 1 ? 0 : 1);
    }
    segment(out, 0xC0, frame);
    segment(out, 0xC4, huffmanSegment(0, 0, lumaDc));
    segment(out, 0xC4, huffmanSegment(1, 0, lumaAc));
    segment(out, 0xC4, huffmanSegment(0, 1, chromaDc));
    segment(out, 0xC4, huffmanSegment(1, 1, chromaAc));
    Bytes scan;
    put8(scan, 3);
    for (unsigned component = 1; component <= 3; ++component) {
        put8(scan, component);
        put8(scan, component == 1 ? 0x00 : 0x11);
    }
    put8(scan, 0);
    put8(scan, 63);
    put8(scan, 0);
    segment(out, 0xDA, scan);

    double cosines[8][8];
    for (int x = 0; x < 8; ++x)
        for (int u = 0; u < 8; ++u)
            cosines[x][u] = std::cos((2 * x + 1) * u * 3.14159265358979323846 / 16);

    BitWriter writer(out);
    int previousDc[3] = {0, 0, 0};
    for (int by = 0; by < canvas.height(); by += 8) {
        for (int bx = 0; bx < canvas.width(); bx += 8) {
            double samples[3][64];
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x) {
                    // Edge blocks repeat the last row and column.
                    int px = bx + x < canvas.width() ? bx + x : canvas.width() - 1;
                    int py = by + y < canvas.height() ? by + y : canvas.height() - 1;
                    Rgb p = canvas.at(px, py);
                    samples[0][y * 8 + x] = 0.299 * p.r + 0.587 * p.g + 0.114 * p.b - 128;
                    samples[1][y * 8 + x] = -0.168736 * p.r - 0.331264 * p.g + 0.5 * p.b;
                    samples[2][y * 8 + x] = 0.5 * p.r - 0.418688 * p.g - 0.081312 * p.b;
                }
            }
            for (int component = 0; component < 3; ++component) {
                int table = component == 0 ? 0 : 1;
                int coefficients[64];
                for (int v = 0; v < 8; ++v) {
                    for (int u = 0; u < 8; ++u) {
                        double sum = 0;
                        for (int y = 0; y < 8; ++y)
                            for (int x = 0; x < 8; ++x)
                                sum +=
                                    samples[component][y * 8 + x] * cosines[x][u] * cosines[y][v];
                        double cu = u == 0 ? std::sqrt(0.5) : 1, cv = v == 0 ? std::sqrt(0.5) : 1;
                        double value = 0.25 * cu * cv * sum;
                        coefficients[v * 8 + u] =
                            static_cast<int>(std::lround(value / quant[table][v * 8 + u]));
                    }
                }
                int diff = coefficients[0] - previousDc[component];
                previousDc[component] = coefficients[0];
                int size = magnitudeBits(diff);
                writer.write(dc[table][size].bits, dc[table][size].length);
                writeValue(writer, diff, size);
                int run = 0;
                for (int k = 1; k < 64; ++k) {
                    int value = coefficients[zigzag[k]];
                    if (value == 0) {
                        ++run;
                        continue;
                    }
                    while (run > 15) {
                        writer.write(ac[table][0xF0].bits, ac[table][0xF0].length);
                        run -= 16;
                    }
                    int bits = magnitudeBits(value);
                    unsigned symbol = static_cast<unsigned>((run << 4) | bits);
                    writer.write(ac[table][symbol].bits, ac[table][symbol].length);
                    writeValue(writer, value, bits);
                    run = 0;
                }
                if (run > 0) writer.write(ac[table][0x00].bits, ac[table][0x00].length);
            }
        }
    }
    writer.flush();
    put8(out, 0xFF);
    put8(out, 0xD9);
    return out;
}

}  // namespace content
