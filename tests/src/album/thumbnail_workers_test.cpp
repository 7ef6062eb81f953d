// The worker pool, the thumbnail record and the reduced reads: the result
// of a page never depends on how many workers made it, an unchanged
// thumbnail is kept and any change makes it again, and the fast reads stay
// close to the exact pipeline.
#include <gtest/gtest.h>
#include <fcntl.h>
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

#include "imaging/image_io.h"
#include "imaging/image_library.h"
#include "magick_image.h"
#include "imaging/jpeg_markers.h"
#include "album/ordered_pool.h"
#include "album/page_writer.h"
#include "imaging/thumbnail.h"
#include "album/thumbnail_record.h"
#include "test_support/test_images.h"
#include "test_support/test_files.h"

namespace lumigal {
namespace {

namespace fs = std::filesystem;

using lumigal::test::readFile;

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
    // each source gets a thumbnail of its own, the first one under the
    // usual name, whatever the number of workers.
    struct Source {
        const char* name;
        unsigned w, h;
        const char* thumbnail;
    };
    const Source sources[] = {
        {"a/x.png", 900, 700, "x.bmp"},  {"b/x.png", 50, 40, "x-2.bmp"},
        {"a/y.gif", 600, 500, "y.bmp"},  {"c/y.png", 30, 20, "y-2.bmp"},
        {"d/bad.png", 0, 0, nullptr},    {"c/x.jpg", 700, 500, "x-3.bmp"},
        {"e/x.bmp", 20, 60, "x-4.bmp"},  {"e/z.png", 120, 90, "z.bmp"},
        {"f/z.png", 800, 600, "z-2.bmp"}};
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
        for (const auto& entry : fs::directory_iterator(prefs.pathThumbnail)) {
            const std::string name = entry.path().filename().string();
            if (name[0] != '.') run.thumbnails[name] = readFile(entry.path().string());
        }
        runs.push_back(run);
    }
    for (std::size_t r = 1; r < runs.size(); ++r) {
        EXPECT_EQ(runs[r].page, runs[0].page) << "run " << r;
        EXPECT_EQ(runs[r].events, runs[0].events) << "run " << r;
        EXPECT_EQ(runs[r].thumbnails, runs[0].thumbnails) << "run " << r;
    }
    std::size_t made = 0;
    for (const Source& s : sources) {
        if (!s.thumbnail) continue;
        ++made;
        EXPECT_NE(runs[0].page.find(thumb(s.thumbnail).substr(1) + "\">"), std::string::npos)
            << s.name;
        EncodedThumbnail own;
        ASSERT_EQ(RenderThumbnail({"Lumigal", "-quality", "99", "-contrast", dir + "/" + s.name,
                                   thumb(s.thumbnail)},
                                  ThumbnailSize{40, 30}, own),
                  kThumbnailWritten);
        EXPECT_EQ(runs[0].thumbnails[s.thumbnail], std::string(own.bytes.begin(), own.bytes.end()))
            << s.name << " shows another source's picture";
    }
    EXPECT_EQ(runs[0].thumbnails.size(), made);
}

