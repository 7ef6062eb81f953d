// The largest image side Lumigal reads or makes, in pixels: the image
// library refuses wider or taller images, so no thumbnail or web copy may ask
// for more.
#pragma once

#include <cstdint>

namespace lumigal {

inline constexpr std::uint32_t kMaxImageSide = 16384;

}  // namespace lumigal
