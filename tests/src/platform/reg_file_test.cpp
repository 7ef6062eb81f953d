#include "platform/reg_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lumigal::platform {
namespace {

std::vector<std::uint8_t> bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> allBytes() {
    std::vector<std::uint8_t> data;
    for (int b = 0; b < 256; ++b) data.push_back(static_cast<std::uint8_t>(b));
    return data;
}

struct RoundTripCase {
    const char* label;
    std::string name;
    RegValue value;
};

class RegFileRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(RegFileRoundTrip, EveryByteAndTypeComesBack) {
    const RoundTripCase& c = GetParam();
    RegFileKey key{"HKEY_CURRENT_USER\\Software\\Lumigal",
                   {{"before", RegValue{REG_DWORD, {1, 2, 3, 4}}},
                    {c.name, c.value},
                    {"after", RegValue{REG_SZ, bytes("fin")}}}};
    const std::string text = formatRegFile(key);
    const RegFileParse parsed = parseRegFile(text);
    ASSERT_TRUE(parsed.ok) << "line " << parsed.errorLine << ": " << parsed.error << "\n" << text;
    EXPECT_EQ(parsed.key.path, key.path);
    EXPECT_EQ(parsed.key.values, key.values) << text;

    // The same file with Windows line ends reads the same.
    std::string crlf;
    for (char ch : text) {
        if (ch == '\n') crlf += '\r';
        crlf += ch;
    }
    const RegFileParse parsedCrlf = parseRegFile(crlf);
    ASSERT_TRUE(parsedCrlf.ok) << parsedCrlf.error;
    EXPECT_EQ(parsedCrlf.key.values, key.values);
}

std::vector<std::uint8_t> longBinary() {
    std::vector<std::uint8_t> data;
    for (int k = 0; k < 3000; ++k) data.push_back(static_cast<std::uint8_t>(k * 7));
    return data;
}

INSTANTIATE_TEST_SUITE_P(
    OddData, RegFileRoundTrip,
    testing::Values(
        RoundTripCase{"EmptyString", "s", {REG_SZ, {}}},
        RoundTripCase{"PlainPath", "pathSave", {REG_SZ, bytes("/home/ana/Albums 2000")}},
        RoundTripCase{"QuotesAndBackslashes", "s", {REG_SZ, bytes(R"(a"b\c\\"d\)")}},
        RoundTripCase{"OnlyABackslash", "s", {REG_SZ, bytes("\\")}},
        RoundTripCase{"Newline", "s", {REG_SZ, bytes("line one\nline two")}},
        RoundTripCase{"CarriageReturn", "s", {REG_SZ, bytes("a\rb")}},
        RoundTripCase{"Tab", "s", {REG_SZ, bytes("a\tb")}},
        RoundTripCase{"NulInside", "s", {REG_SZ, bytes(std::string_view("ab\0cd", 5))}},
        RoundTripCase{"TrailingNul", "s", {REG_SZ, bytes(std::string_view("abc\0", 4))}},
        RoundTripCase{"Utf8Text", "s", {REG_SZ, bytes("Été € 😀 œuvre")}},
        RoundTripCase{"Latin1NotUtf8", "s", {REG_SZ, bytes("caf\xE9")}},
        RoundTripCase{"OverlongUtf8", "s", {REG_SZ, bytes("\xC0\xAF")}},
        RoundTripCase{"Surrogate", "s", {REG_SZ, bytes("\xED\xA0\x80")}},
        RoundTripCase{"TruncatedUtf8", "s", {REG_SZ, bytes("ab\xE2\x82")}},
        RoundTripCase{"Delete", "s", {REG_SZ, bytes("a\x7F")}},
        RoundTripCase{"C1Control", "s", {REG_SZ, bytes("a\xC2\x85")}},
        RoundTripCase{"EveryByteAsString", "s", {REG_SZ, allBytes()}},
        RoundTripCase{"EveryByteAsBinary", "b", {REG_BINARY, allBytes()}},
        RoundTripCase{"LongBinaryWraps", "b", {REG_BINARY, longBinary()}},
        RoundTripCase{"EmptyBinary", "b", {REG_BINARY, {}}},
        RoundTripCase{"DwordZero", "d", {REG_DWORD, {0, 0, 0, 0}}},
        RoundTripCase{"DwordMax", "d", {REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}}},
        RoundTripCase{"DwordByteOrder", "d", {REG_DWORD, {0x78, 0x56, 0x34, 0x12}}},
        RoundTripCase{"DwordTooShort", "d", {REG_DWORD, {1, 2, 3}}},
        RoundTripCase{"DwordTooLong", "d", {REG_DWORD, {1, 2, 3, 4, 5}}},
        RoundTripCase{"DwordEmpty", "d", {REG_DWORD, {}}},
        RoundTripCase{"Qword", "q", {REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}}},
        RoundTripCase{"ExpandString", "e", {REG_EXPAND_SZ, bytes(std::string_view("%HOME%\0", 7))}},
        RoundTripCase{"MultiString", "m", {REG_MULTI_SZ, bytes(std::string_view("a\0b\0\0", 5))}},
        RoundTripCase{"NoneType", "n", {REG_NONE, {0xAB}}},
        RoundTripCase{"HugeTypeNumber", "t", {0xFFFFFFFFu, {9, 8}}},
        RoundTripCase{"OddTypeNumber", "t", {0x12345u, allBytes()}},
        RoundTripCase{"DefaultValueName", "", {REG_SZ, bytes("défaut")}},
        RoundTripCase{"NameWithQuotesAndBackslashes", R"(a"b\c=d]@)", {REG_DWORD, {1, 0, 0, 0}}},
        RoundTripCase{"NameIsAnAt", "@", {REG_SZ, bytes("x")}},
        RoundTripCase{"Utf8Name", "clé ✓", {REG_BINARY, {0}}},
        RoundTripCase{"VeryLongName", std::string(5000, 'n'), {REG_BINARY, longBinary()}}),
    [](const testing::TestParamInfo<RoundTripCase>& info) { return info.param.label; });

