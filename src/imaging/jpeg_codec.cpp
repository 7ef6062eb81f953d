#include "jpeg_codec.h"

#include <cstdio>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

#include "row_resizer.h"

namespace lumigal {

namespace {

// The JPEG library's errors jump back to the call that started the work;
// its warnings (data damaged but decodable, as a truncated file) are
// counted, never printed.
struct ErrorJump {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    int code = 0;  // the message code of the error
    bool tooManyScans = false;
};

[[noreturn]] void jumpOnError(j_common_ptr cinfo) {
    auto* jump = reinterpret_cast<ErrorJump*>(cinfo->err);
    jump->code = cinfo->err->msg_code;
    std::longjmp(jump->jump, 1);
}

void countWarning(j_common_ptr cinfo, int level) {
    if (level < 0) ++cinfo->err->num_warnings;
}

void quietMessage(j_common_ptr) {}

void installErrors(ErrorJump& jump) {
    jpeg_std_error(&jump.manager);
    jump.manager.error_exit = jumpOnError;
    jump.manager.emit_message = countWarning;
    jump.manager.output_message = quietMessage;
}

// Stops a progressive image with more scans than kMaxJpegScans.
struct ScanWatch {
    jpeg_progress_mgr manager{};
    j_decompress_ptr cinfo = nullptr;
    ErrorJump* jump = nullptr;
};

void watchScans(j_common_ptr common) {
    auto* cinfo = reinterpret_cast<j_decompress_ptr>(common);
    auto* watch = reinterpret_cast<ScanWatch*>(cinfo->progress);
    if (cinfo->input_scan_number > kMaxJpegScans) {
        watch->jump->tooManyScans = true;
        std::longjmp(watch->jump->jump, 1);
    }
}

struct Decode {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t width, height;
    const DecodeLimits* limits;
    std::unique_ptr<RowResizer> resizer;
    std::vector<std::uint8_t> rows;
    std::vector<std::uint8_t>* icc;
    bool cmyk = false;
    bool tooLarge = false;
};

// The decode itself: only plain data and pointers live across the
// library's error jump (the C++ objects are in `d`, made by the caller).
bool runDecode(jpeg_decompress_struct* cinfo, ErrorJump* jump, ScanWatch* watch, Decode* d) {
    if (setjmp(jump->jump)) return false;
    jpeg_create_decompress(cinfo);
    cinfo->mem->max_memory_to_use = static_cast<long>(d->limits->maxMemory);
    watch->manager.progress_monitor = watchScans;
    cinfo->progress = &watch->manager;
    jpeg_mem_src(cinfo, d->data, static_cast<unsigned long>(d->size));
    jpeg_save_markers(cinfo, JPEG_APP0 + 2, 0xffff);
    jpeg_read_header(cinfo, TRUE);
    if (cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK ||
        (cinfo->num_components != 1 && cinfo->num_components != 3)) {
        d->cmyk = true;
        return false;
    }
    if (cinfo->image_width > d->limits->maxSide || cinfo->image_height > d->limits->maxSide ||
        std::uint64_t{cinfo->image_width} * cinfo->image_height > d->limits->maxArea) {
        d->tooLarge = true;
        return false;
    }
    JOCTET* profile = nullptr;
    unsigned int profileLength = 0;
    if (jpeg_read_icc_profile(cinfo, &profile, &profileLength) && profile) {
        d->icc->assign(profile, profile + profileLength);
        std::free(profile);
    }
    cinfo->out_color_space = cinfo->num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    cinfo->scale_num = 1;
    cinfo->scale_denom = static_cast<unsigned>(
        jpegScaleDenominator(cinfo->image_width, cinfo->image_height, d->width, d->height));
    jpeg_start_decompress(cinfo);
    const int channels = cinfo->output_components;
    d->resizer = std::make_unique<RowResizer>(cinfo->output_width, cinfo->output_height, d->width,
                                              d->height, channels);
    const std::size_t stride = std::size_t{cinfo->output_width} * static_cast<std::size_t>(channels);
    const auto batch = static_cast<std::size_t>(cinfo->rec_outbuf_height);
    d->rows.resize(stride * batch);
    JSAMPROW pointers[16];
    for (std::size_t i = 0; i < batch && i < 16; ++i) pointers[i] = d->rows.data() + i * stride;
    while (cinfo->output_scanline < cinfo->output_height) {
        const JDIMENSION got =
            jpeg_read_scanlines(cinfo, pointers, static_cast<JDIMENSION>(batch < 16 ? batch : 16));
        if (got == 0) return false;
        for (JDIMENSION i = 0; i < got; ++i) d->resizer->push(pointers[i]);
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

bool runHeader(jpeg_decompress_struct* cinfo, ErrorJump* jump, const std::uint8_t* data,
               std::size_t size) {
    if (setjmp(jump->jump)) return false;
    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(cinfo, TRUE);
    return true;
}

}  // namespace

bool jpegHandled(const std::uint8_t* data, std::size_t size) {
    jpeg_decompress_struct cinfo{};
    ErrorJump jump;
    installErrors(jump);
    cinfo.err = &jump.manager;
    const bool read = runHeader(&cinfo, &jump, data, size);
    const bool handled = read && cinfo.jpeg_color_space != JCS_CMYK &&
                         cinfo.jpeg_color_space != JCS_YCCK &&
                         (cinfo.num_components == 1 || cinfo.num_components == 3);
    jpeg_destroy_decompress(&cinfo);
    return handled;
}

int jpegScaleDenominator(std::size_t fromWidth, std::size_t fromHeight, std::size_t width,
                         std::size_t height) {
    for (int n : {8, 4, 2}) {
        const auto scaled = [n](std::size_t side) { return (side + n - 1) / static_cast<std::size_t>(n); };
        if (scaled(fromWidth) >= width && scaled(fromHeight) >= height) return n;
    }
    return 1;
}

DecodeResult decodeJpegReduced(const std::uint8_t* data, std::size_t size, std::size_t width,
                               std::size_t height, const DecodeLimits& limits, Pixels& image,
                               std::vector<std::uint8_t>& icc, std::string& error) {
    if (width == 0 || height == 0) return DecodeResult::NotHandled;
    jpeg_decompress_struct cinfo{};
    ErrorJump jump;
    installErrors(jump);
    cinfo.err = &jump.manager;
    ScanWatch watch;
    watch.jump = &jump;
    Decode d{data, size, width, height, &limits, nullptr, {}, &icc};
    bool made = false;
    bool memory = true;
    try {
        made = runDecode(&cinfo, &jump, &watch, &d);
    } catch (const std::bad_alloc&) {
        memory = false;
    }
    jpeg_destroy_decompress(&cinfo);
    if (!memory) {
        error = "mémoire insuffisante pour la réduire";
        return DecodeResult::Failed;
    }
    if (d.cmyk) return DecodeResult::NotHandled;
    if (made && d.resizer && d.resizer->done()) {
        image = d.resizer->take();
        return DecodeResult::Done;
    }
    if (d.tooLarge || jump.code == JERR_OUT_OF_MEMORY || jump.code == JERR_NO_BACKING_STORE ||
        jump.code == JERR_IMAGE_TOO_BIG || jump.code == JERR_WIDTH_OVERFLOW) {
        error = "image trop grande";
    } else if (jump.tooManyScans) {
        error = "image illisible ou endommagée (plus de " + std::to_string(kMaxJpegScans) +
                " passes)";
    } else {
        error = "image illisible ou endommagée";
    }
    return DecodeResult::Failed;
}

namespace {

struct Encode {
    const Pixels* image;
    const std::vector<std::uint8_t>* icc;
    int quality;
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
};

bool runEncode(jpeg_compress_struct* cinfo, ErrorJump* jump, Encode* e) {
    if (setjmp(jump->jump)) return false;
    jpeg_create_compress(cinfo);
    jpeg_mem_dest(cinfo, &e->buffer, &e->length);
    cinfo->image_width = static_cast<JDIMENSION>(e->image->width);
    cinfo->image_height = static_cast<JDIMENSION>(e->image->height);
    cinfo->input_components = e->image->channels;
    cinfo->in_color_space = e->image->channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, e->quality, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    if (!e->icc->empty()) {
        jpeg_write_icc_profile(cinfo, e->icc->data(), static_cast<unsigned>(e->icc->size()));
    }
    const std::size_t stride = e->image->width * static_cast<std::size_t>(e->image->channels);
    while (cinfo->next_scanline < cinfo->image_height) {
        // The library only reads the row.
        JSAMPROW row = const_cast<JSAMPLE*>(e->image->samples.data() + cinfo->next_scanline * stride);
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

}  // namespace

bool encodeJpeg(const Pixels& image, const std::vector<std::uint8_t>& icc, int quality,
                std::string& bytes, std::string& error) {
    if ((image.channels != 1 && image.channels != 3) || image.width == 0 || image.height == 0) {
        error = "impossible de coder sa copie en JPEG";
        return false;
    }
    jpeg_compress_struct cinfo{};
    ErrorJump jump;
    installErrors(jump);
    cinfo.err = &jump.manager;
    Encode e{&image, &icc, quality};
    const bool made = runEncode(&cinfo, &jump, &e);
    jpeg_destroy_compress(&cinfo);
    if (made) bytes.assign(reinterpret_cast<const char*>(e.buffer), e.length);
    std::free(e.buffer);
    if (!made) error = "impossible de coder sa copie en JPEG";
    return made;
}

}  // namespace lumigal
