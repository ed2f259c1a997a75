#include "programs/unattended.h"

#include "platform/ui.h"

namespace {

std::vector<UnattendedMessage> messages;

int answerUnattended(const char16_t* text, const char16_t* caption, unsigned type) {
    int answer = plat::offersYes(type) ? plat::idYes : plat::idOk;
    messages.push_back({caption ? caption : u"", text ? text : u"", type, answer});
    return answer;
}

}  // namespace

void beginUnattended() {
    messages.clear();
    plat::setMessageSink(answerUnattended);
}

void endUnattended() { plat::setMessageSink(nullptr); }

const std::vector<UnattendedMessage>& unattendedMessages() { return messages; }
