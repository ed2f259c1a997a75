// The keyboard-layout registration over a Keyboard Layouts key that holds anything: names of any
// length and spelling, layout texts of any type and length, unreadable and read-only keys.
#include <cstdint>

#include "common/install_state.h"
#include "fuzz_support.h"
#include "registration/keyboard_layout.h"
#include "registration/preload_list.h"
#include "registry_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sim::Machine& machine = fuzz::freshMachine();
    fuzz::Input input(data, size);
    fuzz::loadRegistry(machine, input);
    state.oemCodePage = machine.oemCodePage;

    registerKeyboardLayout();
    FUZZ_CHECK(machine.registry.openHandles() == 0);
    FUZZ_CHECK(readPreloadList() <= preloadCapacity);
    for (size_t i = 0; i < preloadCapacity; ++i)
        FUZZ_CHECK(fuzz::terminated(state.preloadList[i], layoutIdCapacity));
    return 0;
}
