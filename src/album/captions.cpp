#include "album/captions.h"

#include <optional>

#include "imaging/image_io.h"

namespace lumigal {

PhotoMetadata imageMetadata(const std::string& path) {
    std::string ignored;
    const std::optional<FileBytes> bytes = readImageFile(path, ignored);
    if (!bytes) return {};
    return readPhotoMetadata(bytes->data.data(), bytes->data.size());
}

std::string imageCaption(const std::string& path) { return imageMetadata(path).caption; }

}  // namespace lumigal
