#include "album/thumbnail_record.h"
#include "album/thumbnail_names.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "test_support/test_images.h"
#include "test_support/run_in_child.h"
#include "test_support/test_files.h"

namespace lumigal {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRecipe = "recipe 1";

using lumigal::test::readFile;

// Sets the modification time of `path` to `ns` nanoseconds (the change time
// becomes now).
void setMtime(const std::string& path, std::int64_t ns) {
    const timespec t{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    const timespec times[2] = {t, t};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// A source and its thumbnail on disk, and the record that describes them.
struct Made {
    std::string source, thumbnail;
    ThumbnailRecord record;
};

Made makeRecorded(const std::string& folder) {
    Made m{folder + "/photo.jpg", folder + "/photo-t.jpg", {}};
    test::writeBytes(m.source, "the photo bytes");
    setMtime(m.source, 1600000000123456789);
    test::writeBytes(m.thumbnail, "thumb");
    ThumbnailRecord& r = m.record;
    r.thumbnail = m.thumbnail;
    r.maker = m.thumbnail;
    r.recipe = kRecipe;
    r.source = m.source;
    r.sourceStamp = *stampOfFile(m.source);
    r.sourceWidth = 640;
    r.sourceHeight = 480;
    r.width = 75;
    r.height = 56;
    r.thumbnailStamp = *stampOfFile(m.thumbnail);
    return m;
}

const ThumbnailRecord* lookUp(const ThumbnailRecords& records, const Made& m) {
    const std::optional<FileStamp> now = stampOfFile(m.source);
    if (!now) return nullptr;
    return records.upToDate(m.thumbnail, m.thumbnail, kRecipe, m.source, *now, 75, 56);
}

// A source rewritten in place, or replaced, keeps its size and time stamp:
// its thumbnail is no longer up to date all the same.
TEST(ThumbnailRecordKey, ASourceChangedBehindAKeptSizeAndTimeIsNotUpToDate) {
    struct Case {
        const char* label;
        std::function<void(const std::string& source)> change;
        bool upToDate;
    };
    const auto keepTime = [](const std::string& source, const std::function<void()>& write) {
        const FileStamp before = *stampOfFile(source);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a later change time
        write();
        setMtime(source, before.mtimeNs);
    };
    const std::vector<Case> cases = {
        {"unchanged", [](const std::string&) {}, true},
        {"rewritten in place",
         [&](const std::string& source) {
             keepTime(source,
                      [&] { std::ofstream(source, std::ios::in | std::ios::out) << "THE"; });
         },
         false},
        {"replaced",
         [&](const std::string& source) {
             keepTime(source, [&] {
                 test::writeBytes(source + ".new", "the PHOTO bytes");
                 fs::rename(source + ".new", source);
             });
         },
         false},
        {"touched", [](const std::string& source) { setMtime(source, 1700000000000000000); },
         false},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::string folder = test::makeTempFolder("record-key-" + std::to_string(index++));
        const Made m = makeRecorded(folder);
        ThumbnailRecords records;
        records.put(m.record);
        c.change(m.source);
        ASSERT_EQ(stampOfFile(m.source)->size, m.record.sourceStamp.size) << c.label;
        EXPECT_EQ(lookUp(records, m) != nullptr, c.upToDate) << c.label;
    }
}

// A record of the earlier format (no inodes, no change times) still names
// our thumbnails, but none of them is up to date: each is made again once.
TEST(ThumbnailRecordKey, EarlierRecordsNameOurThumbnailsButAreNotUpToDate) {
    const std::string folder = test::makeTempFolder("record-version-1");
    const Made kept = makeRecorded(folder);
    Made changed = kept;
    changed.thumbnail = folder + "/other-t.jpg";
    changed.record.thumbnail = changed.record.maker = changed.thumbnail;
    test::writeBytes(changed.thumbnail, "thumbnail changed since");
    const auto version1 = [](const ThumbnailRecord& r) {
        // thumbnail maker recipe source size mtime sw sh w h size mtime ok
        return r.thumbnail + '\t' + r.maker + '\t' + r.recipe + '\t' + r.source + '\t' +
               std::to_string(r.sourceStamp.size) + '\t' + std::to_string(r.sourceStamp.mtimeNs) +
               "\t640\t480\t75\t56\t" + std::to_string(r.thumbnailStamp.size) + '\t' +
               std::to_string(r.thumbnailStamp.mtimeNs) + "\tok\n";
    };
    const std::string file = ThumbnailRecords::fileIn(folder);
    test::writeBytes(file,
                     "lumigal-vignettes 1\n" + version1(kept.record) + version1(changed.record));
    ThumbnailRecords records;
    records.load(file);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records.find(kept.thumbnail)->thumbnailStamp, *stampOfFile(kept.thumbnail));
    EXPECT_NE(records.find(changed.thumbnail)->thumbnailStamp, *stampOfFile(changed.thumbnail));
    EXPECT_EQ(lookUp(records, kept), nullptr);

    // Once made again and saved, the thumbnail is up to date.
    records.put(kept.record);
    std::string error;
    ASSERT_TRUE(records.save(file, error)) << error;
    ThumbnailRecords again;
    again.load(file);
    EXPECT_NE(lookUp(again, kept), nullptr);
}

// Whatever sits under the record's name, a load ends at once within little
// memory and gives no records; a save then puts a record file in its place
// without writing through a link or into a pipe (a folder stays).
TEST(ThumbnailRecordFile, APlantedRecordNeverHoldsUpARun) {
    struct Case {
        const char* label;
        std::function<void(const std::string& file, const std::string& folder)> plant;
        bool saved;
    };
    const std::vector<Case> cases = {
        {"pipe", [](const std::string& f, const std::string&) { ::mkfifo(f.c_str(), 0644); }, true},
        {"link to a device",
         [](const std::string& f, const std::string&) { fs::create_symlink("/dev/zero", f); },
         true},
        {"link to a file",
         [](const std::string& f, const std::string& folder) {
             test::writeBytes(folder + "/mine.txt", "lumigal-vignettes 2\n");
             fs::create_symlink(folder + "/mine.txt", f);
         },
         true},
        {"huge file",
         [](const std::string& f, const std::string&) {
             test::writeBytes(f, "lumigal-vignettes 2\n");
             fs::resize_file(f, std::uintmax_t{300} << 20);
         },
         true},
        {"huge line",
         [](const std::string& f, const std::string&) {
             test::writeBytes(f, "lumigal-vignettes 2\n" + std::string(20 << 20, '\t') + "\n");
         },
         true},
        {"folder", [](const std::string& f, const std::string&) { fs::create_directory(f); },
         false},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::string folder =
            test::makeTempFolder("record-planted-" + std::to_string(index++));
        const std::string file = ThumbnailRecords::fileIn(folder);
        c.plant(file, folder);
        const test::ChildResult child = test::runInChild(
            [&](int) {
                ThumbnailRecords records;
                rusage before{};
                ::getrusage(RUSAGE_SELF, &before);
                records.load(file);
                rusage after{};
                ::getrusage(RUSAGE_SELF, &after);
                const long grownMb = (after.ru_maxrss - before.ru_maxrss) / 1024;
                return records.size() == 0 && grownMb < 64 ? 0 : 1;
            },
            20);
        EXPECT_FALSE(child.timedOut) << c.label;
        EXPECT_EQ(child.code, 0) << c.label << ": records read or too much memory";

        const Made m = makeRecorded(folder);
        ThumbnailRecords records;
        records.put(m.record);
        std::string error;
        EXPECT_EQ(records.save(file, error), c.saved) << c.label << ": " << error;
        if (!c.saved) {
            EXPECT_NE(error.find("un dossier porte ce nom"), std::string::npos) << error;
            continue;
        }
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file))) << c.label;
        ThumbnailRecords back;
        back.load(file);
        EXPECT_NE(lookUp(back, m), nullptr) << c.label;
        if (fs::exists(folder + "/mine.txt")) {
            EXPECT_EQ(readFile(folder + "/mine.txt"), "lumigal-vignettes 2\n");
        }
    }
}

