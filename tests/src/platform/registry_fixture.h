// The settings store's tests: a scratch store per test and what they check with.
#pragma once

#include "platform/registry.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/reg_file.h"
#include "test_support/run_in_child.h"
#include "test_support/test_files.h"

namespace lumigal::platform {

namespace fs = std::filesystem;

inline constexpr const char* kKey = "Software\\Lumigal";

inline fs::path makeScratchFolder() {
    const char* base = std::getenv("LUMIGAL_TEST_TMP");
    const fs::path root = (base && *base) ? fs::path(base) : fs::path(testing::TempDir());
    fs::create_directories(root);
    std::string pattern = (root / "registry-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed under " << root;
    return pattern;
}

using lumigal::test::readFile;

inline void writeFile(const fs::path& path, std::string_view text) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

inline std::vector<std::uint8_t> filled(std::size_t size, std::uint8_t byte) {
    return std::vector<std::uint8_t>(size, byte);
}

inline int openDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

inline std::vector<std::string> tempFilesBeside(const fs::path& file) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
        const std::string name = entry.path().filename().string();
        if (isTemporaryName(name)) names.push_back(name);
    }
    return names;
}

// Waits for a forked child; returns its exit code, or 128 + signal.
inline int waitChild(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

class RegistryTest : public testing::Test {
protected:
    void SetUp() override {
        scratch_ = makeScratchFolder();
        store_ = scratch_ / "store";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(store_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(scratch_, ignored);
    }

    fs::path keyPath() const { return store_ / "Software" / "Lumigal.reg"; }

    // A key holding the given values, made through the store.
    void makeKey(const std::vector<std::pair<std::string, RegValue>>& values) {
        Registry registry(store_);
        std::optional<RegistryKey> key;
        ASSERT_EQ(registry.createKey(kKey, key), RegStatus::Ok) << registry.lastError();
        for (const auto& [name, value] : values) {
            ASSERT_EQ(key->setValue(name, value), RegStatus::Ok);
        }
        ASSERT_EQ(key->close(), RegStatus::Ok) << key->lastError();
    }

    std::vector<std::pair<std::string, RegValue>> storedValues() {
        const RegFileParse parsed = parseRegFile(readFile(keyPath()));
        EXPECT_TRUE(parsed.ok) << parsed.errorLine << ": " << parsed.error;
        return parsed.key.values;
    }

    fs::path scratch_;
    fs::path store_;
};


}  // namespace lumigal::platform
