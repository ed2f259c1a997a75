// A simulated machine with the wizard's window and objects as window creation leaves them, and
// a device context of the window to paint into.
#pragma once
#include <algorithm>
#include <string>
#include <vector>

#include "common/install_state.h"
#include "platform/paint.h"
#include "platform/sim/machine.h"
#include "platform/ui.h"
#include "sim_fixture.h"
#include "wizard/wizard_objects.h"

inline intptr_t quietWindowProc(plat::WindowHandle, unsigned, uintptr_t, intptr_t) { return 0; }

class WizardTest : public SimTest {
protected:
    // Room past the work buffer's end, to show that nothing is written there.
    static constexpr size_t guardBytes = 64;

    void SetUp() override {
        SimTest::SetUp();
        start(false);
    }
    void TearDown() override {
        finish();
        SimTest::TearDown();
    }

    void start(bool interfaceChoiceOffered) {
        state.interfaceChoiceOffered = interfaceChoiceOffered ? 1 : 0;
        state.interfaceChoice = 1;
        plat::WindowClass wc;
        wc.procedure = quietWindowProc;
        wc.className = "installWClass";
        plat::registerWindowClass(wc);
        wizard = WizardObjects{};
        wizard.mainWindow = plat::createWindow("installWClass", u"智能Marl系统安装", plat::wsSysMenu, 312,
                                               234, 400, 310, nullptr);
        wizard.focusEdit = plat::createEditControl(wizard.mainWindow, 120, 195, 230, 20, nullptr);
        wizard.textFont = plat::createFont(22, 7, 0, plat::charsetGb2312, "宋体");
        wizard.titleFont = plat::createFont(40, 20, 0, plat::charsetGb2312, "楷体");
        wizard.progressBrush = plat::createSolidBrush(plat::rgb(30, 144, 255));
        wizard.progressBarBox = {30, 188, 340, 30};
        wizard.nextButtonRect = {40, 245, 140, 270};
        wizard.quitButtonRect = {260, 245, 360, 270};
        wizard.passwordRowRect = {30, 192, 365, 217};
        wizard.nameRowRect = {30, 162, 365, 187};
        wizard.phoneRowRect = {30, 132, 365, 157};
        if (interfaceChoiceOffered) {
            wizard.pinyinEditionRect = {160, 190, 255, 210};
            wizard.wubiEditionRect = {275, 190, 370, 210};
            wizard.tsfInterfaceRect = {160, 215, 255, 235};
            wizard.imeInterfaceRect = {275, 215, 370, 235};
        } else {
            wizard.pinyinEditionRect = {160, 210, 255, 230};
            wizard.wubiEditionRect = {275, 210, 370, 230};
        }
        buffer_.assign(workBufferSize + guardBytes, 0xA5);
        std::fill(buffer_.begin(), buffer_.begin() + workBufferSize, 0);
        state.workBuffer = buffer_.data();
        dc_ = plat::getDC(wizard.mainWindow);
    }
    void finish() {
        plat::releaseDC(wizard.mainWindow, dc_);
        state.workBuffer = nullptr;
        state.payload = nullptr;
        state.payloadSize = 0;
        wizard = WizardObjects{};
    }
    // Again from scratch on a fresh machine, with or without the interface choice.
    void restart(bool interfaceChoiceOffered) {
        finish();
        boot(sim::Os::win10_64);
        start(interfaceChoiceOffered);
    }
    void usePayload(const std::string& container) {
        payload_ = container;
        state.payload = reinterpret_cast<const uint8_t*>(payload_.data());
        state.payloadSize = static_cast<uint32_t>(payload_.size());
    }
    bool guardIntact() const {
        return std::all_of(buffer_.begin() + workBufferSize, buffer_.end(),
                           [](uint8_t b) { return b == 0xA5; });
    }

    sim::Desktop& desk() { return m().desktop; }
    uint32_t px(int x, int y) { return desk().pixel(x, y); }

    std::vector<sim::DrawOp> ops(sim::DrawOp::Kind kind) {
        std::vector<sim::DrawOp> found;
        for (const sim::DrawOp& op : desk().ops)
            if (op.kind == kind) found.push_back(op);
        return found;
    }
    std::vector<sim::DrawOp> texts() { return ops(sim::DrawOp::Kind::text); }
    // Every drawing of that text, in order.
    std::vector<sim::DrawOp> drawn(const std::u16string& text) {
        std::vector<sim::DrawOp> found;
        for (const sim::DrawOp& op : texts())
            if (op.text == text) found.push_back(op);
        return found;
    }
    // The one drawing of that text; a failure when there is not exactly one.
    sim::DrawOp once(const std::u16string& text) {
        std::vector<sim::DrawOp> found = drawn(text);
        EXPECT_EQ(found.size(), 1u) << sim::toUtf8(text);
        return found.empty() ? sim::DrawOp{} : found[0];
    }
    const sim::ContextRecord* context() {
        return desk().findContext(reinterpret_cast<uintptr_t>(dc_));
    }

    plat::DeviceContext dc_ = nullptr;
    std::vector<uint8_t> buffer_;
    std::string payload_;
};

// Position and colour of a drawn text, for compact expectations.
struct Placed {
    int x, y;
    uint32_t colour;
    bool operator==(const Placed&) const = default;
};
inline Placed placed(const sim::DrawOp& op) { return {op.x, op.y, op.colour}; }
inline std::ostream& operator<<(std::ostream& out, const Placed& p) {
    return out << "(" << p.x << "," << p.y << ") colour " << std::hex << p.colour << std::dec;
}
