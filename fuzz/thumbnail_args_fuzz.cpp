// The thumbnail argument processor over arbitrary option vectors. The input
// is a small real PNG; the vector comes from the fuzz data (NUL-separated
// arguments), then the input and output names. Everything happens in a
// private temporary folder: arguments that could name anything outside it
// (a "/", a coder or "@" prefix) are left out, so no file is read or written
// elsewhere (the fuzzer is given absolute corpus paths, since the harness
// changes the current folder). The processor must end with one of its three
// results.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/image_library.h"
#include "imaging/thumbnail.h"

namespace {

// An 8 x 6 RGB PNG.
const unsigned char kPng[] = {
#include "thumbnail_input.inc"
};

bool prepared = false;

void prepare() {
    lumigal::startImageLibrary();  // the harness is the program
    // Below the current folder (the fuzzer's work folder in CI).
    char folder[] = "lumigal-fuzz-XXXXXX";
    if (!::mkdtemp(folder) || ::chdir(folder) != 0) std::abort();
    std::FILE* f = std::fopen("in.png", "wb");
    if (!f || std::fwrite(kPng, 1, sizeof kPng, f) != sizeof kPng || std::fclose(f) != 0)
        std::abort();
    prepared = true;
}

bool safe(const std::string& arg) {
    return arg.find_first_of("/:@%\\") == std::string::npos && arg.size() < 64;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!prepared) prepare();
    if (size < 2 || size > 512) return 0;
    std::vector<std::string> args{"Lumigal"};
    std::string current;
    for (std::size_t i = 2; i < size; ++i) {
        if (data[i] == 0) {
            if (safe(current)) args.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    if (safe(current) && !current.empty()) args.push_back(current);
    if (args.size() > 12) return 0;
    args.push_back("in.png");
    args.push_back(data[1] & 1 ? "JPEG:out.jpg" : "out.png");
    const lumigal::ThumbnailSize thumbSize{1u + data[0] % 64, 1u + (data[0] >> 2) % 48};
    std::string error;
    const int result = lumigal::MakeThumbnail(args, thumbSize, &error);
    if (result != lumigal::kThumbnailWritten && result != lumigal::kThumbnailBadOption &&
        result != lumigal::kThumbnailNotMade) {
        std::abort();
    }
    if (result != lumigal::kThumbnailWritten && error.empty()) std::abort();
    return 0;
}
