#include "install/lz_expand.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/unique_fd.h"
#include "test_support/sandbox.h"

namespace lumigal::install {
namespace {

using test::readFile;
using test::writeFile;
using test::writeSzdd;

class LzExpandTest : public ::testing::Test {
protected:
    // Expands `source` into a new file and returns the status; the result is
    // in `output`.
    ExpandStatus expand(const std::string& source, std::string& output) {
        const std::string dest = sandbox.path("expanded");
        platform::UniqueFd in(::open(source.c_str(), O_RDONLY));
        platform::UniqueFd out(::open(dest.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
        EXPECT_TRUE(in && out);
        const ExpandStatus status = expandInto(in.get(), out.get());
        out.close();
        output = readFile(dest);
        return status;
    }

    test::Sandbox sandbox;
};

struct Content {
    const char* name;
    std::string bytes;
};

TEST_F(LzExpandTest, ExpandsWhatMscompressMadeByteForByte) {
    std::string repeated;
    for (int i = 0; i < 3000; ++i) repeated += "Lumigal fait des albums. ";
    std::string everyByte;
    for (int round = 0; round < 40; ++round) {
        for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(b);
    }
    const std::vector<Content> contents = {
        {"sixteen bytes", "0123456789abcdef"},
        {"short text", "hello hello hello world\n"},
        {"repeated text", repeated},
        {"zeros across the 4096-byte window", std::string(70000, '\0')},
        {"every byte value", everyByte},
        {"random", test::randomBytes(200000, 7)},
        {"starts like an SZDD file", "SZDD\x88\xF0\x27\x33 inside the content"},
    };
    for (const Content& content : contents) {
        SCOPED_TRACE(content.name);
        const std::string source = sandbox.path("source._");
        writeSzdd(source, content.bytes);
        std::string output;
        EXPECT_EQ(expand(source, output), ExpandStatus::Ok);
        EXPECT_TRUE(output == content.bytes)
            << "expanded " << output.size() << " bytes of " << content.bytes.size();
    }
}

// mscompress gets inputs shorter than 16 bytes wrong: these files are made here.
TEST_F(LzExpandTest, ExpandsShortFiles) {
    const std::string header(
        "SZDD\x88\xF0\x27\x33"
        "A\0",
        10);
    const std::vector<Content> contents = {
        {"empty", header + std::string("\0\0\0\0", 4)},
        {"one literal", header + std::string("\x01\0\0\0", 4) + "\x01x"},
        {"three literals", header + std::string("\x03\0\0\0", 4) +
                               "\x07"
                               "abc"},
    };
    const std::vector<std::string> expected = {"", "x", "abc"};
    for (std::size_t i = 0; i < contents.size(); ++i) {
        SCOPED_TRACE(contents[i].name);
        writeFile(sandbox.path("short._"), contents[i].bytes);
        std::string output;
        EXPECT_EQ(expand(sandbox.path("short._"), output), ExpandStatus::Ok);
        EXPECT_EQ(output, expected[i]);
    }
}

TEST_F(LzExpandTest, CopiesOtherFilesUnchanged) {
    const std::vector<Content> contents = {
        {"empty", ""},
        {"shorter than the signature", "SZD"},
        {"signature cut short", std::string("SZDD\x88\xF0\x27", 7)},
        {"last signature byte wrong", std::string("SZDD\x88\xF0\x27\x34"
                                                  "A\0\x05\0\0\0abcde",
                                                  19)},
        {"another compressed format", std::string("KWAJ\x88\xF0\x27\xD1", 8) + "rest"},
        {"text", "Lisez-moi\n"},
        {"random", test::randomBytes(100000, 3)},
    };
    for (const Content& content : contents) {
        SCOPED_TRACE(content.name);
        const std::string source = sandbox.path("plain");
        writeFile(source, content.bytes);
        std::string output;
        EXPECT_EQ(expand(source, output), ExpandStatus::Ok);
        EXPECT_TRUE(output == content.bytes);
    }
}

std::string withDeclaredSize(std::string szdd, std::uint32_t size) {
    for (int i = 0; i < 4; ++i) szdd[10 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    return szdd;
}

TEST_F(LzExpandTest, ReportsSourcesThatDoNotExpandToTheirDeclaredSize) {
    const std::string original = test::randomBytes(50000, 11) + std::string(20000, 'a');
    writeSzdd(sandbox.path("good._"), original);
    const std::string good = readFile(sandbox.path("good._"));
    ASSERT_GT(good.size(), 1000u);
    const std::string emptyFile(
        "SZDD\x88\xF0\x27\x33"
        "A\0\0\0\0\0",
        14);
    const std::uint32_t declared = static_cast<std::uint32_t>(original.size());

    const std::vector<Content> damaged = {
        {"header cut", good.substr(0, 12)},
        {"header only", good.substr(0, 14)},
        {"cut in the middle", good.substr(0, good.size() / 2)},
        {"last byte missing", good.substr(0, good.size() - 1)},
        {"declared size 0", withDeclaredSize(good, 0)},
        {"declared size 0xFFFFFFFF", withDeclaredSize(good, 0xFFFFFFFFu)},
        {"declared one byte more", withDeclaredSize(good, declared + 1)},
        {"declared one byte less", withDeclaredSize(good, declared - 1)},
        {"no data for a declared size", withDeclaredSize(emptyFile, 10)},
        {"data past a declared size of 0", emptyFile + std::string("\x01\0", 2)},
        {"garbage after the header", good.substr(0, 14) + test::randomBytes(3000, 5)},
        {"unknown compression mode", good.substr(0, 8) + "B" + good.substr(9)},
    };
    for (const Content& content : damaged) {
        SCOPED_TRACE(content.name);
        const std::string source = sandbox.path("damaged._");
        writeFile(source, content.bytes);
        std::string output;
        EXPECT_EQ(expand(source, output), ExpandStatus::Damaged);
        // Never more than the declared size is written.
        platform::UniqueFd fd(::open(source.c_str(), O_RDONLY));
        const auto size = declaredSzddSize(fd.get());
        if (size) {
            EXPECT_LE(output.size(), *size);
        }
    }
}

TEST_F(LzExpandTest, ReadsTheDeclaredSize) {
    writeSzdd(sandbox.path("text._"), "twenty-three bytes long");
    platform::UniqueFd fd(::open(sandbox.path("text._").c_str(), O_RDONLY));
    EXPECT_EQ(declaredSzddSize(fd.get()), 23u);
    writeFile(sandbox.path("plain"), "not compressed at all");
    platform::UniqueFd plain(::open(sandbox.path("plain").c_str(), O_RDONLY));
    EXPECT_FALSE(declaredSzddSize(plain.get()).has_value());
}

}  // namespace
}  // namespace lumigal::install