TEST(ThumbnailRecordFile, LoadingRemovesTemporariesThatAKilledRunLeft) {
    const std::string folder = test::makeTempFolder("record-stale");
    const std::string stale = folder + "/.lumigal-k1LLed00.tmp";
    ASSERT_TRUE(test::writeBytes(stale, "half a thumbnail"));
    ThumbnailRecords records;
    records.load(ThumbnailRecords::fileIn(folder));
    EXPECT_FALSE(fs::exists(stale));
}

// Names differ with case ignored, among themselves and from the files of
// the folder that are not ours: the album may go to a disk that ignores case.
TEST(ThumbnailNamesCase, NamesNeverDifferOnlyByCase) {
    struct Case {
        std::vector<std::string> sources;
        std::vector<std::string> present;  // files in the folder, not ours
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {{"/s/A.jpg", "/s/x/a.JPG", "/s/y/a.jpg"}, {}, {"A.jpg", "a-2.JPG", "a-3.jpg"}},
        {{"/s/Été.png", "/s/x/été.png"}, {}, {"Été.png", "été-2.png"}},
        {{"/s/photo.jpg"}, {"PHOTO.JPG"}, {"photo-2.jpg"}},
        {{"/s/a-2.jpg", "/s/A.jpg", "/s/x/a.jpg"}, {}, {"a-2.jpg", "A.jpg", "a-3.jpg"}},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::string folder = test::makeTempFolder("names-case-" + std::to_string(index++));
        for (const std::string& name : c.present) test::writeBytes(folder + "/" + name, "theirs");
        std::vector<const std::string*> sources;
        for (const std::string& s : c.sources) sources.push_back(&s);
        const std::vector<ThumbnailNames> names =
            uniqueThumbnailNames(sources, folder, true, 0, ThumbnailRecords(), folder + "/p.htm");
        std::vector<std::string> got;
        for (const ThumbnailNames& n : names) got.push_back(n.page.substr(folder.size() + 1));
        EXPECT_EQ(got, c.expected) << index;
    }
}