TEST(RegFileFormat, ReadsLikeARegeditFile) {
    const RegFileKey key{"HKEY_CURRENT_USER\\Software\\Lumigal",
                         {{"bip", RegValue{REG_DWORD, {0x2A, 0, 0, 0}}},
                          {"pathSave", RegValue{REG_SZ, bytes(R"(/home/a "b"\c)")}},
                          {"data", RegValue{REG_BINARY, {1, 2, 0xFF}}},
                          {"odd", RegValue{REG_SZ, bytes("A\nB")}}}};
    EXPECT_EQ(formatRegFile(key),
              "REGEDIT4\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Lumigal]\n"
              "\"bip\"=dword:0000002a\n"
              "\"pathSave\"=\"/home/a \\\"b\\\"\\\\c\"\n"
              "\"data\"=hex:01,02,ff\n"
              "\"odd\"=hex(1):41,0a,42\n"
              "\n");
}

TEST(RegFileFormat, LongListsAreWrappedAfterACommaAndStayShort) {
    const RegFileKey key{"HKEY_CURRENT_USER\\K", {{"b", RegValue{REG_BINARY, longBinary()}}}};
    const std::string text = formatRegFile(key);
    std::size_t start = 0;
    int continued = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end - start);
        EXPECT_LE(line.size(), 80u) << line;
        if (!line.empty() && line.back() == '\\') {
            ++continued;
            EXPECT_EQ(line[line.size() - 2], ',') << line;
        }
        start = end + 1;
    }
    EXPECT_GT(continued, 10);
}

TEST(RegFileParse, AcceptsWhatPeopleWriteByHand) {
    const RegFileParse parsed = parseRegFile(
        "\xEF\xBB\xBFREGEDIT4\r\n"
        "; réglages de Lumigal\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Lumigal]  \r\n"
        "\"Width\"=dword:4B\r\n"
        "\"height\"=dword:0000004b   \r\n"
        "@=\"défaut\"\r\n"
        "\"list\"=hex:\\\r\n"
        "  01 , 02,\\\r\n"
        "\t03\r\n"
        "\"empty\"=hex(0):\r\n"
        "\"big\"=hex(B):01,02,03,04,05,06,07,08");
    ASSERT_TRUE(parsed.ok) << parsed.errorLine << ": " << parsed.error;
    const std::vector<std::pair<std::string, RegValue>> expected = {
        {"Width", {REG_DWORD, {0x4B, 0, 0, 0}}},
        {"height", {REG_DWORD, {0x4B, 0, 0, 0}}},
        {"", {REG_SZ, bytes("défaut")}},
        {"list", {REG_BINARY, {1, 2, 3}}},
        {"empty", {REG_NONE, {}}},
        {"big", {REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}}},
    };
    EXPECT_EQ(parsed.key.values, expected);
}

struct DamagedCase {
    const char* label;
    std::string text;
    int line;
};

class RegFileDamaged : public testing::TestWithParam<DamagedCase> {};

TEST_P(RegFileDamaged, IsRefusedWithItsLine) {
    const DamagedCase& c = GetParam();
    const RegFileParse parsed = parseRegFile(c.text);
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.errorLine, c.line) << parsed.error;
    EXPECT_FALSE(parsed.error.empty());
    EXPECT_TRUE(parsed.key.values.empty());
}

