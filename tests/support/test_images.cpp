#include "test_support/test_images.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "imaging/image_io.h"
#include "imaging/image_library.h"
#include "magick_image.h"

namespace lumigal::test {

std::string makeTempFolder(const std::string& name) {
    const char* base = std::getenv("LUMIGAL_TEST_TMP");
    std::filesystem::path root = base ? base : std::filesystem::temp_directory_path() / "lumigal-tests";
    std::filesystem::path dir = root / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

namespace {

bool writeImage(const std::string& path, unsigned width, unsigned height,
                const std::vector<unsigned char>& pixels, bool interlace, unsigned colours) {
    startImageLibrary();
    ExceptionPtr exception(AcquireExceptionInfo());
    ImagePtr image(ConstituteImage(width, height, "RGB", CharPixel, pixels.data(), exception.get()));
    if (!image) return false;
    // The format comes from a "FMT:" prefix or the extension; the bytes are
    // written here, so ImageMagick never interprets the file name.
    std::string file = path;
    std::string format;
    if (const std::size_t colon = path.find(':'); colon != std::string::npos && path[0] != '/') {
        format = path.substr(0, colon);
        file = path.substr(colon + 1);
    } else if (const std::size_t dot = path.rfind('.'); dot != std::string::npos) {
        format = path.substr(dot + 1);
    }
    for (char& c : format) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (format == "JPG" || format == "JPE") format = "JPEG";
    if (format == "TIF") format = "TIFF";
    ImageInfoPtr info(AcquireImageInfo());
    CopyMagickString(info->magick, format.c_str(), MaxTextExtent);
    CopyMagickString(image->magick, format.c_str(), MaxTextExtent);
    if (interlace) {
        info->interlace = PlaneInterlace;
        image->interlace = PlaneInterlace;
    }
    if (colours) {
        QuantizeInfo quantize;
        GetQuantizeInfo(&quantize);
        quantize.number_colors = colours;
        QuantizeImage(&quantize, image.get());
    }
    std::size_t length = 0;
    void* blob = ImageToBlob(info.get(), image.get(), &length, exception.get());
    if (!blob) return false;
    const bool ok = writeBytes(file, std::string(static_cast<const char*>(blob), length));
    RelinquishMagickMemory(blob);
    return ok;
}

}  // namespace

bool writeTestImage(const std::string& path, unsigned width, unsigned height, bool interlace,
                    unsigned colours) {
    // A diagonal gradient with a few bands, so scaling and contrast have work to do.
    std::vector<unsigned char> pixels(std::size_t{width} * height * 3);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            unsigned char* p = &pixels[(std::size_t{y} * width + x) * 3];
            p[0] = static_cast<unsigned char>(40 + (x * 150) / (width ? width : 1));
            p[1] = static_cast<unsigned char>(60 + (y * 120) / (height ? height : 1));
            p[2] = static_cast<unsigned char>(((x / 8 + y / 8) % 2) ? 170 : 90);
            if (colours) {
                for (int c = 0; c < 3; ++c) p[c] = static_cast<unsigned char>(p[c] & 0xC0);
            }
        }
    }
    return writeImage(path, width, height, pixels, interlace, colours);
}

bool writeTestImage(const std::string& path, unsigned width, unsigned height,
                    const std::vector<unsigned char>& rgb, bool interlace) {
    return rgb.size() == std::size_t{width} * height * 3 &&
           writeImage(path, width, height, rgb, interlace, 0);
}

std::string withExifOrientation(const std::string& jpeg, int orientation, bool bigEndian) {
    std::string tiff;
    const auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            const int shift = 8 * (bigEndian ? bytes - 1 - i : i);
            tiff.push_back(static_cast<char>((value >> shift) & 0xFF));
        }
    };
    tiff += bigEndian ? "MM" : "II";
    put(42, 2);
    put(8, 4);       // the first IFD follows
    put(1, 2);       // one entry:
    put(0x0112, 2);  // Orientation,
    put(3, 2);       // SHORT,
    put(1, 4);       // one value,
    put(static_cast<std::uint32_t>(orientation), 2);
    put(0, 2);       // (padding of the value field)
    put(0, 4);       // no next IFD
    const std::string payload = std::string("Exif\0\0", 6) + tiff;
    const std::size_t length = payload.size() + 2;
    std::string segment = "\xff\xe1";
    segment.push_back(static_cast<char>(length >> 8));
    segment.push_back(static_cast<char>(length & 0xFF));
    return jpeg.substr(0, 2) + segment + payload + jpeg.substr(2);
}

bool writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

}  // namespace lumigal::test
