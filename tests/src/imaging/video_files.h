// Test videos made by ffmpeg in the test itself (once for all the test
// processes), and the damaged files made from them.
#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
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

// What ffmpeg makes from `args` into a file of extension `extension`
// (".mp4"), made once for every test program and process and kept in the
// test build's tmp folder under a name drawn from the arguments; empty when
// ffmpeg fails.
inline std::string cachedVideo(const std::vector<std::string>& args, const std::string& extension) {
    namespace fs = std::filesystem;
    const char* base = std::getenv("LUMIGAL_TEST_TMP");
    const fs::path folder = fs::path(base ? base : fs::temp_directory_path() / "lumigal-tests") /
                            "made-videos";
    std::error_code ignored;
    fs::create_directories(folder, ignored);
    std::string key;
    for (const std::string& arg : args) key += arg + '\x1f';
    const std::string name = std::to_string(std::hash<std::string>{}(key)) + extension;
    const fs::path made = folder / name;
    if (fs::exists(made)) return made.string();
    // Made under a name of this process, then renamed: a test beside it
    // never sees half a video.
    const fs::path part = folder / ("part-" + std::to_string(::getpid()) + "-" + name);
    std::vector<std::string> all = args;
    all.push_back(part.string());
    if (!runFfmpeg(all)) return {};
    fs::rename(part, made, ignored);
    return ignored ? std::string() : made.string();
}

// A copy of the cached video of `args` at `path` (whose extension says the
// container).
inline bool makeVideo(const std::string& path, const std::vector<std::string>& args) {
    const std::size_t dot = path.rfind('.');
    const std::string made = cachedVideo(args, dot == std::string::npos ? "" : path.substr(dot));
    std::error_code failed;
    return !made.empty() &&
           std::filesystem::copy_file(made, path, std::filesystem::copy_options::overwrite_existing,
                                      failed);
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
    return makeVideo(path, args);
}

// A frame stored red above and blue below (160 x 80), turned for display
// by the "rotate" tag `degrees` (as ffmpeg's muxer writes it).
inline bool makeTurnedVideo(const std::string& path, int degrees) {
    const std::string stored = cachedVideo(
        {"-f", "lavfi", "-i", "color=red:size=160x40:rate=10:duration=1", "-f", "lavfi", "-i",
         "color=blue:size=160x40:rate=10:duration=1", "-filter_complex", "vstack", "-c:v",
         "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"},
        ".mp4");
    return !stored.empty() &&
           makeVideo(path, {"-i", stored, "-c", "copy", "-metadata:s:v:0",
                            "rotate=" + std::to_string(degrees)});
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
