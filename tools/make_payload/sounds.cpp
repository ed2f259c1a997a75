#include "sounds.h"

#include <cmath>
#include <stdexcept>
#include <vector>

namespace content {

namespace {

constexpr int rate = 11025;
constexpr double pi = 3.14159265358979323846;

struct Note {
    double start;      // seconds
    double length;     // seconds
    double frequency;  // Hz; 0 for a click of noise
    double volume;     // 0 to 1
};

Bytes wave(const std::vector<Note>& notes, double seconds, const std::string& seed) {
    size_t count = static_cast<size_t>(seconds * rate);
    std::vector<double> mixdown(count, 0.0);
    Random random(seed);
    for (const Note& note : notes) {
        size_t first = static_cast<size_t>(note.start * rate);
        size_t length = static_cast<size_t>(note.length * rate);
        for (size_t i = 0; i < length && first + i < count; ++i) {
            double t = static_cast<double>(i) / rate;
            // A quick attack and an exponential decay, as of a struck bell or key.
            double envelope = std::min(1.0, t / 0.004) * std::exp(-5.0 * t / note.length);
            double sample = note.frequency > 0 ? std::sin(2 * pi * note.frequency * t) +
                                                     0.3 * std::sin(4 * pi * note.frequency * t)
                                               : random.unit() * 2 - 1;
            mixdown[first + i] += note.volume * envelope * sample;
        }
    }
    Bytes data;
    for (double v : mixdown) {
        double clipped = v > 1 ? 1 : (v < -1 ? -1 : v);
        put8(data, static_cast<unsigned>(std::lround(128 + clipped * 100)));
    }
    if (data.size() % 2) put8(data, 128);  // chunks are padded to even lengths

    Bytes out = "RIFF";
    put32(out, static_cast<uint32_t>(4 + 8 + 16 + 8 + data.size()));
    out += "WAVEfmt ";
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, 1);  // mono
    put32(out, rate);
    put32(out, rate);  // bytes per second
    put16(out, 1);     // block align
    put16(out, 8);     // bits per sample
    out += "data";
    put32(out, static_cast<uint32_t>(data.size()));
    return out + data;
}

}  // namespace

Bytes sound(int number) {
    const std::string seed = "sound" + std::to_string(number);
    switch (number) {
        case 0:  // key click
            return wave({{0, 0.03, 0, 0.7}, {0.002, 0.05, 1800, 0.25}}, 0.06, seed);
        case 1:  // candidate chosen
            return wave({{0, 0.12, 1320, 0.6}}, 0.14, seed);
        case 2:  // soft tick
            return wave({{0, 0.05, 2400, 0.4}, {0, 0.02, 0, 0.3}}, 0.06, seed);
        case 3:  // rising chime: switched on
            return wave({{0, 0.15, 784, 0.5}, {0.1, 0.25, 1175, 0.5}}, 0.36, seed);
        case 4:  // falling chime: switched off
            return wave({{0, 0.15, 1175, 0.5}, {0.1, 0.25, 784, 0.5}}, 0.36, seed);
        case 5:  // no such code
            return wave({{0, 0.2, 220, 0.6}, {0.05, 0.2, 233, 0.4}}, 0.26, seed);
        case 6:  // phrase learned: a major triad
            return wave({{0, 0.3, 1047, 0.35}, {0.06, 0.3, 1319, 0.35}, {0.12, 0.4, 1568, 0.35}},
                        0.55, seed);
        case 7:  // bell
            return wave({{0, 0.9, 660, 0.5}, {0, 0.9, 1650, 0.15}}, 0.95, seed);
        default:
            throw std::invalid_argument("no such sound");
    }
}

}  // namespace content