// A file that a page made and no longer links goes, unless another page
// links it or it changed since (then it is not ours: only its record goes).
TEST(ThumbnailRecordPages, OnlyOurUnlinkedFilesAreRemoved) {
    const std::string folder = test::makeTempFolder("record-pages");
    const auto made = [&](const std::string& name, std::vector<std::string> pages) {
        const std::string path = folder + "/" + name;
        test::writeBytes(path, name);
        ThumbnailRecord r;
        r.thumbnail = r.maker = path;
        r.recipe = kRecipe;
        r.thumbnailStamp = *stampOfFile(path);
        r.pages = std::move(pages);
        return r;
    };
    ThumbnailRecords records;
    records.put(made("linked.jpg", {"p.html"}));
    records.put(made("unlinked.jpg", {"p.html"}));
    records.put(made("shared.jpg", {"p.html", "q.html"}));
    records.put(made("foreign.jpg", {kForeignPage}));
    records.put(made("changed.jpg", {"p.html"}));
    records.claim(folder + "/claimed.jpg", folder + "/claimed.jpg", "p.html");
    test::writeBytes(folder + "/claimed.jpg", "left by a killed run");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    test::writeBytes(folder + "/changed.jpg", "the user's own now");
    EXPECT_EQ(records.removeUnlinked("p.html", {folder + "/linked.jpg"}), 2u);
    for (const auto& [name, kept] : std::vector<std::pair<std::string, bool>>{
             {"linked.jpg", true}, {"unlinked.jpg", false}, {"shared.jpg", true},
             {"foreign.jpg", true}, {"changed.jpg", true}, {"claimed.jpg", false}}) {
        EXPECT_EQ(fs::exists(folder + "/" + name), kept) << name;
    }
    EXPECT_EQ(records.find(folder + "/changed.jpg"), nullptr);
    EXPECT_EQ(records.find(folder + "/shared.jpg")->pages, std::vector<std::string>{"q.html"});
}

}  // namespace
}  // namespace lumigal
