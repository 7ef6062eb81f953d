#include "album/page_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "imaging/image_io.h"
#include "test_support/test_images.h"
#include "test_support/test_files.h"

namespace lumigal {
namespace {

struct Recorder : ProgressObserver {
    int startedWith = -1;
    std::vector<std::string> labels;
    std::vector<int> positions;
    std::vector<std::string> failedImages;
    std::vector<std::string> failures;
    void started(int count) override { startedWith = count; }
    void setLabel(const std::string& p) override { labels.push_back(p); }
    void setPosition(int i) override { positions.push_back(i); }
    void imageFailed(const std::string& p, const std::string&) override { failedImages.push_back(p); }
    void failed(const std::string& m) override { failures.push_back(m); }
};

using lumigal::test::readFile;

std::size_t countOf(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class PageWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = test::makeTempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        page.pagePath = dir + "/album.htm";
        page.pageFolder = dir;
        page.pageTitle = "Mes <vacances>";
        page.page_bgcolor = makeColour(255, 0, 0);
        page.page_textcolor = makeColour(0, 0x80, 0xFF);
        page.page_infocolor = makeColour(1, 2, 3);
        page.position = 1;
        page.width = 120;
        page.height = 90;
        page.nbThumbByLine = 3;
        page.newFormat = 3;
        page.table_border = 2;
        page.table_bordercolor = makeColour(0xAA, 0xBB, 0xCC);
        page.table_bordercolordark = makeColour(0x11, 0x22, 0x33);
        page.table_cellspace = 4;
        page.table_cellpadding = 5;
    }
    std::string image(const std::string& name, unsigned w = 64, unsigned h = 48) {
        const std::string path = dir + "/" + name;
        EXPECT_TRUE(test::writeTestImage(path, w, h));
        return path;
    }
    std::string generate(int count = -1) {
        EXPECT_EQ(GenerateAlbumPage(count < 0 ? files.selectedFileCount() : count, page, prefs, files,
                                    recorder),
                  0);
        return readFile(page.pagePath);
    }
    std::string dir;
    PageSettings page;
    Preferences prefs;
    SelectedFileList files;
    Recorder recorder;
};

TEST_F(PageWriterTest, HeaderAndFooterAreExact) {
    files.add(image("b.png"));
    files.add(image("a b.png"));
    const std::string text = generate();
    const std::string expectedHead =
        "<HTML><HEAD>\r\n"
        "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\r\n"
        "<TITLE>Lumigal v1.11</TITLE>\r\n"
        "<META NAME=\"DESCRIPTION\" CONTENT=\"GENERATEUR Lumigal v1.11\">\r\n"
        "</HEAD>\r\n"
        "<body bgcolor=\"#FF0000\" text=\"#0080FF\" link=\"#004080\" vlink=\"#004080\" "
        "alink=\"#004080\">\r\n"
        "<BASEFONT FACE=\"Verdana\" SIZE=2>\r\n"
        "<HR>\r\n"
        "<CENTER><FONT SIZE=4><B>Mes &lt;vacances&gt;</B></FONT></CENTER>\r\n"
        "<center><table width=100%>\r\n"
        "<tr><td ALIGN=LEFT><FONT SIZE=1>le DATE\r\n<br>"
        "Fichier " + page.pagePath + "\r\n<BR><BR>"
        "2 images\r\n"
        "<BR>\r\n"
        "<HR><PRE><BASEFONT FACE=\"Verdana\" SIZE=2>\r\n"
        "      " + dir + "/b.png\r\n"
        "      " + dir + "/a b.png\r\n"
        "</PRE></FONT></TD></TR></TABLE></CENTER>\r\n"
        "<HR>\r\n"
        "<font color=\"#010203\">\r\n";
    const std::string masked =
        std::regex_replace(text, std::regex("le \\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d\r\n"), "le DATE\r\n");
    ASSERT_EQ(masked.substr(0, expectedHead.size()), expectedHead);
    const std::string body = masked.substr(expectedHead.size());
    const std::string dirUrl = dir.substr(1);
    EXPECT_EQ(body.substr(0, body.find("<br><center>")),
              "<IMG SRC=\"file:///" + dirUrl + "/b.png\">\r\n<IMG SRC=\"file:///" + dirUrl +
                  "/a%20b.png\">\r\n<hr>\r\n");
    const std::string footer =
        std::string("<br><center><table>\r\n"
                    "<tr><td colspan=2><center><font face=\"Verdana\" size=1>fait par Lumigal version "
                    "1.11<br>") +
        kFooterNotice + "</CENTER></TD></TR>\r\n" +
        "<tr><td ALIGN=LEFT><FONT face=\"Verdana\" size=1><a href=\"mailto:" + kFooterEmail + "\">" +
        kFooterEmail + "</A></FONT></TD>\r\n" +
        "<td ALIGN=RIGHT><FONT face=\"Verdana\" SIZE=1><A HREF=\"https://lumigal.example.org/\">" +
        "lumigal.example.org/</A></FONT></TD></TR>\r\n</TABLE></CENTER>\r\n</BODY></HTML>";
    EXPECT_EQ(body.substr(body.find("<br><center>")), footer);
    EXPECT_EQ(recorder.startedWith, 2);
    EXPECT_EQ(recorder.positions, (std::vector<int>{0, 1}));
}

TEST_F(PageWriterTest, DateLineIsUtc) {
    setenv("TZ", "Pacific/Kiritimati", 1);  // UTC+14: local and UTC days differ
    tzset();
    const std::string text = generate(0);
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char expected[32];
    std::snprintf(expected, sizeof expected, "le %02d/%02d/%d ", utc.tm_mday, utc.tm_mon + 1,
                  utc.tm_year + 1900);
    EXPECT_NE(text.find(expected), std::string::npos);
    unsetenv("TZ");
    tzset();
}

TEST_F(PageWriterTest, CountLineSingularOnlyForOne) {
    const struct {
        int count;
        const char* line;
    } cases[] = {{0, "\r\n<BR><BR>0 images\r\n"}, {1, "\r\n<BR><BR>1 image\r\n"}, {3, "<BR><BR>3 images\r\n"}};
    files.add(image("x.png"));
    files.add(image("y.png"));
    files.add(image("z.png"));
    for (const auto& c : cases) {
        EXPECT_NE(generate(c.count).find(c.line), std::string::npos) << c.count;
    }
}

TEST_F(PageWriterTest, SeparatorsFollowLineAndPosition) {
    files.add(image("one.png"));
    files.add(image("two.png"));
    const struct {
        bool details;
        std::uint32_t line;
        int position;
        std::size_t hrAfterImages;
        std::size_t brHr;
    } cases[] = {
        {false, 1, 2, 2, 0}, {false, 1, 1, 2, 2}, {false, 0, 1, 1, 0},
        {true, 1, 2, 2, 0},  {true, 1, 3, 2, 2},  {true, 0, 4, 1, 0},
    };
    for (const auto& c : cases) {
        page.details = c.details;
        page.line = c.line;
        page.position = c.position;
        const std::string text = generate();
        const std::string images = text.substr(text.find("<font color=\"#010203\">"));
        SCOPED_TRACE(std::to_string(c.details) + " line " + std::to_string(c.line) + " pos " +
                     std::to_string(c.position));
        EXPECT_EQ(countOf(images, "<hr>\r\n"), c.hrAfterImages);
        EXPECT_EQ(countOf(images, "<br><hr>\r\n"), c.brHr);
        if (c.details) {
            EXPECT_EQ(countOf(images, "Taille du fichier"), 2u);
        }
    }
}

TEST_F(PageWriterTest, ThumbnailRowsCloseEveryNthCell) {
    for (int i = 0; i < 6; ++i) files.add(image("p" + std::to_string(i) + ".png"));
    page.thumbnail = 1;
    page.line = 1;
    const std::string first =
        "<table border=\"2\" bordercolordark=\"#112233\" bordercolor=\"#AABBCC\" cellspacing=\"4\" "
        "cellpadding=\"5\">\r\n";
    const std::string next =
        "<table border=\"2\" bordercolor=\"#AABBCC\" cellspacing=\"4\" cellpadding=\"5\">\r\n";
    std::string text = generate();
    const std::string images = text.substr(text.find("<font color=\"#010203\">\r\n") + 24);
    std::string expected = first;
    for (int i = 0; i < 6; ++i) {
        // The thumbnails go beside their sources, under names of their own.
        const std::string src = dir.substr(1) + "/p" + std::to_string(i);
        expected += "<TD><A HREF=\"file:///" + src + ".png\"><IMG SRC=\"file:///" + src +
                    "-2.png\"></TD>\r\n";
        if (i % 3 == 2) expected += "</table>\r\n" + next;
    }
    expected += "</table>\r\n<br><center>";
    EXPECT_EQ(images.substr(0, expected.size()), expected);
    EXPECT_EQ(countOf(images, "<hr>"), 0u) << "no rule with line on in thumbnail mode";

    page.nbThumbByLine = 0;
    page.line = 0;
    text = generate();
    EXPECT_EQ(countOf(text, "</table>\r\n"), 1u);
    EXPECT_NE(text.find("</table>\r\n<hr>\r\n<br><center>"), std::string::npos);
}

TEST_F(PageWriterTest, ThumbnailsAreMadeAndLinked) {
    files.add(image("big.png", 300, 200));
    files.add(image("small.png", 100, 80));
    files.add(image("tall.png", 100, 90));
    page.thumbnail = 1;
    page.onlyIfSuitable = 1;
    prefs.pathThumbnail = dir + "/vignettes";
    std::filesystem::create_directories(prefs.pathThumbnail);
    const std::string text = generate();
    const std::string u = dir.substr(1);
    EXPECT_NE(text.find("<A HREF=\"file:///" + u + "/big.png\"><IMG SRC=\"file:///" + u +
                        "/vignettes/big.png\">"),
              std::string::npos);
    EXPECT_NE(text.find("<A HREF=\"file:///" + u + "/small.png\"><IMG SRC=\"file:///" + u +
                        "/small.png\">"),
              std::string::npos)
        << "a source smaller in both directions is shown itself";
    EXPECT_NE(text.find("<IMG SRC=\"file:///" + u + "/vignettes/tall.png\">"), std::string::npos)
        << "not strictly lower: shown through its thumbnail";
    for (const char* name : {"big.png", "small.png", "tall.png"}) {
        std::string error;
        const auto header = pingImageFile(prefs.pathThumbnail + "/" + name, error);
        ASSERT_TRUE(header) << name << ": " << error;
        EXPECT_EQ(header->width, 120u);
        EXPECT_EQ(header->height, 90u);
    }
}

TEST_F(PageWriterTest, EmptyThumbnailFolderMeansThePageFolder) {
    files.add(image("src.gif"));
    page.thumbnail = 1;
    page.newFormat = 2;
    page.pagePath = dir + "/out/album.htm";
    page.pageFolder = dir + "/out";
    std::filesystem::create_directories(page.pageFolder);
    const std::string text = generate();
    EXPECT_TRUE(std::filesystem::exists(dir + "/out/src.jpg"));
    EXPECT_NE(text.find("<IMG SRC=\"file:///" + dir.substr(1) + "/out/src.jpg\">"), std::string::npos);
}

TEST_F(PageWriterTest, UnreadableImagesAreReportedAndNeverBreakThePage) {
    files.add(image("good.png"));
    ASSERT_TRUE(test::writeBytes(dir + "/bad.png", "\x89PNG\r\n\x1a\n garbage"));
    files.add(dir + "/bad.png");
    files.add(dir + "/missing.jpg");

    // In every mode, what cannot be read is reported and left out: out of
    // the header's list and count, and no tag points at it.
    struct Mode {
        const char* name;
        int thumbnail, details;
        std::vector<int> positions;
    };
    const Mode modes[] = {
        {"details", 0, 1, {0}}, {"plain", 0, 0, {0}}, {"thumbnails", 1, 0, {0, 1, 2}}};
    for (const Mode& mode : modes) {
        recorder = Recorder();
        page.thumbnail = mode.thumbnail;
        page.details = mode.details;
        const std::string text = generate();
        EXPECT_EQ(recorder.failedImages,
                  (std::vector<std::string>{dir + "/bad.png", dir + "/missing.jpg"}))
            << mode.name;
        EXPECT_EQ(recorder.positions, mode.positions) << mode.name;
        EXPECT_NE(text.find("<BR><BR>1 image\r\n"), std::string::npos) << mode.name;
        EXPECT_NE(text.find("      " + dir + "/good.png\r\n"), std::string::npos) << mode.name;
        EXPECT_EQ(countOf(text, "bad.png"), 0u) << mode.name;
        EXPECT_EQ(countOf(text, "missing.jpg"), 0u) << mode.name;
        EXPECT_EQ(countOf(text, dir.substr(1) + "/good"), mode.thumbnail ? 3u : 2u) << mode.name;
    }
}

TEST_F(PageWriterTest, SortedOrderFollowsSortList) {
    files.add(image("b.png"));
    files.add(image("C.png"));
    files.add(image("a.png"));
    page.tri = 1;
    const std::string text = generate();
    const std::size_t a = text.find("      " + dir + "/a.png");
    const std::size_t b = text.find("      " + dir + "/b.png");
    const std::size_t c = text.find("      " + dir + "/C.png");
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_EQ(recorder.labels, (std::vector<std::string>{dir + "/a.png", dir + "/b.png", dir + "/C.png"}));
}

TEST_F(PageWriterTest, HostileNamesCannotInjectMarkup) {
    const std::string names[] = {"\"><img src=x onerror=alert(1)>.png", "a&b<c>.png", "q?x#y%z.png",
                                 "javascript:alert(1).png", "tab\tnew\nline.png", "\xff\xfe.png"};
    for (const std::string& n : names) files.add(image(n));
    page.details = 1;
    const std::string text = generate();
    EXPECT_EQ(countOf(text, "onerror=alert(1)>"), 0u);
    EXPECT_EQ(countOf(text, "<c>"), 0u);
    EXPECT_NE(text.find("file:///" + dir.substr(1) + "/q%3Fx%23y%25z.png"), std::string::npos);
    EXPECT_NE(text.find("file:///" + dir.substr(1) + "/tab%09new%0Aline.png"), std::string::npos);
    EXPECT_EQ(recorder.failedImages.size(), 0u);
}

TEST_F(PageWriterTest, PageThatCannotBeCreatedIsReported) {
    page.pagePath = dir + "/no/such/folder/album.htm";
    EXPECT_EQ(GenerateAlbumPage(0, page, prefs, files, recorder), 1);
    ASSERT_EQ(recorder.failures.size(), 1u);
    EXPECT_EQ(recorder.failures[0],
              "Impossible de créer " + page.pagePath + " : dossier introuvable");
}

TEST_F(PageWriterTest, WriteErrorIsAFailureAndKeepsThePreviousPage) {
    for (int i = 0; i < 40; ++i) files.add(image("i" + std::to_string(i) + ".png", 8, 8));
    ASSERT_TRUE(test::writeBytes(page.pagePath, "previous page"));
    page.details = 1;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};  // files may not grow past 4 KiB: the page cannot be finished
        setrlimit(RLIMIT_FSIZE, &limit);
        Recorder r;
        const int result = GenerateAlbumPage(files.selectedFileCount(), page, prefs, files, r);
        _exit(result == 1 && r.failures.size() == 1 ? 0 : 3);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write error must be reported as a failure";
    EXPECT_EQ(readFile(page.pagePath), "previous page");
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        EXPECT_EQ(entry.path().string().find("album.htm."), std::string::npos) << "temporary file left";
    }
}

}  // namespace
}  // namespace lumigal
