// A simulated machine with keyboard layouts and preload lists as Windows keeps them.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/machine.h"
#include "sim_fixture.h"

class LayoutTest : public SimTest {
protected:
    static constexpr const char* layoutsKey =
        "System\\CurrentControlSet\\Control\\Keyboard Layouts";
    static constexpr const char* userList = "keyboard layout\\preload";
    static constexpr const char* defaultList = ".DEFAULT\\keyboard layout\\preload";

    sim::Registry& reg() { return m().registry; }
    std::string layoutKey(const std::string& id) { return std::string(layoutsKey) + "\\" + id; }

    void addLayout(const std::string& id, const std::string& text) {
        reg().setText(sim::Hive::localMachine, layoutKey(id), "layout text", text);
    }
    std::string layoutValue(const std::string& id, const std::string& name) {
        return reg().text(sim::Hive::localMachine, layoutKey(id), name);
    }
    std::vector<std::string> layoutIds() {
        return reg().subkeyNames(sim::Hive::localMachine, layoutsKey);
    }

    // NT form: values 1, 2, ... of a profile's preload key, replacing what it held.
    void setPreload(const std::vector<std::string>& ids, sim::Hive hive = sim::Hive::currentUser,
                    const std::string& key = userList) {
        reg().remove(hive, key);
        reg().make(hive, key);
        for (size_t i = 0; i < ids.size(); ++i)
            reg().setText(hive, key, std::to_string(i + 1), ids[i]);
    }
    std::vector<std::string> preload(sim::Hive hive = sim::Hive::currentUser,
                                     const std::string& key = userList) {
        std::vector<std::string> ids;
        for (int n = 1;; ++n) {
            auto value = reg().value(hive, key, std::to_string(n));
            if (!value) return ids;
            ids.push_back(value->data);
        }
    }

    // 9x form: subkeys 1, 2, ... whose default values are the ids.
    void setNineXPreload(const std::vector<std::string>& ids) {
        reg().make(sim::Hive::currentUser, userList);
        for (size_t i = 0; i < ids.size(); ++i) {
            std::string item = std::string(userList) + "\\" + std::to_string(i + 1);
            reg().setText(sim::Hive::currentUser, item, "", ids[i]);
        }
    }
    std::vector<std::string> nineXPreload() {
        std::vector<std::string> ids;
        for (int n = 1;; ++n) {
            auto value = reg().value(sim::Hive::currentUser,
                                     std::string(userList) + "\\" + std::to_string(n), "");
            if (!value) return ids;
            ids.push_back(value->data);
        }
    }

    // The layouts every Chinese Windows has, and a user who types English first.
    void standardLayouts() {
        addLayout("00000409", "US");
        addLayout("00000804", "Chinese (Simplified) - US Keyboard");
        setPreload({"00000409", "00000804"});
    }

    std::u16string lastMessage() {
        return m().messageBoxes.empty() ? u"<none>" : m().messageBoxes.back().text;
    }
};
