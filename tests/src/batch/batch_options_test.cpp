#include "batch/batch_options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>

namespace lumigal::batch {
namespace {

ParsedCommandLine parse(std::vector<std::string> args) { return parseCommandLine(args); }

TEST(BatchOptions, EveryOptionReachesItsSetting) {
    const ParsedCommandLine p = parse(
        {"-o", "/tmp/out/page.htm", "-t", "Titre", "--footer", "Photos : Anne", "-m", "thumbnails", "-p", "3", "--center",
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
    EXPECT_EQ(page.footer, "Photos : Anne");
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

TEST(BatchOptions, TypesNameTheVideosOneByOneOrAsAGroup) {
    using V = VideoTypes;
    const std::vector<bool V::*> flags = {&V::mp4, &V::mov, &V::m4v, &V::threeGp,
                                          &V::webm, &V::mkv, &V::avi};
    const struct {
        const char* types;
        std::vector<bool V::*> on;
        bool images;  // png taken too
    } cases[] = {
        {"mp4", {&V::mp4}, false},     {"mov", {&V::mov}, false},   {"m4v", {&V::m4v}, false},
        {"3gp", {&V::threeGp}, false}, {"webm", {&V::webm}, false}, {"mkv", {&V::mkv}, false},
        {"avi", {&V::avi}, false},     {"video", flags, false},     {"png,video", flags, true},
        {"mp4,png,avi", {&V::mp4, &V::avi}, true},                  {"png", {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.types);
        const ParsedCommandLine p = parse({"-o", "p.htm", "--types", c.types, "dir"});
        ASSERT_EQ(p.outcome, ParsedCommandLine::Run);
        EXPECT_EQ(p.options.types.png, c.images);
        EXPECT_FALSE(p.options.types.jpeg);
        for (bool V::*flag : flags) {
            EXPECT_EQ(p.options.types.videos.*flag,
                      std::find(c.on.begin(), c.on.end(), flag) != c.on.end());
        }
    }
    // Without --types, the images alone, as always.
    const ParsedCommandLine plain = parse({"-o", "p.htm", "dir"});
    EXPECT_FALSE(plain.options.types.videos.any());
    EXPECT_EQ(parse({"-o", "p.htm", "--types", "videos", "dir"}).outcome, ParsedCommandLine::Error);
}

TEST(BatchOptions, DefaultsAreTheFirstInstallValues) {
    const ParsedCommandLine p = parse({"--output=/x/p.htm", "img.png"});
    ASSERT_EQ(p.outcome, ParsedCommandLine::Run);
    Preferences prefs;
    PageSettings page;
    defaultSettings(prefs, page);
    applyOptions(p.options, prefs, page);
    EXPECT_EQ(page.pageTitle, "Lumigal");
    EXPECT_EQ(page.footer, "") << "no footer text unless asked";
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

TEST(BatchOptions, ModernPagesGetJpegThumbnailsUnlessTold) {
    struct Case {
        std::vector<std::string> args;
        std::uint32_t keepSameFormat;
        int newFormat;
    } cases[] = {
        {{"-o", "p.htm", "a.bmp"}, 0, 1},  // classic: the stored format
        {{"-o", "p.htm", "--style", "modern", "a.bmp"}, 0, kJpegThumbnailFormat},
        {{"-o", "p.htm", "--style", "modern", "--format", "png", "a.bmp"}, 0, 3},
        {{"-o", "p.htm", "--format", "same", "--style=modern", "a.bmp"}, 1, 1},
    };
    for (const Case& c : cases) {
        const ParsedCommandLine p = parse(c.args);
        ASSERT_EQ(p.outcome, ParsedCommandLine::Run);
        Preferences prefs;
        PageSettings page;
        defaultSettings(prefs, page);
        page.newFormat = 1;
        applyOptions(p.options, prefs, page);
        const ThumbnailFormat used = thumbnailFormat(page);
        EXPECT_EQ(used.keepSameFormat, c.keepSameFormat != 0) << c.args[2];
        EXPECT_EQ(used.newFormat, c.newFormat) << c.args[2];
    }
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
        {"-o", "p.htm", "-s", "99999x90", "a.png"},  // wider than any image made
        {"-o", "p.htm", "-s", "120x16385", "a.png"},
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

// The forms of a POSIX command line: clustered flags, attached values,
// --name=value, options after the files, "--" ending the options.
TEST(BatchOptions, PosixForms) {
    using Check = std::function<void(const BatchOptions&)>;
    const std::vector<std::pair<std::vector<std::string>, Check>> cases = {
        {{"-qj1", "-s120x90", "-mthumbnails", "-oalbum.html", "photos"},
         [](const BatchOptions& o) {
             EXPECT_TRUE(o.quiet);
             EXPECT_EQ(o.jobs, 1);
             EXPECT_EQ(o.width, 120u);
             EXPECT_EQ(o.height, 90u);
             EXPECT_EQ(o.mode, Mode::Thumbnails);
             EXPECT_EQ(o.output, "album.html");
             EXPECT_EQ(o.inputs, (std::vector<std::string>{"photos"}));
         }},
        {{"-rq", "-oX.html", "-p3", "a"},
         [](const BatchOptions& o) {
             EXPECT_TRUE(o.recursive && o.quiet);
             EXPECT_EQ(o.output, "X.html");
             EXPECT_EQ(o.position, 3);
         }},
        {{"-rqo", "p.htm", "-t", "-x", "a"},  // a value may start with a dash
         [](const BatchOptions& o) {
             EXPECT_TRUE(o.recursive && o.quiet);
             EXPECT_EQ(o.output, "p.htm");
             EXPECT_EQ(o.title, "-x");
         }},
        {{"--output=p.htm", "--mode=plain", "--size", "10x20", "--types=gif,png", "a"},
         [](const BatchOptions& o) {
             EXPECT_EQ(o.output, "p.htm");
             EXPECT_EQ(o.mode, Mode::Plain);
             EXPECT_EQ(o.height, 20u);
             EXPECT_TRUE(o.types.gif && o.types.png && !o.types.bmp);
         }},
        {{"a.png", "-o", "p.htm", "b.png", "--no-center", "-"},  // files keep their order
         [](const BatchOptions& o) {
             EXPECT_EQ(o.inputs, (std::vector<std::string>{"a.png", "b.png", "-"}));
             EXPECT_EQ(o.center, false);
         }},
        {{"-o", "p.htm", "a.png", "--", "-q", "--center"},
         [](const BatchOptions& o) {
             EXPECT_EQ(o.inputs, (std::vector<std::string>{"a.png", "-q", "--center"}));
             EXPECT_FALSE(o.quiet);
             EXPECT_FALSE(o.center.has_value());
         }},
        {{"--out=p.htm", "--recur", "a"},  // a long name may be shortened while unique
         [](const BatchOptions& o) {
             EXPECT_EQ(o.output, "p.htm");
             EXPECT_TRUE(o.recursive);
             EXPECT_FALSE(o.followLinks);
         }},
        {{"-o", "p.htm", "--follow-links", "a"},
         [](const BatchOptions& o) {
             EXPECT_TRUE(o.followLinks);
             Preferences prefs;
             PageSettings page;
             applyOptions(o, prefs, page);
             EXPECT_TRUE(page.followLinks);
         }},
    };
    for (const auto& [args, check] : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const ParsedCommandLine p = parse(args);
        ASSERT_EQ(p.outcome, ParsedCommandLine::Run) << p.error;
        check(p.options);
    }
    // The parser starts afresh at each call.
    EXPECT_EQ(parse({"-qo", "p.htm", "a"}).options.output, "p.htm");
}

TEST(BatchOptions, ErrorsNameTheOptionAndWhatItTakes) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"-o", "p", "--mode=bogus", "a"},
         "--mode : « bogus » n'est pas une valeur permise (thumbnails, details, plain)"},
        {{"-mbogus", "-o", "p", "a"},
         "--mode : « bogus » n'est pas une valeur permise (thumbnails, details, plain)"},
        {{"-o", "p", "-p5", "a"}, "--position : « 5 » n'est pas une valeur permise (1, 2, 3, 4)"},
        {{"-o", "p", "-qj0", "a"},
         "--jobs : « 0 » n'est pas une valeur permise (un nombre de 1 à 256)"},
        {{"-o", "p", "--format", "tiff", "a"},
         "--format : « tiff » n'est pas une valeur permise (same, bmp, gif, jpeg, png)"},
        {{"-o", "p", "--bg-color=red", "a"},
         "--bg-color : « red » n'est pas une valeur permise (une couleur au format #RRVVBB)"},
        {{"-o", "p", "-s120", "a"},
         "--size : « 120 » n'est pas une valeur permise (LARGEURxHAUTEUR, chacune au plus 16384, par exemple 120x90)"},
        {{"-o", "", "a"}, "--output : «  » n'est pas une valeur permise (un nom de fichier)"},
        {{"-o", "p", "-qz", "a"}, "option inconnue : -z"},
        {{"-o", "p", "--frobnicate=3", "a"}, "option inconnue : --frobnicate"},
        {{"-o", "p", "--center=yes", "a"}, "l'option --center ne prend pas de valeur"},
        {{"-o", "p", "--no-line=1", "a"}, "l'option --no-line ne prend pas de valeur"},
        {{"a", "-o"}, "l'option --output attend une valeur"},
        {{"a", "--per-row"}, "l'option --per-row attend une valeur"},
        {{"a"}, "la page à écrire manque (-o PAGE)"},
        {{"-o", "p", ""}, "nom d'image ou de dossier vide (« »)"},  // never the current folder
        {{"-o", "p", "a", "--", ""}, "nom d'image ou de dossier vide (« »)"},
        {{"-o", "p", "--", "--"}, ""},  // "--" is a file after the first one
    };
    for (const auto& [args, error] : cases) {
        const ParsedCommandLine p = parse(args);
        EXPECT_EQ(p.error, error) << ::testing::PrintToString(args);
        EXPECT_EQ(p.outcome, error.empty() ? ParsedCommandLine::Run : ParsedCommandLine::Error);
    }
}

// Every long option the help names is one the parser knows.
TEST(BatchOptions, HelpNamesOnlyKnownOptions) {
    const std::string help = usageText();
    const std::regex longOption("--[a-z][a-z-]*");
    int seen = 0;
    for (auto it = std::sregex_iterator(help.begin(), help.end(), longOption);
         it != std::sregex_iterator(); ++it, ++seen) {
        const ParsedCommandLine p = parse({it->str()});
        EXPECT_EQ(p.error.find("option inconnue"), std::string::npos) << it->str();
    }
    EXPECT_GE(seen, 30);
    EXPECT_EQ(parse({"-h"}).outcome, ParsedCommandLine::Help);
    EXPECT_EQ(parse({"-o", "p", "--version", "--bogus"}).outcome, ParsedCommandLine::Version);
}

}  // namespace
}  // namespace lumigal::batch