TEST_F(AlbumRunTest, SourcesAndFilesThatAreNotOursAreNeverOverwritten) {
    // Thumbnails that would land on a source, on the page or on a file that
    // no record names get numbered names; every file that was there before
    // keeps its bytes, and a second run gives the same page from the same
    // thumbnails.
    struct Case {
        const char* what;
        std::vector<std::string> sources;
        std::vector<std::string> otherFiles;  // already in the album folder
        std::string thumbnailFolder;          // under dir; "" for the page's folder
        int keepSameFormat, newFormat;
        std::vector<std::string> thumbnails;  // expected, under the thumbnail folder
    };
    const std::vector<Case> cases = {
        {"BMP photo, BMP thumbnail beside it", {"photo.bmp"}, {}, "", 0, 0, {"photo-2.bmp"}},
        {"same format beside the sources", {"a.png", "b.gif"}, {}, "", 1, 0, {"a-2.png", "b-2.gif"}},
        {"JPEG photos, JPEG thumbnails", {"p.jpg", "q.jpg"}, {}, "", 0, 2, {"p-2.jpg", "q-2.jpg"}},
        {"a file of the user's own", {"s/x.png"}, {"v/x.bmp", "v/x-2.bmp"}, "v", 0, 0, {"x-3.bmp"}},
        {"a later source under an earlier one's name",
         {"a/p.bmp", "b/p.bmp"}, {}, "b", 0, 0, {"p-2.bmp", "p-3.bmp"}},
        {"a variant that is a source", {"t.png", "t-2.png"}, {}, "", 0, 3, {"t-3.png", "t-2-2.png"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dir = test::makeTempFolder(std::string("never-overwritten-") + std::to_string(&c - cases.data()));
        page.pagePath = dir + "/album.htm";
        page.pageFolder = dir;
        page.keepSameFormat = c.keepSameFormat;
        page.newFormat = c.newFormat;
        prefs.pathThumbnail = c.thumbnailFolder.empty() ? "" : dir + "/" + c.thumbnailFolder;
        files.clear();
        for (const std::string& s : c.sources) files.add(image(s, 120, 80));
        for (const std::string& o : c.otherFiles) {
            fs::create_directories(fs::path(dir + "/" + o).parent_path());
            ASSERT_TRUE(test::writeBytes(dir + "/" + o, "not Lumigal's: " + o));
        }
        std::map<std::string, std::string> before;
        for (const auto& entry : fs::recursive_directory_iterator(dir))
            if (entry.is_regular_file()) before[entry.path().string()] = readFile(entry.path().string());
        Recorder first, second;
        const std::string text = generate(2, first);
        for (const auto& [path, bytes] : before) EXPECT_EQ(readFile(path), bytes) << path;
        const std::string folder = c.thumbnailFolder.empty() ? dir : dir + "/" + c.thumbnailFolder;
        for (const std::string& t : c.thumbnails) {
            EXPECT_NE(text.find("<IMG SRC=\"file:///" + folder.substr(1) + "/" + t + "\">"),
                      std::string::npos)
                << t;
        }
        std::map<std::string, ino_t> made;
        for (const std::string& t : c.thumbnails) made[t] = inodeOf(folder + "/" + t);
        EXPECT_EQ(generate(2, second), text) << "the names are stable";
        for (const std::string& t : c.thumbnails)
            EXPECT_EQ(inodeOf(folder + "/" + t), made[t]) << t << " was made again";
    }
}

// ---- the thumbnail record -------------------------------------------------------

TEST_F(AlbumRunTest, UnchangedThumbnailsAreKeptAndAnyChangeRemakesThem) {
    // Each case starts from a fresh album whose thumbnail was made once.
    struct Case {
        const char* what;
        std::function<void(const std::string& src, const std::string& t)> change;
        bool remade;
        const char* thumbnail;  // the name the second run uses
    };
    const auto records = [&] { return ThumbnailRecords::fileIn(prefs.pathThumbnail); };
    const std::vector<Case> cases = {
        {"nothing changed", [](auto&, auto&) {}, false, "photo.jpg"},
        {"source rewritten",
         [](const std::string& src, auto&) { ASSERT_TRUE(test::writeTestImage(src, 210, 150)); },
         true, "photo.jpg"},
        {"source rewritten in place, same size and time",
         [](const std::string& src, auto&) {
             struct stat st {};
             ASSERT_EQ(::stat(src.c_str(), &st), 0);
             // The JFIF header's horizontal density: other bytes, same pixels.
             std::string bytes = readFile(src);
             ASSERT_EQ(bytes.substr(0, 4), "\xff\xd8\xff\xe0");
             bytes[15] = static_cast<char>(bytes[15] ^ 0x01);
             std::fstream out(src, std::ios::in | std::ios::out | std::ios::binary);
             out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
             out.close();
             const timespec times[2] = {st.st_atim, st.st_mtim};
             ASSERT_EQ(::utimensat(AT_FDCWD, src.c_str(), times, 0), 0);
         },
         true, "photo.jpg"},
        {"thumbnail size", [&](auto&, auto&) { page.width = 41; }, true, "photo.jpg"},
        {"format (JPEG from the source's own .jpg)", [&](auto&, auto&) { page.keepSameFormat = 1; },
         true, "photo.jpg"},
        {"thumbnail deleted", [](auto&, const std::string& t) { fs::remove(t); }, true, "photo.jpg"},
        // A file that is no longer as it was made is not ours any more.
        {"thumbnail replaced",
         [](auto&, const std::string& t) { ASSERT_TRUE(test::writeBytes(t, "other")); }, true,
         "photo-2.jpg"},
        {"record damaged",
         [&](auto&, auto&) { ASSERT_TRUE(test::writeBytes(records(), "\x01garbage\n\t\t")); }, true,
         "photo-2.jpg"},
        {"record truncated",
         [&](auto&, auto&) {
             const std::string text = readFile(records());
             ASSERT_TRUE(test::writeBytes(records(), text.substr(0, text.size() - 5)));
         },
         true, "photo-2.jpg"},
        {"record removed", [&](auto&, auto&) { fs::remove(records()); }, true, "photo-2.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir);
        fs::create_directories(prefs.pathThumbnail);
        page.width = 40;
        page.keepSameFormat = 0;
        page.newFormat = 2;
        files.clear();
        const std::string src = image("s/photo.jpg", 200, 150);
        files.add(src);
        Recorder r0, r1;
        const std::string first = generate(2, r0);
        const std::string t = thumb("photo.jpg");
        const ino_t made = inodeOf(t);
        ASSERT_NE(made, 0u);
        c.change(src, t);
        const std::string kept = fs::exists(t) ? readFile(t) : "";
        const std::string text = generate(2, r1);
        const std::string now = thumb(c.thumbnail);
        EXPECT_NE(text.find(now.substr(1) + "\">"), std::string::npos);
        if (now != t && !kept.empty()) {
            EXPECT_EQ(readFile(t), kept) << "a file not ours was changed";
        } else if (now == t && !kept.empty()) {
            EXPECT_EQ(inodeOf(t) != made, c.remade);
        }
        std::string error;
        const auto header = pingImageFile(now, error);
        ASSERT_TRUE(header) << error;
        EXPECT_EQ(header->width, page.width);
        EXPECT_EQ(header->format, ImageFormat::JPEG);
        // A kept thumbnail gives the same page and reports as a made one.
        if (!c.remade) {
            EXPECT_EQ(text, first);
            EXPECT_EQ(r1.events, r0.events);
        }
    }
}

TEST_F(AlbumRunTest, RecordsOfThumbnailsThatAreGoneAreDropped) {
    const std::string kept = image("a/kept.png", 60, 50), dropped = image("b/gone.png", 60, 50);
    files.add(kept);
    files.add(dropped);
    Recorder first;
    generate(2, first);
    const std::string recordFile = ThumbnailRecords::fileIn(prefs.pathThumbnail);
    // The record names its files by their names in its folder.
    ASSERT_NE(readFile(recordFile).find("\ngone.png\t"), std::string::npos);

    // The second album leaves gone.png out; its thumbnail is deleted.
    ASSERT_TRUE(fs::remove(thumb("gone.png")));
    files.clear();
    files.add(kept);
    Recorder second;
    generate(2, second);
    const std::string text = readFile(recordFile);
    EXPECT_NE(text.find("\nkept.png\t"), std::string::npos);
    EXPECT_EQ(text.find("gone.png"), std::string::npos);
}

TEST(ThumbnailRecords, LinesRoundTripAndDamagedLinesAreRefused) {
    ThumbnailRecord r;
    r.thumbnail = "/v/a\tb\\c.png";
    r.maker = "JPEG:/v/a\tb\\c.png";
    r.recipe = kThumbnailRecipe;
    r.source = "/s/new\nline\r.png";
    r.sourceStamp = {123, 456789};
    r.sourceWidth = 640;
    r.sourceHeight = 480;
    r.width = 120;
    r.height = 90;
    r.thumbnailStamp = {77, -5};
    r.pages = {"album.html", kForeignPage};
    const std::string line = ThumbnailRecords::toLine(r, "/v");
    EXPECT_EQ(line.find('\n'), std::string::npos);
    // The line names no path outside its folder: not the folder, not the source.
    EXPECT_EQ(line.find("/v"), std::string::npos) << line;
    EXPECT_EQ(line.find("/s/"), std::string::npos) << line;
    EXPECT_EQ(ThumbnailRecords::toLine(r, "/elsewhere"), "");
    const auto back = ThumbnailRecords::fromLine(line, "/v");
    ASSERT_TRUE(back);
    EXPECT_EQ(ThumbnailRecords::toLine(*back, "/v"), line);
    EXPECT_TRUE(back->source.empty());
    EXPECT_EQ(back->thumbnail, r.thumbnail);
    EXPECT_EQ(back->maker, r.maker);
    EXPECT_EQ(back->pages, r.pages);
    const std::vector<std::string> damaged = {
        "",
        line.substr(0, line.size() - 1),                             // cut short
        line + "\textra",                                            // a field too many
        std::regex_replace(line, std::regex("\t123\t"), "\t12x\t"),  // not a number
        std::regex_replace(line, std::regex("\\\\t"), "\\q"),        // bad escape
    };
    for (const std::string& d : damaged) EXPECT_FALSE(ThumbnailRecords::fromLine(d, "/v")) << d;
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
