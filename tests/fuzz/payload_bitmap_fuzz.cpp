// A payload bitmap with any header: the choice page's picture ("qvtk1.bmp") as the wizard draws
// it, full size and as the stretched band. The inflated file lies in the work block, whose
// bytes past it ASan watches, and the simulated GDI reads the whole bitmap as Windows does.
#include <zlib.h>

#include <cstdint>
#include <string>

#include "common/install_state.h"
#include "fuzz_support.h"
#include "payload/archive.h"
#include "platform/paint.h"
#include "wizard/payload_bitmap.h"

namespace {

// A one-entry payload holding the bytes as "qvtk1.bmp" (stored, the quickest stream).
std::string payloadOf(const uint8_t* data, size_t size) {
    uLongf length = compressBound(static_cast<uLong>(size));
    std::string stream(length, '\0');
    compress2(reinterpret_cast<Bytef*>(stream.data()), &length, data, static_cast<uLong>(size), 0);
    stream.resize(length);
    std::string entry(entryHeaderSize, '\0');
    entry.replace(0, 11, "CFqvtk1.bmp");
    writeLe32(reinterpret_cast<uint8_t*>(entry.data()) + compressedLengthOffset,
              static_cast<uint32_t>(length));
    std::string header(containerHeaderSize, '\0');
    header[0] = 'C';
    header[1] = '0';
    writeLe32(reinterpret_cast<uint8_t*>(header.data()) + 2,
              static_cast<uint32_t>(containerHeaderSize + entry.size() + stream.size()));
    writeLe32(reinterpret_cast<uint8_t*>(header.data()) + 6, 1);
    return header + entry + stream;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sim::Machine& machine = fuzz::freshMachine();
    static fuzz::WorkBlock work;
    std::string payload = payloadOf(data, size);
    state.payload = reinterpret_cast<const uint8_t*>(payload.data());
    state.payloadSize = static_cast<uint32_t>(payload.size());
    state.workBuffer = work.data();
    auto window = reinterpret_cast<plat::WindowHandle>(
        machine.desktop.addWindow("installWClass", 312, 229, 400, 310));
    plat::DeviceContext dc = plat::getDC(window);

    // Inflation writes the file's bytes (and two zeros at the start of an empty one).
    work.watchFrom(inflatedEntryOffset + (size > 2 ? size : 2));
    drawPayloadBitmap(400, 190, dc, "qvtk1.bmp", 0, 0, 400, 190, 0, 0, 400, 190);
    drawPayloadBitmap(400, 190, dc, "qvtk1.bmp", 73, 90, 128, 35, 73, 90, 128, 2);
    work.release();

    plat::releaseDC(window, dc);
    state.payload = nullptr;
    state.workBuffer = nullptr;
    return 0;
}
