#include "imaging/image_library.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>

#include "common/image_limits.h"
#include "magick_image.h"
#include "metadata_library.h"

namespace lumigal {

namespace {

// Resource limits, the same on every system (see startMagick).
constexpr MagickSizeType kMaxSide = kMaxImageSide;              // pixels
constexpr MagickSizeType kMaxArea = MagickSizeType{256} << 20;  // pixels
// Pixel caches over the memory and map limits go to a temporary disk file,
// so a large or lying image cannot take hundreds of megabytes of memory (a
// 8000 x 8000 image holds 512 MB of pixels, 640 MB with a colour map). The
// disk limit holds the largest image allowed while its cache grows to take
// a colour map: 2.1 GB, then 2.7 GB more before the first is given back.
constexpr MagickSizeType kMaxMemory = MagickSizeType{128} << 20;  // bytes
constexpr MagickSizeType kMaxMap = MagickSizeType{128} << 20;     // bytes
constexpr MagickSizeType kMaxDisk = MagickSizeType{6} << 30;      // bytes
constexpr MagickSizeType kMaxFrames = 256;
// The largest single memory request of the library, and the memory the JPEG
// decoder may take in all (it has no backing store: over that, it fails
// instead of allocating). A progressive JPEG keeps the coefficients of the
// whole image; those are checked first (kMaxJpegCoefficientBytes), with a
// clearer message, this only catches what that check does not foresee.
constexpr MagickSizeType kMaxMemoryRequest = MagickSizeType{192} << 20;  // bytes
// No TimeResource limit: in this ImageMagick it is measured from the first
// pixel-cache use of the whole process and ends the process when exceeded,
// so it would kill a long album run instead of stopping one slow image.

// Only the formats' coders and modules may run (AVIF, a coder of the HEIC
// module, is looked up as a module of its own first; TIFF's module also holds
// coders that stay shut); no delegate program, no
// filter module and no "@file" list is ever used.
constexpr const char* kSecurityPolicy = R"(<policymap>
  <policy domain="delegate" rights="none" pattern="*"/>
  <policy domain="filter" rights="none" pattern="*"/>
  <policy domain="path" rights="none" pattern="@*"/>
  <policy domain="coder" rights="none" pattern="*"/>
  <policy domain="coder" rights="read|write" pattern="{BMP,DIB,GIF,JPEG,PNG,XBM,WEBP,HEIC,AVIF,TIFF}"/>
  <policy domain="module" rights="none" pattern="*"/>
  <policy domain="module" rights="read|write" pattern="{BMP,DIB,GIF,JPEG,PNG,XBM,WEBP,HEIC,AVIF,TIFF}"/>
</policymap>)";

// The limits as a policy file.
std::string limitsPolicy() {
    const auto entry = [](const char* domain, const char* name, MagickSizeType value) {
        return std::string("  <policy domain=\"") + domain + "\" name=\"" + name + "\" value=\"" +
               std::to_string(value) + "\"/>\n";
    };
    return "<policymap>\n" + entry("resource", "width", kMaxSide) +
           entry("resource", "height", kMaxSide) + entry("resource", "area", kMaxArea) +
           entry("resource", "memory", kMaxMemory) + entry("resource", "map", kMaxMap) +
           entry("resource", "disk", kMaxDisk) + entry("resource", "list-length", kMaxFrames) +
           entry("system", "max-memory-request", kMaxMemoryRequest) + "</policymap>\n";
}

// Writes `text` as policy.xml in a fresh folder that only this user can
// enter, below the temporary folder; the folder, or empty on failure.
std::string writePolicyFolder(const std::string& text) {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = (tmp && *tmp == '/') ? tmp : "/tmp";
    folder += "/lumigal-policy-XXXXXX";
    if (!::mkdtemp(folder.data())) return {};
    const std::string file = folder + "/policy.xml";
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool written = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (fd >= 0 && ::close(fd) != 0) written = false;
    if (!written) {
        ::unlink(file.c_str());
        ::rmdir(folder.c_str());
        return {};
    }
    return folder;
}

void removePolicyFolder(const std::string& folder) {
    ::unlink((folder + "/policy.xml").c_str());
    ::rmdir(folder.c_str());
}

void startMagick(int threads) {
    // The system's policy file (the Debian one sets an area of 128
    // megapixels and a disk of 1 GB) caps every limit the program sets, as
    // ImageMagick takes the first policy of a name that its files give, and
    // a policy set through SetMagickSecurityPolicy comes after those files:
    // an 8000 x 8000 grey PNG was refused. A policy file in the first folder
    // of the configure path is read before the system's, so its limits are
    // the ones found. The files are read once, while the library starts (it
    // sets its limits then); the path is given back and the file removed
    // right after. Without a temporary folder the system's caps stay.
    const std::string folder = writePolicyFolder(limitsPolicy());
    std::optional<std::string> previous;
    if (!folder.empty()) {
        if (const char* old = std::getenv("MAGICK_CONFIGURE_PATH")) previous = old;
        const std::string path = previous ? folder + ":" + *previous : folder;
        ::setenv("MAGICK_CONFIGURE_PATH", path.c_str(), 1);
    }
    MagickCoreGenesis("lumigal", MagickFalse);
    if (char* value = GetPolicyValue("resource:area")) DestroyString(value);  // read by now
    GetMaxMemoryRequest();  // read once, and kept
    if (!folder.empty()) {
        if (previous) {
            ::setenv("MAGICK_CONFIGURE_PATH", previous->c_str(), 1);
        } else {
            ::unsetenv("MAGICK_CONFIGURE_PATH");
        }
        removePolicyFolder(folder);
    }
    ExceptionPtr exception(AcquireExceptionInfo());
    // Loading a policy resets the resource limits, so the limits come after.
    SetMagickSecurityPolicy(kSecurityPolicy, exception.get());
    SetMagickResourceLimit(WidthResource, kMaxSide);
    SetMagickResourceLimit(HeightResource, kMaxSide);
    SetMagickResourceLimit(AreaResource, kMaxArea);
    SetMagickResourceLimit(MemoryResource, kMaxMemory);
    SetMagickResourceLimit(MapResource, kMaxMap);
    SetMagickResourceLimit(DiskResource, kMaxDisk);
    SetMagickResourceLimit(ListLengthResource, kMaxFrames);
    SetMagickResourceLimit(ThreadResource, static_cast<MagickSizeType>(threads < 1 ? 1 : threads));
}

std::atomic<bool> started{false};

}  // namespace

void startImageLibrary(int threads) {
    static std::once_flag once;
    std::call_once(once, [threads] {
        startMagick(threads);
        startMetadataLibrary();  // before any worker parses a photo's metadata
        started.store(true, std::memory_order_release);
    });
}

bool imageLibraryStarted() { return started.load(std::memory_order_acquire); }

}  // namespace lumigal
