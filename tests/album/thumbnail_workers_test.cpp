// The worker pool, the thumbnail record and the reduced reads: the result
// of a page never depends on how many workers made it, an unchanged
// thumbnail is kept and any change makes it again, and the fast reads stay
// close to the exact pipeline.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "album/image_io.h"
#include "album/jpeg_markers.h"
#include "album/ordered_pool.h"
#include "album/page_writer.h"
#include "album/thumbnail.h"
#include "album/thumbnail_record.h"
#include "tests/album/test_images.h"

namespace lumigal {
namespace {

namespace fs = std::filesystem;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// ---- the pool ---------------------------------------------------------------

TEST(OrderedPool, DeliversInOrderOnTheCallingThreadWhateverTheWorkers) {
    for (const int workers : {1, 2, 3, 8}) {
        const std::size_t count = 40;
        std::vector<std::atomic<bool>> done(count);
        std::vector<std::size_t> delivered;
        bool allDone = true, callingThread = true;
        const auto caller = std::this_thread::get_id();
        runOrdered(
            count, workers,
            [&](std::size_t i) {
                // Early jobs last longest, so later ones end first.
                std::this_thread::sleep_for(std::chrono::microseconds((count - i) * 50));
                done[i] = true;
            },
            [&](std::size_t i) {
                allDone = allDone && done[i];
                callingThread = callingThread && std::this_thread::get_id() == caller;
                delivered.push_back(i);
            });
        std::vector<std::size_t> expected(count);
        for (std::size_t i = 0; i < count; ++i) expected[i] = i;
        EXPECT_EQ(delivered, expected) << workers << " workers";
        EXPECT_TRUE(allDone) << workers << " workers: delivered before its job ended";
        EXPECT_TRUE(callingThread) << workers << " workers";
    }
}

TEST(OrderedPool, AThrowingDeliveryStopsTheRun) {
    std::atomic<int> started{0};
    EXPECT_THROW(runOrdered(
                     1000, 2,
                     [&](std::size_t) {
                         ++started;
                         std::this_thread::sleep_for(std::chrono::milliseconds(2));
                     },
                     [&](std::size_t i) {
                         if (i == 3) throw std::runtime_error("stop");
                     }),
                 std::runtime_error);
    EXPECT_LT(started.load(), 1000) << "jobs not yet started are dropped";
}

// ---- pages made by several workers --------------------------------------------

struct Recorder : ProgressObserver {
    std::vector<std::string> events;
    void started(int count) override { events.push_back("start " + std::to_string(count)); }
    void setLabel(const std::string& p) override { events.push_back("label " + p); }
    void setPosition(int i) override { events.push_back("pos " + std::to_string(i)); }
    void imageFailed(const std::string& p, const std::string& r) override {
        events.push_back("failed " + p + " " + r);
    }
};

class AlbumRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = test::makeTempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        page.pagePath = dir + "/album.htm";
        page.pageFolder = dir;
        page.thumbnail = 1;
        page.width = 40;
        page.height = 30;
        page.nbThumbByLine = 4;
        page.newFormat = 3;
        prefs.pathThumbnail = dir + "/vignettes";
        fs::create_directories(prefs.pathThumbnail);
    }
    std::string image(const std::string& name, unsigned w, unsigned h) {
        const std::string path = dir + "/" + name;
        fs::create_directories(fs::path(path).parent_path());
        EXPECT_TRUE(test::writeTestImage(path, w, h));
        return path;
    }
    // The page without its date line.
    std::string generate(int workers, Recorder& recorder) {
        EXPECT_EQ(GenerateAlbumPage(files.selectedFileCount(), page, prefs, files, recorder,
                                    AlbumRunOptions{workers}),
                  0);
        return std::regex_replace(readFile(page.pagePath), std::regex("le [0-9/: ]+\r\n"), "");
    }
    std::string thumb(const std::string& name) { return prefs.pathThumbnail + "/" + name; }
    ino_t inodeOf(const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
    }
    std::string dir;
    PageSettings page;
    Preferences prefs;
    SelectedFileList files;
};

