#include "platform/atomic_file.h"
#include "test_support/test_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace lumigal::platform {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("LUMIGAL_TEST_TMP");
        const fs::path root = (base && *base) ? fs::path(base) : fs::path(testing::TempDir());
        fs::create_directories(root);
        std::string pattern = (root / "atomic-XXXXXX").string();
        ASSERT_TRUE(::mkdtemp(pattern.data()));
        folder_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    std::vector<std::string> temporaries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            const std::string name = entry.path().filename().string();
            if (isTemporaryName(name)) names.push_back(name);
        }
        return names;
    }

    fs::path folder_;
};

using lumigal::test::readFile;

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Where each target ends; every case leaves no temporary behind.
TEST_F(AtomicFileTest, ReplacesOrFailsBeforeWritingAndLeavesNoTemporary) {
    fs::create_directory(folder_ / "sub");
    struct Case {
        std::string target;  // relative to the folder
        int err;             // 0: written
    };
    const std::vector<Case> cases = {
        {"page.html", 0},
        {std::string(255, 'p'), 0},  // the longest name the folder takes
        {std::string(256, 'p'), ENAMETOOLONG},
        {"sub", EISDIR},
        {"missing/page.html", ENOENT},
    };
    for (const Case& c : cases) {
        const fs::path target = folder_ / c.target;
        ReplaceError error;
        const bool ok = replaceFile(target.string(), "new", error);
        EXPECT_EQ(ok, c.err == 0) << c.target.size();
        EXPECT_EQ(error.err, c.err) << c.target.size();
        if (ok) {
            EXPECT_EQ(readFile(target), "new");
        } else {
            EXPECT_EQ(error.step, ReplaceStep::Create);
        }
        EXPECT_TRUE(temporaries().empty()) << c.target.size();
    }
}

TEST_F(AtomicFileTest, StreamedPiecesArriveWholeAndInOrder) {
    const fs::path target = folder_ / "out";
    writeFile(target, "old");
    std::string expected;
    AtomicFile file;
    ASSERT_TRUE(file.create(target.string()));
    for (int i = 0; i < 5000; ++i) {
        const std::string piece =
            std::to_string(i) + (i % 1000 == 0 ? std::string(70000, 'x') : ",");
        ASSERT_TRUE(file.write(piece));
        expected += piece;
    }
    EXPECT_EQ(readFile(target), "old");  // nothing shows before the commit
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(readFile(target), expected);
    EXPECT_TRUE(temporaries().empty());
}

// A writer killed in the middle leaves its temporary; the next cleaning
// removes it, and only it: a live writer's temporary, names that are not of
// our pattern, and anything but a regular file stay.
TEST_F(AtomicFileTest, OnlyTemporariesOfDeadWritersAreRemoved) {
    const std::string target = (folder_ / "page.html").string();
    const auto writer = [&](bool commitOnRequest) {
        int ask[2];
        EXPECT_EQ(::pipe(ask), 0);
        struct Writer {
            pid_t pid;
            int ask;
        };
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            AtomicFile file;
            if (!file.create(target) || !file.write("from the writer")) ::_exit(2);
            (void)!::write(ready[1], "r", 1);
            char c = 0;
            if (::read(ask[0], &c, 1) != 1 || !commitOnRequest) ::pause();
            ::_exit(file.commit() ? 0 : 3);
        }
        char c = 0;
        EXPECT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        ::close(ask[0]);
        return Writer{pid, ask[1]};
    };
    const auto killed = writer(false);
    ::kill(killed.pid, SIGKILL);
    ::waitpid(killed.pid, nullptr, 0);
    ASSERT_EQ(temporaries().size(), 1u);
    const std::string dead = temporaries().front();
    const auto live = writer(true);
    std::vector<std::string> both = temporaries();
    ASSERT_EQ(both.size(), 2u);
    const std::string working = both[0] == dead ? both[1] : both[0];

    struct Planted {
        std::string name;
        char kind;   // 'f' file, 'p' pipe, 'l' link to a file, 'd' folder
        int ageSec;  // how old its modification time is
        bool removed;
    };
    const std::vector<Planted> planted = {
        {".lumigal-Ab3dE6gH.tmp", 'f', 0, true},           // our pattern, no writer
        {".lumigal-123-4-0badf00d.tmp", 'f', 3600, true},  // an earlier version's, old
        {".lumigal-123-5-0badf00d.tmp", 'f', 0, false},    // ... that may still be written
        {".lumigal-Ab3dE6g.tmp", 'f', 0, false},
        {".lumigal-Ab3dE6gH.tmpx", 'f', 0, false},
        {"x.lumigal-Ab3dE6gH.tmp", 'f', 0, false},
        {"page.html.Ab3dE6", 'f', 3600, false},  // could be anybody's
        {".lumigal-Pipe0000.tmp", 'p', 3600, false},
        {".lumigal-Link0000.tmp", 'l', 0, false},
        {".lumigal-Fold0000.tmp", 'd', 3600, false},
    };
    writeFile(folder_ / "linked", "keep me");
    for (const Planted& p : planted) {
        const fs::path path = folder_ / p.name;
        if (p.kind == 'f') writeFile(path, "x");
        if (p.kind == 'p') {
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        }
        if (p.kind == 'l') fs::create_symlink(folder_ / "linked", path);
        if (p.kind == 'd') fs::create_directory(path);
        const timespec times[2] = {{time(nullptr) - p.ageSec, 0}, {time(nullptr) - p.ageSec, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
    }

    EXPECT_EQ(removeStaleTemporaries(folder_.string()), 3u);
    EXPECT_FALSE(fs::exists(folder_ / dead));
    EXPECT_TRUE(fs::exists(folder_ / working));
    for (const Planted& p : planted) {
        EXPECT_EQ(fs::exists(fs::symlink_status(folder_ / p.name)), !p.removed) << p.name;
    }
    EXPECT_EQ(readFile(folder_ / "linked"), "keep me");
    ASSERT_EQ(::write(live.ask, "c", 1), 1);
    int status = 0;
    ::waitpid(live.pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readFile(target), "from the writer");
    EXPECT_FALSE(fs::exists(folder_ / working));
}

}  // namespace
}  // namespace lumigal::platform