const std::string kTop = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Lumigal]\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, RegFileDamaged,
    testing::Values(
        DamagedCase{"Empty", "", 1}, DamagedCase{"OnlyNewlines", "\n\n", 1},
        DamagedCase{"OtherHeader",
                    "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n", 1},
        DamagedCase{"Utf16", std::string("\xFF\xFER\0E\0", 6), 1},
        DamagedCase{"NoSection", "REGEDIT4\n\n", 2},
        DamagedCase{"ValueBeforeSection", "REGEDIT4\n\"a\"=dword:00000001\n", 2},
        DamagedCase{"TwoSections", kTop + "[HKEY_CURRENT_USER\\Other]\n", 4},
        DamagedCase{"DeletedKeySyntax", "REGEDIT4\n[-HKEY_CURRENT_USER\\K]\n", 2},
        DamagedCase{"SectionNotClosed", "REGEDIT4\n[HKEY_CURRENT_USER\\K\n", 2},
        DamagedCase{"UnquotedName", kTop + "a=dword:00000001\n", 4},
        DamagedCase{"IndentedName", kTop + " \"a\"=dword:00000001\n", 4},
        DamagedCase{"NameNotClosed", kTop + "\"a=dword:00000001\n", 4},
        DamagedCase{"NoEquals", kTop + "\"a\" dword:00000001\n", 4},
        DamagedCase{"SpaceBeforeEquals", kTop + "\"a\" =dword:00000001\n", 4},
        DamagedCase{"DeleteValueSyntax", kTop + "\"a\"=-\n", 4},
        DamagedCase{"StringNotClosed", kTop + "\"a\"=\"abc\n\"b\"=\"\"\n", 4},
        DamagedCase{"StringEndsInBackslash", kTop + "\"a\"=\"abc\\\"\n", 4},
        DamagedCase{"UnknownEscape", kTop + "\"a\"=\"a\\nb\"\n", 4},
        DamagedCase{"ControlInString",
                    kTop + "\"a\"=\"a\x01"
                           "b\"\n",
                    4},
        DamagedCase{"LatinOneInString", kTop + "\"a\"=\"caf\xE9\"\n", 4},
        DamagedCase{"NulByte", kTop + std::string("\"a\"=\"x\"\n\"b\"=\"y\0\"\n", 17), 5},
        DamagedCase{"TextAfterString", kTop + "\"a\"=\"x\" y\n", 4},
        DamagedCase{"DwordNoDigits", kTop + "\"a\"=dword:\n", 4},
        DamagedCase{"DwordNineDigits", kTop + "\"a\"=dword:000000001\n", 4},
        DamagedCase{"DwordNotHex", kTop + "\"a\"=dword:0000000g\n", 4},
        DamagedCase{"DwordDecimalWord", kTop + "\"a\"=dword 5\n", 4},
        DamagedCase{"UnknownType", kTop + "\"a\"=qword:1\n", 4},
        DamagedCase{"HexOneDigit", kTop + "\"a\"=hex:1,02\n", 4},
        DamagedCase{"HexThreeDigits", kTop + "\"a\"=hex:012\n", 4},
        DamagedCase{"HexBadDigit", kTop + "\"a\"=hex:0z\n", 4},
        DamagedCase{"HexTrailingComma", kTop + "\"a\"=hex:01,02,\n", 4},
        DamagedCase{"HexLeadingComma", kTop + "\"a\"=hex:,01\n", 4},
        DamagedCase{"HexDoubleComma", kTop + "\"a\"=hex:01,,02\n", 4},
        DamagedCase{"HexTypeNotClosed", kTop + "\"a\"=hex(2:01\n", 4},
        DamagedCase{"HexTypeEmpty", kTop + "\"a\"=hex():01\n", 4},
        DamagedCase{"ContinuationWithoutComma", kTop + "\"a\"=hex:01\\\n  02\n", 4},
        DamagedCase{"ContinuationAtEnd", kTop + "\"a\"=hex:01,\\\n", 4},
        DamagedCase{"ContinuationThenBlank", kTop + "\"a\"=hex:01,\\\n\n", 5},
        DamagedCase{"TextAfterContinuation", kTop + "\"a\"=hex:01,\\ x\n  02\n", 4},
        DamagedCase{"DuplicateName", kTop + "\"bip\"=dword:0\n\"BIP\"=dword:1\n", 5},
        DamagedCase{"DuplicateDefault", kTop + "@=\"a\"\n\"\"=\"b\"\n", 5},
        DamagedCase{"BinaryGarbage", kTop + "\x89PNG\r\n", 4}),
    [](const testing::TestParamInfo<DamagedCase>& info) { return info.param.label; });

TEST(RegFileText, QuotableTextIsPrintableUtf8) {
    EXPECT_TRUE(isQuotableText(""));
    EXPECT_TRUE(isQuotableText("Albums \"2000\" \\ é 😀"));
    EXPECT_FALSE(isQuotableText(std::string_view("a\0", 2)));
    EXPECT_FALSE(isQuotableText("a\tb"));
    EXPECT_FALSE(isQuotableText("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(isQuotableText("\xE0\x80\xAF"));      // overlong
}

TEST(RegFileText, ValueNamesIgnoreAsciiCaseOnly) {
    EXPECT_TRUE(sameValueName("nbThumbByLine", "NBTHUMBBYLINE"));
    EXPECT_FALSE(sameValueName("width", "widt"));
    EXPECT_FALSE(sameValueName("é", "É"));
}

}  // namespace
}  // namespace lumigal::platform
