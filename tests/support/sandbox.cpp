#include "test_support/sandbox.h"
#include "test_support/test_files.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace lumigal::install::test {

namespace fs = std::filesystem;

namespace {

const char* const kVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                                  "XDG_RUNTIME_DIR"};

std::string temporaryBase() {
    const char* base = std::getenv("LUMIGAL_TEST_TMP");
    std::string folder = base != nullptr && base[0] == '/' ? base : fs::temp_directory_path();
    fs::create_directories(folder);
    return folder;
}

}  // namespace

void useGuardHome() {
    // Only the variables: listing the tests must not make folders.
    const char* base = std::getenv("LUMIGAL_TEST_TMP");
    const std::string guard =
        (base != nullptr && base[0] == '/' ? std::string(base)
                                           : fs::temp_directory_path().string()) +
        "/guard-home";
    ::setenv("HOME", guard.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (guard + "/.config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (guard + "/.local/share").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (guard + "/.cache").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (guard + "/runtime").c_str(), 1);
}

Sandbox::Sandbox() {
    std::string pattern = temporaryBase() + "/install-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    for (const char* name : kVariables) {
        const char* value = std::getenv(name);
        savedEnvironment_[name] = value != nullptr ? std::string("=") + value : "";
    }
    makeFolders(home());
    makeFolders(path("runtime"));
    fs::permissions(path("runtime"), fs::perms::owner_all);
    ::setenv("HOME", home().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config().c_str(), 1);
    ::setenv("XDG_DATA_HOME", data().c_str(), 1);
    ::setenv("XDG_CACHE_HOME", path("home/.cache").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", path("runtime").c_str(), 1);
}

Sandbox::~Sandbox() {
    for (const auto& [name, value] : savedEnvironment_) {
        if (value.empty()) {
            ::unsetenv(name.c_str());
        } else {
            ::setenv(name.c_str(), value.substr(1).c_str(), 1);
        }
    }
    std::error_code ec;
    // Folders made read-only by a test are opened again before removal.
    for (auto it = fs::recursive_directory_iterator(root_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    fs::remove_all(root_, ec);
}


void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
}

void makeFolders(const std::string& path) { fs::create_directories(path); }

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool isExecutable(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IXUSR) != 0;
}

void writeSzdd(const std::string& path, const std::string& content) {
    // mscompress 0.4 writes wrong data for inputs shorter than 16 bytes.
    if (content.size() < 16) throw std::invalid_argument("mscompress needs 16 bytes or more");
    const std::string work = path + ".mscompress";
    makeFolders(work);
    writeFile(work + "/content", content);
    if (runProgram({MSCOMPRESS_PROGRAM, work + "/content"}) != 0) {
        throw std::runtime_error("mscompress failed");
    }
    fs::rename(work + "/content_", path);
    fs::remove_all(work);
}

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

std::map<std::string, std::string> snapshot(const std::string& root) {
    std::map<std::string, std::string> entries;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string path = it->path().string();
        if (it->is_symlink(ec)) {
            entries[path] = "l:" + fs::read_symlink(it->path(), ec).string();
        } else if (it->is_directory(ec)) {
            entries[path] = "d";
        } else {
            entries[path] = "f:" + readFile(path);
        }
    }
    return entries;
}

std::vector<std::string> differences(const std::map<std::string, std::string>& before,
                                     const std::map<std::string, std::string>& after) {
    std::vector<std::string> changed;
    for (const auto& [path, entry] : before) {
        const auto found = after.find(path);
        if (found == after.end()) {
            changed.push_back("removed " + path);
        } else if (found->second != entry) {
            changed.push_back("changed " + path);
        }
    }
    for (const auto& [path, entry] : after) {
        if (!before.contains(path)) changed.push_back("added " + path);
    }
    return changed;
}

int runProgram(const std::vector<std::string>& argv, std::string* output) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    char errorName[] = "/tmp/lumigal-test-stderr-XXXXXX";
    const int errorFd = ::mkstemp(errorName);
    if (errorFd < 0) return -1;
    ::unlink(errorName);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, errorFd, 2);
    ::posix_spawn_file_actions_adddup2(&actions, errorFd, 1);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    const bool waited = spawned == 0 && ::waitpid(pid, &status, 0) == pid;
    if (output != nullptr) {
        output->clear();
        char buffer[4096];
        ::lseek(errorFd, 0, SEEK_SET);
        for (ssize_t n; (n = ::read(errorFd, buffer, sizeof buffer)) > 0;) {
            output->append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(errorFd);
    if (!waited || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string desktopFileProblems(const std::string& path) {
    std::string report;
    const int code = runProgram({DESKTOP_FILE_VALIDATE_PROGRAM, path}, &report);
    // A launcher's Comment is its description, "Lumigal" like its Name: the
    // tool notes the repetition, which is not a fault of the file.
    std::string remarks;
    std::istringstream lines(report);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("looks the same as that of key \"Name\"") == std::string::npos) {
            remarks += line + "\n";
        }
    }
    if (code == 0 && remarks.empty()) return {};
    return "desktop-file-validate " + path + " (" + std::to_string(code) + "): " + report;
}

}  // namespace lumigal::install::test
