// The host tools' messages: a console program has no desktop, so a message box without a sink
// is written to standard error and takes its default button.
#include <cstdio>

#include "platform/host/text.h"
#include "platform/ui.h"

namespace plat {

namespace {

MessageSink messageSink = nullptr;
MessageObserver messageObserver = nullptr;

int answer(const std::u16string& text, const std::u16string& caption, unsigned type) {
    int given;
    if (messageSink != nullptr) {
        given = messageSink(text.c_str(), caption.c_str(), type);
    } else {
        writeConsole(true, caption + u": " + text + u"\n");
        given = offersYes(type) ? idYes : idOk;
    }
    if (messageObserver != nullptr) messageObserver(text.c_str(), caption.c_str(), type, given);
    return given;
}

}  // namespace

void setMessageSink(MessageSink sink) { messageSink = sink; }
void setMessageObserver(MessageObserver observer) { messageObserver = observer; }

int messageBoxW(const char16_t* text, const char16_t* caption, unsigned type) {
    return answer(text ? text : u"", caption ? caption : u"", type);
}

int messageBoxA(const char* text, const char* caption, unsigned type) {
    return answer(wideFromGbk(text), wideFromGbk(caption), type);
}

std::u16string wideFromGbk(const char* text) { return host::fromGbk(text ? text : ""); }

// The tools' 8-bit texts, paths included, are GBK, as the setup's are.
std::u16string wideFromAnsi(const char* text) { return wideFromGbk(text); }

bool isAnsiLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

std::string nativeArgument(const char* argument) {
    return host::strictConvert("GBK", "UTF-8", argument ? argument : "");
}

void writeConsole(bool toError, const std::u16string& text) {
    std::string bytes = host::toUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), toError ? stderr : stdout);
}

}  // namespace plat
