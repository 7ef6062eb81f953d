// Test videos made by ffmpeg in the test itself, once for a test program,
// and the damaged files made from them.
#pragma once

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "test_support/test_files.h"
#include "test_support/test_images.h"

extern char** environ;

namespace lumigal::test {

// Runs ffmpeg quietly with `args`; true when it made its output.
inline bool runFfmpeg(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The lavfi test pattern of `size` ("160x120") at 10 frames a second for
// `seconds`, as H.264 in yuv420p, with `extra` options before the output.
inline bool makePatternVideo(const std::string& path, const std::string& size, int seconds,
                             std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"-f", "lavfi", "-i",
                                     "testsrc=size=" + size + ":rate=10:duration=" +
                                         std::to_string(seconds)};
    // Any further input in `extra` comes before the output's options.
    const bool h264 = std::find(extra.begin(), extra.end(), "-c:v") == extra.end();
    args.insert(args.end(), extra.begin(), extra.end());
    if (h264) args.insert(args.end(), {"-c:v", "libx264", "-preset", "ultrafast"});
    args.insert(args.end(), {"-pix_fmt", "yuv420p"});
    args.push_back(path);
    return runFfmpeg(args);
}

// A frame stored red above and blue below (160 x 80), turned for display
// by the "rotate" tag `degrees` (as ffmpeg's muxer writes it).
inline bool makeTurnedVideo(const std::string& path, int degrees) {
    const std::string stored = path + ".stored.mp4";
    return runFfmpeg({"-f", "lavfi", "-i", "color=red:size=160x40:rate=10:duration=1", "-f",
                      "lavfi", "-i", "color=blue:size=160x40:rate=10:duration=1",
                      "-filter_complex", "vstack", "-c:v", "libx264", "-preset", "ultrafast",
                      "-pix_fmt", "yuv420p", stored}) &&
           runFfmpeg({"-i", stored, "-c", "copy", "-metadata:s:v:0",
                      "rotate=" + std::to_string(degrees), path});
}

// Deterministic bytes.
inline std::string noise(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xff);
    return bytes;
}

// `mp4` with the frame size of its first AVC sample entry claimed as
// `width` x `height` (the decoder's own parameters untouched); empty when
// it has no such entry.
inline std::string withClaimedSize(std::string mp4, std::uint16_t width, std::uint16_t height) {
    const std::size_t stsd = mp4.find("stsd");
    const std::size_t entry = stsd == std::string::npos ? stsd : mp4.find("avc1", stsd);
    if (entry == std::string::npos || entry + 32 > mp4.size()) return {};
    // type, 6 reserved, data reference index, 16 bytes of pre-defined and
    // reserved fields, then the width and height, big-endian.
    const std::size_t at = entry + 4 + 6 + 2 + 16;
    mp4[at] = static_cast<char>(width >> 8);
    mp4[at + 1] = static_cast<char>(width);
    mp4[at + 2] = static_cast<char>(height >> 8);
    mp4[at + 3] = static_cast<char>(height);
    return mp4;
}

}  // namespace lumigal::test
