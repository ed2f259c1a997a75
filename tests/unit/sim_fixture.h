// A fresh simulated machine and a fresh InstallState for each test.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

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
    // A log as its last run wrote it: the lines after the last separator, each without the time
    // that opens it ("<missing>" when there is no log).
    std::string logOf(const std::string& path) {
        std::optional<std::string> log = m().readFile(path);
        if (!log) return "<missing>";
        std::string out;
        for (size_t at = 0; at < log->size();) {
            size_t end = log->find("\r\n", at);
            end = end == std::string::npos ? log->size() : end + 2;
            std::string line = log->substr(at, end - at);
            line.erase(0, line.find('\t') + 1);
            out = line == "--------\r\n" ? std::string() : out + line;
            at = end;
        }
        return out;
    }

    // Everything a test can see of the machine: files with contents, folders, registry keys and
    // values in every view (the raw tree holds Wow6432Node). The logs in C:\temp left out.
    using Snapshot = std::map<std::string, std::string>;
    Snapshot snapshot() {
        Snapshot out;
        std::filesystem::path root = m().root();
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            std::string path = std::filesystem::relative(entry.path(), root).string();
            if (path.rfind("c/temp", 0) == 0) continue;
            if (entry.is_directory()) {
                out[path + "/"] = "";
            } else {
                std::ifstream in(entry.path(), std::ios::binary);
                std::stringstream bytes;
                bytes << in.rdbuf();
                out[path] = bytes.str();
            }
        }
        for (sim::Hive hive : {sim::Hive::localMachine, sim::Hive::currentUser, sim::Hive::users})
            dumpKey(*m().registry.walk(hive, {}), "hive" + std::to_string(static_cast<int>(hive)), out);
        return out;
    }
    // What differs, each side named: "+" only after, "-" only before, "~" changed.
    static std::vector<std::string> difference(const Snapshot& before, const Snapshot& after) {
        std::vector<std::string> out;
        for (const auto& [name, value] : after) {
            auto it = before.find(name);
            if (it == before.end()) out.push_back("+" + name);
            else if (it->second != value) out.push_back("~" + name);
        }
        for (const auto& [name, value] : before)
            if (after.find(name) == after.end()) out.push_back("-" + name);
        return out;
    }

private:
    static void dumpKey(const sim::RegistryKey& key, const std::string& path, Snapshot& out) {
        out[path + "\\"] = "";
        for (const auto& [name, value] : key.values)
            out[path + "\\:" + sim::upperAscii(name)] = std::to_string(value.type) + ":" + value.data;
        for (const auto& [name, child] : key.subkeys) dumpKey(*child, path + "\\" + name, out);
    }
    std::unique_ptr<sim::Machine> machine_;
};
