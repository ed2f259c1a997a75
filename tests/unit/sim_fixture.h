// A fresh simulated machine and a fresh InstallState for each test.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/install_state.h"
#include "platform/sim/machine.h"

class SimTest : public ::testing::Test {
protected:
    void SetUp() override { boot(sim::Os::win10_64); }
    void TearDown() override { machine_.reset(); }

    sim::Machine& boot(sim::Os os) {
        machine_.reset();
        resetInstallState();
        machine_ = std::make_unique<sim::Machine>(os);
        return *machine_;
    }
    sim::Machine& m() { return *machine_; }
    std::string file(const std::string& path) { return m().readFile(path).value_or("<missing>"); }

private:
    std::unique_ptr<sim::Machine> machine_;
};
