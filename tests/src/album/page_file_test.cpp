#include "album/page_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "test_support/test_images.h"
#include "test_support/run_in_child.h"
#include "test_support/test_files.h"

namespace lumigal {
namespace {

namespace fs = std::filesystem;

using lumigal::test::readFile;

bool anyTemporaryIn(const std::string& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (platform::isTemporaryName(entry.path().filename().string())) return true;
    }
    return false;
}

// Puts a tmpfs on `folder`, seen by this process only; "" when done, else
// why it cannot be (not allowed to mount).
std::string mountTmpfs(const std::string& folder, unsigned long flags, const char* options) {
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", folder.c_str(), "tmpfs", flags, options) != 0) {
        return "cannot mount a tmpfs here (needs root in a mount namespace)";
    }
    return "";
}

// A folder of its own below the system's temporary folder, "" when none can
// be made: another user can reach it wherever the build folder lies.
std::string reachableFolder() {
    std::string pattern = (fs::temp_directory_path() / "lumigal-page-file-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return "";
    ::chmod(pattern.c_str(), 0755);
    return pattern;
}

// Each way a page can fail gets its reason, without the path; a failure
// keeps the previous page and leaves no temporary behind. The cases run in a
// child, which may mount a file system of its own or drop privileges.
TEST(PageFile, EachFailureGivesItsReasonAndKeepsThePreviousPage) {
    struct Case {
        const char* label;
        std::string name;  // of the page, in the case's folder
        std::function<std::string(const std::string& folder)> prepare;  // "" or why skipped
        std::size_t bytes;                                              // written to the page
        const char* reason;  // "" when the page is written
        bool otherUser = false;  // may run as another user: its folder lies in reach
    };
    const auto nothing = [](const std::string&) { return std::string(); };
    const std::vector<Case> cases = {
        {"long name", std::string(255, 'n'), nothing, 100, ""},
        {"name too long", std::string(256, 'n'), nothing, 100, "nom trop long"},
        {"folder", "page.html",
         [](const std::string& folder) {
             fs::remove(folder + "/page.html");
             fs::create_directory(folder + "/page.html");
             return std::string();
         },
         100, "un dossier porte ce nom"},
        {"missing folder", "missing/page.html", nothing, 100, "dossier introuvable"},
        {"read-only", "page.html",
         [](const std::string& folder) { return mountTmpfs(folder, MS_RDONLY, "size=64k"); }, 100,
         "système de fichiers en lecture seule"},
        {"disk full", "page.html",
         [](const std::string& folder) {
             std::string why = mountTmpfs(folder, 0, "size=16k");
             if (why.empty()) test::writeBytes(folder + "/page.html", "old");
             return why;
         },
         1 << 20, "disque plein"},
        {"permission", "page.html",
         [](const std::string& folder) {
             ::chmod(folder.c_str(), 0555);
             // Root writes anywhere: the case runs as nobody then.
             if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
                 return std::string("cannot drop root privileges");
             }
             if (::access(folder.c_str(), R_OK | X_OK) != 0) {
                 return "uid " + std::to_string(::getuid()) + " cannot enter " + folder;
             }
             return std::string();
         },
         100, "accès refusé", true},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::string folder = c.otherUser ? reachableFolder()
                                               : test::makeTempFolder("page-file-" + std::to_string(index));
        ++index;
        ASSERT_FALSE(folder.empty()) << c.label << ": no folder in " << fs::temp_directory_path();
        test::writeBytes(folder + "/page.html", "old");
        const std::string page = folder + "/" + c.name;
        const test::ChildResult child = test::runInChild(
            [&](int out) {
                std::string report = c.prepare(folder);
                if (report.empty()) {
                    PageFile file;
                    const bool ok =
                        file.create(page) && (file.write(std::string(c.bytes, 'x')), file.commit());
                    const bool kept = ok || !fs::exists(folder + "/page.html") ||
                                      fs::is_directory(folder + "/page.html") ||
                                      readFile(folder + "/page.html") == "old";
                    const bool written = !ok || readFile(page) == std::string(c.bytes, 'x');
                    report =
                        "reason=" + file.reason() + (kept ? "" : " (previous page lost)") +
                        (written ? "" : " (page not written whole)") +
                        (fs::exists(folder) && anyTemporaryIn(folder) ? " (temporary left)" : "");
                }
                return ::write(out, report.data(), report.size()) > 0 ? 0 : 1;
            },
            30);
        ::chmod(folder.c_str(), 0755);
        if (c.otherUser) fs::remove_all(folder);
        ASSERT_FALSE(child.timedOut) << c.label;
        EXPECT_EQ(child.code, 0) << c.label;
        if (!child.output.starts_with("reason=")) {
            std::printf("[ SKIPPED  ] %s: %s\n", c.label, child.output.c_str());
            continue;
        }
        EXPECT_EQ(child.output, std::string("reason=") + c.reason) << c.label;
    }
}

TEST(PageFile, CreatingAPageRemovesTemporariesThatAKilledRunLeft) {
    const std::string folder = test::makeTempFolder("page-file-stale");
    const std::string stale = folder + "/.lumigal-k1LLed00.tmp";
    ASSERT_TRUE(test::writeBytes(stale, "half a page"));
    PageFile file;
    ASSERT_TRUE(file.create(folder + "/index.html"));
    EXPECT_FALSE(fs::exists(stale));
    file.write("page");
    ASSERT_TRUE(file.commit()) << file.reason();
    EXPECT_EQ(readFile(folder + "/index.html"), "page");
}

}  // namespace
}  // namespace lumigal
