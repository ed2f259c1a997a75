// Text conversions of the host builds (iconv), shared by the simulated machine and the tools'
// platform layer.
#pragma once
#include <string>

namespace host {

// iconv of the text; an invalid byte becomes '?' and the conversion goes on.
std::string convert(const char* to, const char* from, const std::string& input);
// iconv of the whole text, or the text unchanged when it is not valid in `from`.
std::string strictConvert(const char* to, const char* from, const std::string& text);
// GBK (code page 936) to UTF-16, and UTF-16 to UTF-8 or GBK.
std::u16string fromGbk(const std::string& text);
std::string toUtf8(const std::u16string& text);
std::string toGbk(const std::u16string& text);

}  // namespace host
