// libpng reading from bytes in memory, for the imaging library's own PNG
// readers: the bytes and how far they are read, the read callback (a read
// past the end is libpng's error "truncated") and a warning handler that
// says nothing.
#pragma once

#include <png.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace lumigal {

struct PngMemoryInput {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t at = 0;
};

inline void readPngMemory(png_structp png, png_bytep out, png_size_t n) {
    auto* input = static_cast<PngMemoryInput*>(png_get_io_ptr(png));
    if (n > input->size - input->at) png_error(png, "truncated");
    std::memcpy(out, input->data + input->at, n);
    input->at += n;
}

inline void quietPngWarning(png_structp, png_const_charp) {}

}  // namespace lumigal
