#include "common/file_ops.h"

#include <vector>

#include "sim_fixture.h"

namespace {

constexpr const char* dir = "C:\\windows\\system32\\";

struct Case {
    const char* name;
    std::vector<const char*> busy;      // of the directory, before the removal
    bool readOnly = false;
    Removal result;
    const char* scheduled = nullptr;    // the name that goes at the restart
};

class FileOps : public SimTest {};

}  // namespace

TEST_F(FileOps, AProductFileGoesNowOrUnderAnotherNameAtTheRestart) {
    const Case cases[] = {
        {"vornel4.ime", {}, false, Removal::removed},
        {"vornel4.ime", {}, true, Removal::removed},
        {"vornel4.ime", {"vornel4.ime"}, false, Removal::atRestart, "vornel2.ime"},
        {"vornel4.ime", {"vornel4.ime", "vornel2.ime"}, false, Removal::atRestart, "vornel1.ime"},
        {"vornel4.ime", {"vornel4.ime", "vornel2.ime", "vornel1.ime"}, false, Removal::atRestart,
         "vornel~.ime"},
        // No other name free: a delete under its own name would take a reinstalled file.
        {"vornel4.ime", {"vornel4.ime", "vornel2.ime", "vornel1.ime", "vornel~.ime", "vornel_.ime"}, false,
         Removal::failed},
        // The learnt file "cwbzlcz1.vrh" is never cleared to make room.
        {"cwbzlcz9.vrh", {"cwbzlcz9.vrh", "cwbzlcz2.vrh"}, false, Removal::atRestart, "cwbzlcz~.vrh"},
        // Nor another file of the payload: "vral02.jpg" stays through the restart.
        {"vral01.jpg", {"vral01.jpg"}, false, Removal::atRestart, "vral0~.jpg"},
    };
    for (const Case& c : cases) {
        boot(sim::Os::win10_64);
        std::string path = std::string(dir) + c.name;
        for (const char* other : {"vornel2.ime", "vornel1.ime", "vornel~.ime", "vornel_.ime", "cwbzlcz1.vrh",
                                  "cwbzlcz2.vrh", "vral02.jpg"})
            m().writeFile(std::string(dir) + other, other);
        m().writeFile(path, "module");
        for (const char* b : c.busy) m().markBusy(std::string(dir) + b);
        if (c.readOnly) m().attributes[m().normalize(path)] = 0x01;
        Removal result = removeProductFile(path.c_str());
        EXPECT_EQ(result, c.result) << c.name << " " << c.busy.size();
        std::vector<std::string> expected;
        if (c.scheduled != nullptr) expected.push_back(m().normalize(std::string(dir) + c.scheduled));
        EXPECT_EQ(m().pendingDeletes, expected) << c.name << " " << c.busy.size();
        EXPECT_EQ(m().exists(path), c.result == Removal::failed) << "the name is free at once";
        m().restart();
        EXPECT_EQ(file(std::string(dir) + "cwbzlcz1.vrh"), "cwbzlcz1.vrh");
        EXPECT_EQ(file(std::string(dir) + "vral02.jpg"), "vral02.jpg");
    }
    EXPECT_EQ(removeProductFile("C:\\windows\\system32\\nothing.ime"), Removal::absent);
}

TEST_F(FileOps, ARestartThatCannotBeRecordedIsAFailure) {
    std::string path = std::string(dir) + "vornel4.ime";
    auto busyModule = [&] {
        boot(sim::Os::win10_64);
        m().writeFile(path, "module");
        m().markBusy(path);
    };
    busyModule();
    m().faults.failAt = 0;
    removeProductFile(path.c_str());  // counts the points: the last is the restart record
    uint64_t points = m().faults.passed;
    busyModule();
    m().faults.failAt = points;
    EXPECT_EQ(removeProductFile(path.c_str()), Removal::failed);
    EXPECT_EQ(m().faults.failedPoint, "restart schedule");
    EXPECT_TRUE(m().pendingDeletes.empty());
}
