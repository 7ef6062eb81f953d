#include "batch/batch_options.h"

#include <gtest/gtest.h>

namespace lumigal::batch {
namespace {

ParsedCommandLine parse(std::vector<std::string> args) { return parseCommandLine(args); }

TEST(BatchOptions, EveryOptionReachesItsSetting) {
    const ParsedCommandLine p = parse(
        {"-o", "/tmp/out/page.htm", "-t", "Titre", "-m", "thumbnails", "-p", "3", "--center",
         "--no-line", "--sort", "--only-if-suitable", "-s", "160x120", "--thumb-dir", "/tmp/v",
         "--per-row", "4", "--format", "jpeg", "--bg-color", "#102030", "--text-color", "#ABCDEF",
         "--info-color", "#000001", "--border-color", "#FF0000", "--border-color-dark", "#00ff00",
         "--border", "3", "--cell-spacing", "6", "--cell-padding", "7", "-r", "--types", "gif,png",
         "-q", "-j", "3", "/tmp/a.png", "dir"});
    ASSERT_EQ(p.outcome, ParsedCommandLine::Run) << p.error;
    EXPECT_EQ(p.options.jobs, 3);
    EXPECT_EQ(parse({"-o", "p.htm", "--jobs=2", "a.png"}).options.jobs, 2);
    EXPECT_EQ(parse({"-o", "p.htm", "a.png"}).options.jobs, 0) << "0: one worker per processor";
    Preferences prefs;
    PageSettings page;
    defaultSettings(prefs, page);
    applyOptions(p.options, prefs, page);
    EXPECT_EQ(page.pagePath, "/tmp/out/page.htm");
    EXPECT_EQ(page.pageFolder, "/tmp/out");
    EXPECT_EQ(page.pageTitle, "Titre");
    EXPECT_EQ(page.thumbnail, 1u);
    EXPECT_EQ(page.details, 0u);
    EXPECT_EQ(page.position, 3);
    EXPECT_EQ(page.center, 1u);
    EXPECT_EQ(page.line, 0u);
    EXPECT_EQ(page.tri, 1u);
    EXPECT_EQ(page.onlyIfSuitable, 1u);
    EXPECT_EQ(page.width, 160u);
    EXPECT_EQ(page.height, 120u);
    EXPECT_EQ(prefs.pathThumbnail, "/tmp/v");
    EXPECT_EQ(page.nbThumbByLine, 4u);
    EXPECT_EQ(page.keepSameFormat, 0u);
    EXPECT_EQ(page.newFormat, 2);
    EXPECT_EQ(page.page_bgcolor, makeColour(0x10, 0x20, 0x30));
    EXPECT_EQ(page.page_textcolor, makeColour(0xAB, 0xCD, 0xEF));
    EXPECT_EQ(page.page_infocolor, makeColour(0, 0, 1));
    EXPECT_EQ(page.table_bordercolor, makeColour(0xFF, 0, 0));
    EXPECT_EQ(page.table_bordercolordark, makeColour(0, 0xFF, 0));
    EXPECT_EQ(page.table_border, 3u);
    EXPECT_EQ(page.table_cellspace, 6u);
    EXPECT_EQ(page.table_cellpadding, 7u);
    EXPECT_TRUE(p.options.recursive);
    EXPECT_TRUE(p.options.quiet);
    EXPECT_TRUE(p.options.types.gif && p.options.types.png);
    EXPECT_FALSE(p.options.types.bmp || p.options.types.dib || p.options.types.jpeg ||
                 p.options.types.xbm || p.options.types.webp || p.options.types.heic ||
                 p.options.types.avif || p.options.types.tiff);
    EXPECT_EQ(p.options.inputs, (std::vector<std::string>{"/tmp/a.png", "dir"}));
}

TEST(BatchOptions, TypesNameEachFamily) {
    const struct {
        const char* types;
        bool ScanFormats::*flag;
    } cases[] = {
        {"webp", &ScanFormats::webp}, {"heic", &ScanFormats::heic}, {"heif", &ScanFormats::heic},
        {"avif", &ScanFormats::avif}, {"tiff", &ScanFormats::tiff}, {"tif", &ScanFormats::tiff},
        {"jpg", &ScanFormats::jpeg},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.types);
        const ParsedCommandLine p = parse({"-o", "p.htm", "--types", c.types, "dir"});
        ASSERT_EQ(p.outcome, ParsedCommandLine::Run);
        for (bool ScanFormats::*flag :
             {&ScanFormats::bmp, &ScanFormats::dib, &ScanFormats::gif, &ScanFormats::png,
              &ScanFormats::xbm, &ScanFormats::jpeg, &ScanFormats::webp, &ScanFormats::heic,
              &ScanFormats::avif, &ScanFormats::tiff}) {
            EXPECT_EQ(p.options.types.*flag, flag == c.flag);
        }
    }
}

TEST(BatchOptions, DefaultsAreTheFirstInstallValues) {
    const ParsedCommandLine p = parse({"--output=/x/p.htm", "img.png"});
    ASSERT_EQ(p.outcome, ParsedCommandLine::Run);
    Preferences prefs;
    PageSettings page;
    defaultSettings(prefs, page);
    applyOptions(p.options, prefs, page);
    EXPECT_EQ(page.pageTitle, "Lumigal");
    EXPECT_EQ(page.details, 1u);
    EXPECT_EQ(page.thumbnail, 0u);
    EXPECT_EQ(page.width, 75u);
    EXPECT_EQ(page.height, 75u);
    EXPECT_EQ(page.nbThumbByLine, 10u);
    EXPECT_EQ(page.position, 1) << "a stored position outside 1 to 4 is taken as 1";
    EXPECT_EQ(page.page_bgcolor, makeColour(255, 255, 255));
    EXPECT_EQ(page.page_textcolor, 0u);
    EXPECT_EQ(page.page_infocolor, 0u);
}

TEST(BatchOptions, FormatSameKeepsTheSourceFormat) {
    const ParsedCommandLine p = parse({"-o", "p.htm", "--format", "same", "a.gif"});
    ASSERT_EQ(p.outcome, ParsedCommandLine::Run);
    Preferences prefs;
    PageSettings page;
    defaultSettings(prefs, page);
    page.newFormat = 1;
    applyOptions(p.options, prefs, page);
    EXPECT_EQ(page.keepSameFormat, 1u);
    EXPECT_EQ(page.newFormat, 1);
    EXPECT_EQ(page.pagePath.front(), '/') << "relative page paths are made absolute";
}

TEST(BatchOptions, BadUsageIsAnError) {
    const std::vector<std::vector<std::string>> bad = {
        {"a.png"},                                   // no output
        {"-o", "p.htm"},                             // no input
        {"-o"},                                      // missing value
        {"-o", "p.htm", "-m", "gallery", "a.png"},   // unknown mode
        {"-o", "p.htm", "-p", "5", "a.png"},         // position out of range
        {"-o", "p.htm", "-s", "120", "a.png"},       // size without height
        {"-o", "p.htm", "-s", "-1x5", "a.png"},      // negative size
        {"-o", "p.htm", "--format", "tiff", "a.png"},
        {"-o", "p.htm", "--bg-color", "red", "a.png"},
        {"-o", "p.htm", "--bg-color", "#12345", "a.png"},
        {"-o", "p.htm", "--types", "bmp,svg", "a.png"},
        {"-o", "p.htm", "--per-row", "x", "a.png"},
        {"-o", "p.htm", "--frobnicate", "a.png"},
        {"-o", "p.htm", "-j", "0", "a.png"},         // no worker at all
        {"-o", "p.htm", "-j", "two", "a.png"},
        {"-o", "p.htm", "-j", "999", "a.png"},
    };
    for (const auto& args : bad) {
        const ParsedCommandLine p = parse(args);
        EXPECT_EQ(p.outcome, ParsedCommandLine::Error) << ::testing::PrintToString(args);
        EXPECT_FALSE(p.error.empty());
    }
}

TEST(BatchOptions, DoubleDashEndsOptions) {
    const ParsedCommandLine p = parse({"-o", "p.htm", "--", "-q", "--center"});
    ASSERT_EQ(p.outcome, ParsedCommandLine::Run);
    EXPECT_EQ(p.options.inputs, (std::vector<std::string>{"-q", "--center"}));
    EXPECT_FALSE(p.options.quiet);
    EXPECT_EQ(parse({"--help"}).outcome, ParsedCommandLine::Help);
}

}  // namespace
}  // namespace lumigal::batch
