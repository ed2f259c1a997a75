// Text conversions of the host builds (iconv): the simulated machine and the tools.
#include "platform/host/text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace host {

std::string convert(const char* to, const char* from, const std::string& input) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string output(input.size() * 4 + 8, '\0');
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char* out = output.data();
    size_t outLeft = output.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1)) {
            if (errno == E2BIG) break;
            // An invalid byte becomes '?' and the conversion goes on.
            ++in;
            --inLeft;
            if (outLeft < 2) break;
            if (std::strcmp(from, "GBK") == 0) {
                *out++ = '?';
                *out++ = '\0';
                outLeft -= 2;
            } else {
                *out++ = '?';
                --outLeft;
            }
        }
    }
    iconv_close(cd);
    output.resize(output.size() - outLeft);
    return output;
}

std::string strictConvert(const char* to, const char* from, const std::string& text) {
    bool ascii = std::all_of(text.begin(), text.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) return text;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return text;
    std::string output(text.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* out = output.data();
    size_t outLeft = output.size();
    size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
    iconv_close(cd);
    if (result == static_cast<size_t>(-1) || inLeft != 0) return text;
    output.resize(output.size() - outLeft);
    return output;
}

std::u16string fromGbk(const std::string& text) {
    std::string bytes = convert("UTF-16LE", "GBK", text);
    std::u16string result;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        result += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                        (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return result;
}

namespace {
std::string utf16Bytes(const std::u16string& text) {
    std::string bytes;
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}
}  // namespace

std::string toUtf8(const std::u16string& text) { return convert("UTF-8", "UTF-16LE", utf16Bytes(text)); }

std::string toGbk(const std::u16string& text) { return convert("GBK", "UTF-16LE", utf16Bytes(text)); }

}  // namespace host