TEST_F(AlbumRunTest, WorkersGiveTheSequentialPageReportsAndThumbnails) {
    // Same base names in several folders (and two formats converted to one):
    // a large early image ends after a small later one of the same name,
    // and the later one must still be the thumbnail that stays.
    struct Source {
        const char* name;
        unsigned w, h;
    };
    const Source sources[] = {{"a/x.png", 900, 700}, {"b/x.png", 50, 40},  {"a/y.gif", 600, 500},
                              {"c/y.png", 30, 20},   {"d/bad.png", 0, 0},  {"c/x.jpg", 700, 500},
                              {"e/x.bmp", 20, 60},   {"e/z.png", 120, 90}, {"f/z.png", 800, 600}};
    for (const Source& s : sources) {
        if (s.w == 0) {
            fs::create_directories(dir + "/d");
            ASSERT_TRUE(test::writeBytes(dir + "/" + s.name, "not an image"));
            files.add(dir + "/" + s.name);
        } else {
            files.add(image(s.name, s.w, s.h));
        }
    }
    struct Run {
        std::string page;
        std::vector<std::string> events;
        std::map<std::string, std::string> thumbnails;
    };
    std::vector<Run> runs;
    page.newFormat = 0;  // BMP: no time stamp inside, the bytes can be compared
    for (const int workers : {1, 2, 4}) {
        fs::remove_all(prefs.pathThumbnail);  // no record: everything is made
        fs::create_directories(prefs.pathThumbnail);
        Run run;
        Recorder recorder;
        run.page = generate(workers, recorder);
        run.events = recorder.events;
        for (const char* name : {"x.bmp", "y.bmp", "z.bmp", "bad.bmp"}) {
            run.thumbnails[name] = fs::exists(thumb(name)) ? readFile(thumb(name)) : "(none)";
        }
        runs.push_back(run);
    }
    for (std::size_t r = 1; r < runs.size(); ++r) {
        EXPECT_EQ(runs[r].page, runs[0].page) << "run " << r;
        EXPECT_EQ(runs[r].events, runs[0].events) << "run " << r;
        EXPECT_EQ(runs[r].thumbnails, runs[0].thumbnails) << "run " << r;
    }
    // The surviving x.bmp is that of the last source named x: e/x.bmp.
    EncodedThumbnail last;
    ASSERT_EQ(RenderThumbnail(
                  {"Lumigal", "-quality", "99", "-contrast", dir + "/e/x.bmp", thumb("x.bmp")},
                  ThumbnailSize{40, 30}, last),
              kThumbnailWritten);
    EXPECT_EQ(runs[0].thumbnails["x.bmp"], std::string(last.bytes.begin(), last.bytes.end()));
    EXPECT_EQ(runs[0].thumbnails["bad.bmp"], "(none)");
}

TEST_F(AlbumRunTest, SourceThatIsAThumbnailOfAnEarlierImageIsReadAfterIt) {
    // The thumbnail of a/p.bmp is written over b/p.bmp, which is the next
    // source: it must be read as the sequential run reads it.
    prefs.pathThumbnail = dir + "/b";
    page.newFormat = 0;  // BMP: no time stamp inside, the bytes can be compared
    files.add(image("a/p.bmp", 300, 200));
    files.add(image("b/p.bmp", 10, 10));
    Recorder one, two;
    const std::string sequential = generate(1, one);
    const std::string firstThumbnail = readFile(thumb("p.bmp"));
    files.clear();
    files.add(image("a/p.bmp", 300, 200));
    files.add(image("b/p.bmp", 10, 10));
    EXPECT_EQ(generate(2, two), sequential);
    EXPECT_EQ(readFile(thumb("p.bmp")), firstThumbnail);
}

// ---- the thumbnail record -------------------------------------------------------

