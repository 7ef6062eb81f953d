// Owning pointers to libheif's objects, for the HEIF readers.
#pragma once

#include <libheif/heif.h>

#include <memory>

namespace lumigal {

struct HeifContextDeleter {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HeifHandleDeleter {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct HeifImageDeleter {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct HeifOptionsDeleter {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};
using ContextPtr = std::unique_ptr<heif_context, HeifContextDeleter>;
using HandlePtr = std::unique_ptr<heif_image_handle, HeifHandleDeleter>;
using HeifImagePtr = std::unique_ptr<heif_image, HeifImageDeleter>;
using DecodingOptionsPtr = std::unique_ptr<heif_decoding_options, HeifOptionsDeleter>;

}  // namespace lumigal
