#include "imaging/video_format.h"

#include <gtest/gtest.h>

#include <string>

#include "imaging/image_io.h"
#include "video_metadata.h"

namespace lumigal {
namespace {

std::string be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

// An "ftyp" box: the major brand, a minor version, the compatible brands.
std::string ftyp(const std::string& major, const std::string& compatible) {
    const std::string body = major + std::string(4, '\0') + compatible;
    return be32(static_cast<std::uint32_t>(8 + body.size())) + "ftyp" + body;
}

std::string box(const char* type, const std::string& body) {
    return be32(static_cast<std::uint32_t>(8 + body.size())) + type + body;
}

// An EBML header holding these elements (each id, a one-byte size, the value).
std::string ebml(const std::string& elements) {
    return std::string("\x1a\x45\xdf\xa3", 4) + static_cast<char>(0x80 | elements.size()) + elements;
}
std::string element(const char* id, const std::string& value) {
    return std::string(id) + static_cast<char>(0x80 | value.size()) + value;
}
const std::string kVersion = element("\x42\x86", "\x01");

TEST(SniffVideoFormat, TellsEachContainerByItsFirstBytes) {
    const struct {
        const char* name;
        std::string data;
        std::optional<VideoFormat> expected;
    } cases[] = {
        {"ffmpeg's mp4", ftyp("isom", "isomiso2avc1mp41"), VideoFormat::MP4},
        {"mp42", ftyp("mp42", "mp42isom"), VideoFormat::MP4},
        {"iso6 alone", ftyp("iso6", ""), VideoFormat::MP4},
        {"quicktime", ftyp("qt  ", "qt  "), VideoFormat::MOV},
        {"itunes video", ftyp("M4V ", "M4V M4A mp42isom"), VideoFormat::M4V},
        {"3gpp", ftyp("3gp5", "3gp5isom"), VideoFormat::ThreeGP},
        {"3gpp2", ftyp("3g2a", ""), VideoFormat::ThreeGP},
        {"unknown major, known compatible", ftyp("abcd", "xxxxqt  "), VideoFormat::MOV},
        {"audio among compatible", ftyp("abcd", "M4A mp42"), VideoFormat::MP4},
        {"bare movie box", box("moov", std::string(16, '\0')), VideoFormat::MOV},
        {"wide then mdat", box("wide", "") + box("mdat", "xxxx"), VideoFormat::MOV},
        {"free then moov", box("free", "pad") + box("moov", ""), VideoFormat::MOV},
        {"webm", ebml(kVersion + element("\x42\x82", "webm")), VideoFormat::WebM},
        {"matroska", ebml(kVersion + element("\x42\x82", "matroska")), VideoFormat::MKV},
        {"padded doctype", ebml(element("\x42\x82", std::string("matroska\0\0", 10))),
         VideoFormat::MKV},
        {"avi", "RIFF" + std::string("\x10\0\0\0", 4) + "AVI LIST", VideoFormat::AVI},
        // Not videos.
        {"heic", ftyp("heic", "mif1heic"), std::nullopt},
        {"avif", ftyp("avif", "mif1avifmiaf"), std::nullopt},
        {"mif1 with avif", ftyp("mif1", "avif"), std::nullopt},
        {"isom with a still brand", ftyp("isom", "mif1"), std::nullopt},
        {"avif sequence", ftyp("avis", "msf1avis"), std::nullopt},
        {"audio", ftyp("M4A ", "M4A mp42isom"), std::nullopt},
        {"audio major brand", ftyp("M4B ", "isom"), std::nullopt},
        {"camera raw", ftyp("crx ", "crx isom"), std::nullopt},
        {"unknown brands", ftyp("abcd", "efgh"), std::nullopt},
        {"free then garbage", box("free", "") + "garbage!", std::nullopt},
        {"free box of 4 GB", be32(0xfffffffc) + "free" + std::string(8, 'x'), std::nullopt},
        {"zero-sized first box", std::string(4, '\0') + "moov" + std::string(8, '\0'), std::nullopt},
        {"other doctype", ebml(kVersion + element("\x42\x82", "mkvx")), std::nullopt},
        {"no doctype", ebml(kVersion), std::nullopt},
        {"doctype past the header", std::string("\x1a\x45\xdf\xa3\x84\x42\x82\x88webm", 12),
         std::nullopt},
        {"ebml magic alone", std::string("\x1a\x45\xdf\xa3", 4), std::nullopt},
        {"wave", "RIFF" + std::string(4, '\0') + "WAVEfmt ", std::nullopt},
        {"webp", "RIFF" + std::string(4, '\0') + "WEBPVP8 ", std::nullopt},
        {"jpeg", std::string("\xff\xd8\xff\xe0\0\x10JFIF\0", 11), std::nullopt},
        {"text", "a video, honestly", std::nullopt},
        {"short", "ftyp", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto* data = reinterpret_cast<const std::uint8_t*>(c.data.data());
        EXPECT_EQ(sniffVideoFormat(data, c.data.size()), c.expected);
        // Every byte short of the data's end is looked at, never past it.
        if (c.data.size() > 1) {
            const std::string cut = c.data.substr(0, c.data.size() / 2);
            const std::optional<VideoFormat> half =
                sniffVideoFormat(reinterpret_cast<const std::uint8_t*>(cut.data()), cut.size());
            if (!c.expected) {
                EXPECT_EQ(half, std::nullopt) << "half of a non-video taken as one";
            }
        }
    }
    EXPECT_EQ(sniffVideoFormat(nullptr, 100), std::nullopt);
    // The images of the same boxes are still images.
    const std::string heic = ftyp("heic", "mif1heic");
    EXPECT_EQ(sniffImageFormat(reinterpret_cast<const std::uint8_t*>(heic.data()), heic.size()),
              ImageFormat::HEIC);
}

TEST(VideoMetadata, ReadsCaptureTimesAndTheirOffsets) {
    const struct {
        const char* text;
        const char* time;  // nullptr: refused
        const char* offset;
    } cases[] = {
        {"2024-05-01T10:20:30.000000Z", "2024-05-01T10:20:30", "+00:00"},
        {"2024-05-01T12:20:30+0200", "2024-05-01T12:20:30", "+02:00"},
        {"2024-05-01 12:20:30-05:30", "2024-05-01T12:20:30", "-05:30"},
        {"2024-05-01T12:20:30+09", "2024-05-01T12:20:30", "+09:00"},
        {"2024-02-29T00:00:00", "2024-02-29T00:00:00", ""},
        {"2023-02-29T00:00:00", nullptr, nullptr},
        {"1970-01-01T00:00:00.000000Z", nullptr, nullptr},
        {"1904-01-01T00:00:00Z", nullptr, nullptr},
        {"2024-13-01T00:00:00", nullptr, nullptr},
        {"2024-05-01T24:00:00", nullptr, nullptr},
        {"2024-05-01T10:20:30.Z", nullptr, nullptr},
        {"2024-05-01T10:20:30+2", nullptr, nullptr},
        {"2024-05-01T10:20:30+15:00", nullptr, nullptr},
        {"2024-05-01T10:20:30 trailing", nullptr, nullptr},
        {"2024-05-01", nullptr, nullptr},
        {"2024-O5-01T10:20:30", nullptr, nullptr},
        {"", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string time = "unchanged", offset = "unchanged";
        EXPECT_EQ(readCaptureTime(c.text, time, offset), c.time != nullptr);
        EXPECT_EQ(time, c.time ? c.time : "unchanged");
        EXPECT_EQ(offset, c.offset ? c.offset : "unchanged");
    }
}

TEST(VideoMetadata, KnowsTheKeysThatHoldAPlace) {
    for (const char* key : {"location", "location-eng", "com.apple.quicktime.location.ISO6709",
                            "LOCATION", "\xc2\xa9xyz"}) {
        EXPECT_TRUE(namesLocation(key)) << key;
    }
    for (const char* key : {"creation_time", "title", "xyz", "locale", "encoder"}) {
        EXPECT_FALSE(namesLocation(key)) << key;
    }
}

}  // namespace
}  // namespace lumigal