TEST_F(AlbumRunTest, UnchangedThumbnailsAreKeptAndAnyChangeRemakesThem) {
    const std::string src = image("s/photo.jpg", 200, 150);
    files.add(src);
    page.keepSameFormat = 0;
    page.newFormat = 2;
    Recorder r0;
    const std::string first = generate(2, r0);
    const std::string t = thumb("photo.jpg");
    const ino_t made = inodeOf(t);
    ASSERT_NE(made, 0u);

    struct Case {
        const char* what;
        std::function<void()> change;
        bool remade;
    };
    const std::string recordFile = ThumbnailRecords::fileIn(prefs.pathThumbnail);
    const std::vector<Case> cases = {
        {"nothing changed", [] {}, false},
        {"source rewritten", [&] { ASSERT_TRUE(test::writeTestImage(src, 210, 150)); }, true},
        {"nothing changed again", [] {}, false},
        {"thumbnail size", [&] { page.width = 41; }, true},
        {"format (JPEG from the source's own .jpg)", [&] { page.keepSameFormat = 1; }, true},
        {"thumbnail deleted", [&] { fs::remove(t); }, true},
        {"thumbnail replaced", [&] { ASSERT_TRUE(test::writeBytes(t, "other")); }, true},
        {"record damaged", [&] { ASSERT_TRUE(test::writeBytes(recordFile, "\x01garbage\n\t\t")); },
         true},
        {"record truncated",
         [&] {
             const std::string text = readFile(recordFile);
             ASSERT_TRUE(test::writeBytes(recordFile, text.substr(0, text.size() - 5)));
         },
         true},
        {"record removed", [&] { fs::remove(recordFile); }, true},
        {"nothing changed at last", [] {}, false},
    };
    ino_t before = made;
    for (const Case& c : cases) {
        c.change();
        if (!fs::exists(t)) before = 0;
        Recorder r;
        const std::string text = generate(2, r);
        const ino_t now = inodeOf(t);
        ASSERT_NE(now, 0u) << c.what;
        EXPECT_EQ(now != before, c.remade) << c.what;
        before = now;
        // A kept thumbnail gives the same page and reports as a made one.
        Recorder full;
        fs::remove(recordFile);
        EXPECT_EQ(generate(1, full), text) << c.what;
        EXPECT_EQ(full.events, r.events) << c.what;
        before = inodeOf(t);
        std::string error;
        const auto header = pingImageFile(t, error);
        ASSERT_TRUE(header) << c.what << ": " << error;
        EXPECT_EQ(header->width, page.width) << c.what;
        EXPECT_EQ(header->format, ImageFormat::JPEG) << c.what;
    }
}

TEST_F(AlbumRunTest, RecordsOfThumbnailsThatAreGoneAreDropped) {
    const std::string kept = image("a/kept.png", 60, 50), dropped = image("b/gone.png", 60, 50);
    files.add(kept);
    files.add(dropped);
    Recorder first;
    generate(2, first);
    const std::string recordFile = ThumbnailRecords::fileIn(prefs.pathThumbnail);
    ASSERT_NE(readFile(recordFile).find(thumb("gone.png")), std::string::npos);

    // The second album leaves gone.png out; its thumbnail is deleted.
    ASSERT_TRUE(fs::remove(thumb("gone.png")));
    files.clear();
    files.add(kept);
    Recorder second;
    generate(2, second);
    const std::string text = readFile(recordFile);
    EXPECT_NE(text.find(thumb("kept.png")), std::string::npos);
    EXPECT_EQ(text.find(thumb("gone.png")), std::string::npos);
}

TEST(ThumbnailRecords, LinesRoundTripAndDamagedLinesAreRefused) {
    ThumbnailRecord r;
    r.thumbnail = "/v/a\tb\\c.png";
    r.maker = "JPEG:/v/a.jpg";
    r.recipe = kThumbnailRecipe;
    r.source = "/s/new\nline\r.png";
    r.sourceStamp = {123, 456789};
    r.sourceWidth = 640;
    r.sourceHeight = 480;
    r.width = 120;
    r.height = 90;
    r.thumbnailStamp = {77, -5};
    const std::string line = ThumbnailRecords::toLine(r);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const auto back = ThumbnailRecords::fromLine(line);
    ASSERT_TRUE(back);
    EXPECT_EQ(ThumbnailRecords::toLine(*back), line);
    EXPECT_EQ(back->source, r.source);
    EXPECT_EQ(back->thumbnail, r.thumbnail);
    const std::vector<std::string> damaged = {
        "",
        line.substr(0, line.size() - 1),                             // cut short
        line + "\textra",                                            // a field too many
        std::regex_replace(line, std::regex("\t123\t"), "\t12x\t"),  // not a number
        std::regex_replace(line, std::regex("\\\\t"), "\\q"),        // bad escape
    };
    for (const std::string& d : damaged) EXPECT_FALSE(ThumbnailRecords::fromLine(d)) << d;
}

// ---- fidelity of the fast reads -----------------------------------------------

// PSNR in dB between two images of the same size, over red, green and blue.
double psnr(const Image& a, const Image& b) {
    ExceptionPtr e(AcquireExceptionInfo());
    double sum = 0;
    for (std::size_t y = 0; y < a.rows; ++y) {
        const PixelPacket* p =
            GetVirtualPixels(&a, 0, static_cast<ssize_t>(y), a.columns, 1, e.get());
        const PixelPacket* q =
            GetVirtualPixels(&b, 0, static_cast<ssize_t>(y), b.columns, 1, e.get());
        if (!p || !q) return 0;
        for (std::size_t x = 0; x < a.columns; ++x) {
            const double d[3] = {double(p[x].red) - q[x].red, double(p[x].green) - q[x].green,
                                 double(p[x].blue) - q[x].blue};
            for (const double v : d) sum += v * v;
        }
    }
    const double mse = sum / (3.0 * a.columns * a.rows) / (double(QuantumRange) * QuantumRange);
    return mse == 0 ? 200 : 10 * std::log10(1 / mse);
}

