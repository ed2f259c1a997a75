// Runs without anyone at the screen: no message box is shown. Each message is answered as the
// wizard's user would answer it by default (OK; yes to keeping the learnt data) and kept here.
#pragma once
#include <string>
#include <vector>

struct UnattendedMessage {
    std::u16string caption;
    std::u16string text;
    unsigned type = 0;
    int answer = 0;
};

// From here on every message box of the program is answered without a window.
void beginUnattended();
void endUnattended();
// The messages met so far, in order.
const std::vector<UnattendedMessage>& unattendedMessages();
