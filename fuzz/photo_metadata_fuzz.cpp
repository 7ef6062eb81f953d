// The metadata reader and the location removal on arbitrary bytes: they
// never read outside the data nor throw, a caption stays within its bound,
// and what the removal returns holds no location any more.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "imaging/location_strip.h"
#include "imaging/photo_metadata.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const lumigal::PhotoMetadata metadata = lumigal::readPhotoMetadata(data, size);
    if (metadata.caption.size() > lumigal::kMaxCaptionBytes) std::abort();
    std::string error;
    const auto stripped = lumigal::stripLocation(data, size, error);
    if (!stripped) {
        if (error.empty()) std::abort();
        return 0;
    }
    if (stripped->removed == 0) return 0;
    const auto again = lumigal::stripLocation(stripped->bytes.data(), stripped->bytes.size(), error);
    if (again && again->removed != 0) std::abort();
    return 0;
}
