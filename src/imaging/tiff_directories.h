// The reduced-resolution images of a TIFF (a pyramid, or a scanner's
// preview): later directories of the file marked as reduced versions of the
// first, which the image library reads by their place in the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace lumigal {

// The place (1, 2, ...) among the file's directories of the smallest
// reduced-resolution image that is at least `minWidth` x `minHeight` and of
// the first image's shape; nullopt when there is none, or the data are no
// classic TIFF or are damaged. At most 64 directories are looked at, each once.
std::optional<std::size_t> tiffReducedImage(const std::uint8_t* data, std::size_t size,
                                            std::size_t minWidth, std::size_t minHeight);

}  // namespace lumigal
