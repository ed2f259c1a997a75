#include "jpeg.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace content {

namespace {

// libjpeg's default handler ends the process too, but only after its own message; the
// generator's pictures are made from its own canvases, so any error is a fault of this code.
[[noreturn]] void failed(j_common_ptr codec) {
    char message[JMSG_LENGTH_MAX];
    (*codec->err->format_message)(codec, message);
    std::fprintf(stderr, "make_payload: JPEG: %s\n", message);
    std::abort();
}

}  // namespace

Bytes encodeJpeg(const Canvas& canvas, int quality) {
    jpeg_compress_struct codec{};
    jpeg_error_mgr errors{};
    codec.err = jpeg_std_error(&errors);
    errors.error_exit = failed;
    jpeg_create_compress(&codec);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&codec, &buffer, &size);

    codec.image_width = static_cast<JDIMENSION>(canvas.width());
    codec.image_height = static_cast<JDIMENSION>(canvas.height());
    codec.input_components = 3;
    codec.in_color_space = JCS_RGB;
    jpeg_set_defaults(&codec);
    // Baseline, the standard Huffman tables, the same integer transform everywhere: the
    // pictures come out byte for byte the same from every build.
    jpeg_set_quality(&codec, quality, TRUE);
    codec.optimize_coding = FALSE;
    codec.dct_method = JDCT_ISLOW;
    // Y Cb Cr without subsampling.
    for (int i = 0; i < codec.num_components; ++i)
        codec.comp_info[i].h_samp_factor = codec.comp_info[i].v_samp_factor = 1;

    jpeg_start_compress(&codec, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(canvas.width()) * 3);
    while (codec.next_scanline < codec.image_height) {
        const int y = static_cast<int>(codec.next_scanline);
        for (int x = 0; x < canvas.width(); ++x) {
            const Rgb colour = canvas.at(x, y);
            row[static_cast<size_t>(x) * 3] = static_cast<unsigned char>(channel(colour.r));
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<unsigned char>(channel(colour.g));
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<unsigned char>(channel(colour.b));
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&codec, rows, 1);
    }
    jpeg_finish_compress(&codec);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&codec);
    std::free(buffer);
    return out;
}

}  // namespace content
