// Test helpers of the installer: a temporary home folder that the tests use
// in place of the user's own (HOME and XDG_* point into it while it lives),
// files made with mscompress, and snapshots of folder trees.
#pragma once

#include "test_support/test_files.h"

#include <map>
#include <string>
#include <vector>

namespace lumigal::install::test {

// Points HOME and the XDG folders at a folder below $LUMIGAL_TEST_TMP (or
// the temporary folder): called first by the test programs.
void useGuardHome();

class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::string& root() const { return root_; }
    std::string path(const std::string& relative) const { return root_ + "/" + relative; }
    std::string home() const { return path("home"); }
    std::string config() const { return path("home/.config"); }
    std::string data() const { return path("home/.local/share"); }

private:
    std::string root_;
    std::map<std::string, std::string> savedEnvironment_;
};

using lumigal::test::readFile;
void writeFile(const std::string& path, const std::string& content);
void makeFolders(const std::string& path);
bool exists(const std::string& path);
bool isExecutable(const std::string& path);

// `content` compressed with mscompress into `path`; at least 16 bytes
// (mscompress gets shorter inputs wrong).
void writeSzdd(const std::string& path, const std::string& content);
// Deterministic bytes that compress poorly.
std::string randomBytes(std::size_t size, unsigned seed);

// Every entry below `root`: path -> "d" for a folder, "l:" + target for a
// link, "f:" + content for a file.
std::map<std::string, std::string> snapshot(const std::string& root);
// The paths whose entry differs between two snapshots.
std::vector<std::string> differences(const std::map<std::string, std::string>& before,
                                     const std::map<std::string, std::string>& after);

// Runs a program and waits; returns its exit code (-1 when it could not run
// or did not exit). `output` receives its standard output and error.
int runProgram(const std::vector<std::string>& argv, std::string* output = nullptr);

// The result of desktop-file-validate on a file: empty when it has nothing
// to say (no error, warning or hint other than a Comment equal to the Name),
// else its report.
std::string desktopFileProblems(const std::string& path);

}  // namespace lumigal::install::test