TEST(ThumbnailFidelity, FastReadsStayCloseToTheExactPipeline) {
    const std::string dir = test::makeTempFolder("ThumbnailFidelity");
    struct Case {
        const char* name;
        unsigned w, h;
        bool interlace;
    };
    // Large enough for the JPEG decoder to shrink while loading (baseline and
    // progressive) and for the PNG to be reduced row by row.
    // prog.jpg is read from its DC coefficients (at least 16 times the
    // thumbnail); whole.png covers exactly 4 source columns per reduced one.
    for (const Case& c : {Case{"big.jpg", 1600, 1200, false}, Case{"prog.jpg", 2000, 1500, true},
                          Case{"big.png", 2000, 1500, false}, Case{"mid.png", 500, 400, false},
                          Case{"whole.png", 3840, 2880, false}}) {
        const std::string src = dir + "/" + c.name;
        ASSERT_TRUE(test::writeTestImage(src, c.w, c.h, c.interlace));
        // The exact pipeline: full decode, contrast, scale, normalise.
        std::string error;
        ImagePtr full = readImageFirstFrame(src, error);
        ASSERT_TRUE(full) << error;
        ContrastImage(full.get(), MagickTrue);
        ExceptionPtr e(AcquireExceptionInfo());
        ImagePtr exact(ScaleImage(full.get(), 120, 90, e.get()));
        ASSERT_TRUE(exact);
        NormalizeImage(exact.get());

        const std::string out = dir + "/thumb-" + std::string(c.name) + ".png";
        ASSERT_EQ(MakeThumbnail({"Lumigal", "-quality", "99", "-contrast", src, out},
                                ThumbnailSize{120, 90}, &error),
                  kThumbnailWritten)
            << error;
        ImagePtr made = readImageFirstFrame(out, error);
        ASSERT_TRUE(made) << error;
        ASSERT_EQ(made->columns, 120u);
        ASSERT_EQ(made->rows, 90u);
        EXPECT_GE(psnr(*made, *exact), 30.0) << c.name;
    }
}

TEST(JpegMarkers, XmpSegmentsAreDroppedAndNothingElse) {
    const auto segment = [](std::uint8_t marker, const std::string& payload) {
        const std::size_t n = payload.size() + 2;
        return std::string{'\xFF', static_cast<char>(marker), static_cast<char>(n >> 8),
                           static_cast<char>(n & 0xFF)} +
               payload;
    };
    const std::string xmp = std::string("http://ns.adobe.com/xap/1.0/") + '\0' + "<x:xmpmeta/>";
    const std::string ext = std::string("http://ns.adobe.com/xmp/extension/") + '\0' + "more";
    const std::string exif = std::string("Exif") + '\0' + '\0' + "II*";
    const std::string scan = std::string("\xFF\xDA\x00\x02") + "\xFF\xE1 scan bytes \xFF\xD9";
    const std::string soi = "\xFF\xD8";
    const std::string in = soi + segment(0xE0, "JFIF") + segment(0xE1, xmp) + segment(0xE1, exif) +
                           segment(0xE1, ext) + segment(0xDB, "quant") + scan;
    const std::string want =
        soi + segment(0xE0, "JFIF") + segment(0xE1, exif) + segment(0xDB, "quant") + scan;
    std::vector<std::uint8_t> data(in.begin(), in.end());
    EXPECT_TRUE(stripJpegXmp(data));
    EXPECT_EQ(std::string(data.begin(), data.end()), want);
    // Damaged headers stay as they are.
    for (const std::string& bad : {soi + "\xFF\xE1\xFF\xFF" + xmp, soi + segment(0xE1, xmp),
                                   soi + std::string(1, '\0') + segment(0xE1, xmp) + scan}) {
        std::vector<std::uint8_t> d(bad.begin(), bad.end());
        EXPECT_FALSE(stripJpegXmp(d));
        EXPECT_EQ(std::string(d.begin(), d.end()), bad);
    }
}

}  // namespace
}  // namespace lumigal
