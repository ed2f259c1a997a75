// The preload lists read from a registry that holds anything (values of any type and length,
// numbered subkeys, unreadable keys), then the product's layout added and moved up.
#include <cstdint>

#include "common/install_state.h"
#include "fuzz_support.h"
#include "registration/preload_list.h"
#include "registry_input.h"

namespace {

void checkList() {
    FUZZ_CHECK(state.preloadCount <= preloadCapacity);
    for (size_t i = 0; i < preloadCapacity; ++i) {
        FUZZ_CHECK(fuzz::terminated(state.preloadList[i], layoutIdCapacity));
        FUZZ_CHECK(fuzz::terminated(state.preloadLayoutTexts[i], layoutTextCapacity));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sim::Machine& machine = fuzz::freshMachine();
    fuzz::Input input(data, size);
    fuzz::RegistryFacts facts = fuzz::loadRegistry(machine, input);

    // The count, or 0 when the Keyboard Layouts key cannot be read (the entries stay).
    uint32_t count = readPreloadList();
    FUZZ_CHECK(count == 0 || count == state.preloadCount);
    checkList();
    const char* id = facts.nineX ? (facts.traditional ? "E0200404" : "E0200804")
                                 : (facts.traditional ? "e0200404" : "e0200804");
    addToPreloadList(id);
    readPreloadList();
    checkList();
    swapFirstTwoPreloadEntries();
    // As the default-input-method check leaves it on Windows XP: the product's place in the list.
    state.productPreloadPosition = facts.number;
    state.osMajorVersion = 5;
    moveProductToSecondPlace();
    checkList();
    FUZZ_CHECK(machine.registry.openHandles() == 0);
    return 0;
}
