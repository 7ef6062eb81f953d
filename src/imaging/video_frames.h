// The frame of a video that stands for it: decoded from about a tenth of its
// length (a fade from black skipped), upright, as 8-bit RGB pixels no larger
// than asked.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "imaging/video_probe.h"
#include "pixels.h"
#include "video_input.h"

namespace lumigal {

// Frames darker than this on average (0 to 255) are passed over while a
// brighter one may come.
inline constexpr unsigned kDarkFrameLuma = 16;
// How many frames are looked at, at most, before the brightest of them is
// taken; and how many are decoded in all.
inline constexpr int kPosterTries = 6;
inline constexpr int kMaxPosterFrames = 400;

// The mean luma of RGB pixels (Rec. 601 weights), 0 to 255.
unsigned meanLuma(const Pixels& image);

// The poster of the video `info` describes (probeInput's answer for
// `input`): its frames as shown fitted within `maxWidth` x `maxHeight`
// (never enlarged), turned upright, as RGB. The first frame decoded from
// about 10 % of the length on is taken unless it is dark (kDarkFrameLuma);
// else one every half second or twentieth of the length is looked at, up to
// kPosterTries, and the first bright one (or the brightest) is taken.
// nullopt with `error` set (French) when no frame can be decoded in time.
std::optional<Pixels> decodePoster(const VideoInput& input, const VideoInfo& info,
                                   std::size_t maxWidth, std::size_t maxHeight,
                                   std::string& error);

}  // namespace lumigal
