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
namespace {

namespace fs = std::filesystem;

constexpr const char* kKey = "Software\\Lumigal";

fs::path makeScratchFolder() {
    const char* base = std::getenv("LUMIGAL_TEST_TMP");
    const fs::path root = (base && *base) ? fs::path(base) : fs::path(testing::TempDir());
    fs::create_directories(root);
    std::string pattern = (root / "registry-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed under " << root;
    return pattern;
}

using lumigal::test::readFile;

void writeFile(const fs::path& path, std::string_view text) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::vector<std::uint8_t> filled(std::size_t size, std::uint8_t byte) {
    return std::vector<std::uint8_t>(size, byte);
}

int openDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

std::vector<std::string> tempFilesBeside(const fs::path& file) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
        const std::string name = entry.path().filename().string();
        if (isTemporaryName(name)) names.push_back(name);
    }
    return names;
}

// Waits for a forked child; returns its exit code, or 128 + signal.
int waitChild(pid_t pid) {
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

TEST_F(RegistryTest, KeyPathsMapToFilesAndOddNamesAreRefused) {
    const Registry registry(store_);
    EXPECT_EQ(registry.keyFile("Software\\Lumigal"), store_ / "Software" / "Lumigal.reg");
    EXPECT_EQ(registry.keyFile("Lumigal"), store_ / "Lumigal.reg");
    EXPECT_EQ(registry.keyFile("A\\B c\\é..d"), store_ / "A" / "B c" / "é..d.reg");
    for (std::string_view bad :
         {"", "\\", "\\Software", "Software\\", "Software\\\\Lumigal", ".", "..", "Software\\.",
          "Software\\..\\..\\etc", "a/b", "/etc/passwd", "Soft\nware", "Soft\tware"}) {
        EXPECT_FALSE(registry.keyFile(bad)) << bad;
    }
    EXPECT_FALSE(registry.keyFile(std::string_view("Soft\0ware", 9)));

    Registry writable(store_);
    std::optional<RegistryKey> key;
    EXPECT_EQ(writable.createKey("Software\\..\\x", key), RegStatus::BadName);
    EXPECT_EQ(writable.openKey("..", KeyAccess::Read, key), RegStatus::BadName);
    EXPECT_EQ(writable.deleteKey("a/b"), RegStatus::BadName);
    EXPECT_FALSE(key);
    EXPECT_FALSE(fs::exists(store_));
}

TEST_F(RegistryTest, DefaultFolderFollowsXdgConfigHome) {
    const char* savedConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string config = savedConfig ? savedConfig : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";

    ::setenv("XDG_CONFIG_HOME", "/srv/conf", 1);
    EXPECT_EQ(Registry::defaultFolder(), fs::path("/srv/conf/lumigal"));
    ::setenv("XDG_CONFIG_HOME", "relative/conf", 1);  // not absolute: ignored
    ::setenv("HOME", "/home/ana", 1);
    EXPECT_EQ(Registry::defaultFolder(), fs::path("/home/ana/.config/lumigal"));
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(Registry::defaultFolder(), fs::path("/home/ana/.config/lumigal"));

    if (savedConfig) {
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    }
    ::setenv("HOME", home.c_str(), 1);
}

TEST_F(RegistryTest, OpeningAMissingKeyFailsAndCreatesNothing) {
    Registry registry(store_);
    std::optional<RegistryKey> key;
    for (KeyAccess access : {KeyAccess::Read, KeyAccess::AllAccess}) {
        EXPECT_EQ(registry.openKey(kKey, access, key), RegStatus::NotFound);
        EXPECT_FALSE(key);
        EXPECT_NE(registry.lastError().find("Lumigal.reg"), std::string::npos)
            << registry.lastError();
    }
    EXPECT_EQ(registry.deleteKey(kKey), RegStatus::NotFound);
    EXPECT_FALSE(fs::exists(store_));
}

TEST_F(RegistryTest, CreateMakesAnEmptyKeyOnceAndThenOpensIt) {
    Registry registry(store_);
    std::optional<RegistryKey> key;
    bool created = false;
    ASSERT_EQ(registry.createKey(kKey, key, &created), RegStatus::Ok) << registry.lastError();
    EXPECT_TRUE(created);
    EXPECT_TRUE(key->valueNames().empty());
    EXPECT_TRUE(fs::is_regular_file(keyPath()));
    EXPECT_TRUE(storedValues().empty());
    ASSERT_EQ(key->setDword("bip", 1), RegStatus::Ok);
    ASSERT_EQ(key->close(), RegStatus::Ok);

    ASSERT_EQ(registry.createKey(kKey, key, &created), RegStatus::Ok);
    EXPECT_FALSE(created);
    std::uint32_t bip = 0;
    EXPECT_EQ(key->queryDword("bip", bip), RegStatus::Ok);
    EXPECT_EQ(bip, 1u);
}

TEST_F(RegistryTest, TypedValuesRoundTripThroughTheFile) {
    std::vector<std::uint8_t> every;
    for (int b = 0; b < 256; ++b) every.push_back(static_cast<std::uint8_t>(b));
    const std::vector<std::pair<std::string, RegValue>> values = {
        {"bip", {REG_DWORD, {1, 0, 0, 0}}},
        {"table_bordercolor", {REG_DWORD, {0x10, 0x20, 0x30, 0x00}}},
        {"pathSave", {REG_SZ, {'/', 'h', '"', '\\', 0xC3, 0xA9}}},
        {"odd", {REG_SZ, every}},
        {"blob", {REG_BINARY, every}},
        {"q", {REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}}},
        {"", {REG_SZ, {'d'}}},
    };
    makeKey(values);
    EXPECT_EQ(storedValues(), values);

    Registry registry(store_);
    std::optional<RegistryKey> key;
    ASSERT_EQ(registry.openKey(kKey, KeyAccess::Read, key), RegStatus::Ok);
    std::vector<std::string> names;
    for (const auto& [name, value] : values) {
        names.push_back(name);
        RegValue read;
        ASSERT_EQ(key->queryValue(name, read), RegStatus::Ok) << name;
        EXPECT_EQ(read, value) << name;
    }
    EXPECT_EQ(key->valueNames(), names);
    const std::string text = readFile(keyPath());
    EXPECT_NE(text.find("\"bip\"=dword:00000001\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"table_bordercolor\"=dword:00302010\n"), std::string::npos) << text;
}

TEST_F(RegistryTest, QueriesFollowTheCallersBufferAndTheValuesSize) {
    makeKey({{"four", {REG_BINARY, {0x78, 0x56, 0x34, 0x12}}},
             {"two", {REG_DWORD, {1, 2}}},
             {"eight", {REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}}},
             {"text", {REG_SZ, {'a', 'b', 'c'}}},
             {"textNul", {REG_SZ, {'a', 'b', 'c', 0}}},
             {"inner", {REG_SZ, {'a', 0, 'b'}}}});
    Registry registry(store_);
    std::optional<RegistryKey> key;
    ASSERT_EQ(registry.openKey(kKey, KeyAccess::Read, key), RegStatus::Ok);

    std::uint32_t number = 7;
    EXPECT_EQ(key->queryDword("FOUR", number), RegStatus::Ok);  // any type, any case
    EXPECT_EQ(number, 0x12345678u);
    number = 7;
    EXPECT_NE(key->queryDword("two", number), RegStatus::Ok);
    EXPECT_EQ(key->queryDword("eight", number), RegStatus::MoreData);
    EXPECT_EQ(key->queryDword("missing", number), RegStatus::NotFound);
    EXPECT_EQ(number, 7u);

    struct StringCase {
        const char* name;
        std::size_t maxChars;
        RegStatus status;
        std::string text;
    };
    for (const StringCase& c :
         {StringCase{"text", 3, RegStatus::Ok, "abc"},
          StringCase{"text", 2, RegStatus::MoreData, "unchanged"},
          StringCase{"textNul", 3, RegStatus::Ok, "abc"},
          StringCase{"inner", SIZE_MAX, RegStatus::Ok, "a"},
          StringCase{"missing", SIZE_MAX, RegStatus::NotFound, "unchanged"}}) {
        std::string text = "unchanged";
        EXPECT_EQ(key->queryString(c.name, text, c.maxChars), c.status) << c.name;
        EXPECT_EQ(text, c.text) << c.name;
    }

    RegValue value{REG_NONE, {9}};
    EXPECT_EQ(key->queryValue("eight", value, 7), RegStatus::MoreData);
    EXPECT_EQ(value, (RegValue{REG_NONE, {9}}));
    EXPECT_EQ(key->queryValue("eight", value, 8), RegStatus::Ok);
    EXPECT_EQ(value.type, REG_QWORD);
}

TEST_F(RegistryTest, AReadHandleRefusesWritesAndLeavesTheFile) {
    makeKey({{"bip", {REG_DWORD, {1, 0, 0, 0}}}});
    const std::string before = readFile(keyPath());
    Registry registry(store_);
    std::optional<RegistryKey> key;
    ASSERT_EQ(registry.openKey(kKey, KeyAccess::Read, key), RegStatus::Ok);
    EXPECT_EQ(key->setDword("bip", 0), RegStatus::AccessDenied);
    EXPECT_EQ(key->setString("pathSave", "/x"), RegStatus::AccessDenied);
    EXPECT_FALSE(key->lastError().empty());
    std::uint32_t bip = 0;
    EXPECT_EQ(key->queryDword("bip", bip), RegStatus::Ok);
    EXPECT_EQ(bip, 1u);
    EXPECT_EQ(key->close(), RegStatus::Ok);
    EXPECT_EQ(readFile(keyPath()), before);
}

TEST_F(RegistryTest, SettingAnExistingNameInOtherCaseReplacesIt) {
    makeKey({{"nbThumbByLine", {REG_DWORD, {5, 0, 0, 0}}}});
    Registry registry(store_);
    std::optional<RegistryKey> key;
    ASSERT_EQ(registry.openKey(kKey, KeyAccess::AllAccess, key), RegStatus::Ok);
    ASSERT_EQ(key->setDword("NBTHUMBBYLINE", 9), RegStatus::Ok);
    ASSERT_EQ(key->close(), RegStatus::Ok);
    const auto values = storedValues();
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].first, "nbThumbByLine");
    EXPECT_EQ(values[0].second, (RegValue{REG_DWORD, {9, 0, 0, 0}}));
}

TEST_F(RegistryTest, ValueNamesThatCannotBeStoredAreRefused) {
    makeKey({});
    Registry registry(store_);
    std::optional<RegistryKey> key;
    ASSERT_EQ(registry.openKey(kKey, KeyAccess::AllAccess, key), RegStatus::Ok);
    EXPECT_EQ(key->setDword("a\nb", 1), RegStatus::BadName);
    EXPECT_EQ(key->setDword(std::string_view("a\0b", 3), 1), RegStatus::BadName);
    EXPECT_EQ(key->setDword("caf\xE9", 1), RegStatus::BadName);
    EXPECT_EQ(key->close(), RegStatus::Ok);
    EXPECT_TRUE(storedValues().empty());
}

TEST_F(RegistryTest, ClosingWithoutChangesDoesNotRewrite) {
    makeKey({{"bip", {REG_DWORD, {0, 0, 0, 0}}}});
    struct stat before {};
    ASSERT_EQ(::stat(keyPath().c_str(), &before), 0);
    Registry registry(store_);
    std::optional<RegistryKey> key;
    ASSERT_EQ(registry.openKey(kKey, KeyAccess::AllAccess, key), RegStatus::Ok);
    EXPECT_EQ(key->close(), RegStatus::Ok);
    struct stat after {};
    ASSERT_EQ(::stat(keyPath().c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);  // a write renames a new file in
}

TEST_F(RegistryTest, TheDestructorWritesPendingValuesAndNoDescriptorLeaks) {
    makeKey({});
    const int descriptors = openDescriptorCount();
    {
        Registry registry(store_);
        std::optional<RegistryKey> key;
        ASSERT_EQ(registry.openKey(kKey, KeyAccess::AllAccess, key), RegStatus::Ok);
        ASSERT_EQ(key->setDword("launch", 1), RegStatus::Ok);
        RegistryKey moved = std::move(*key);  // the moved-from handle writes nothing
        key.reset();
    }
    EXPECT_EQ(openDescriptorCount(), descriptors);
    EXPECT_EQ(
        storedValues(),
        (std::vector<std::pair<std::string, RegValue>>{{"launch", {REG_DWORD, {1, 0, 0, 0}}}}));
    EXPECT_TRUE(tempFilesBeside(keyPath()).empty());
}

TEST_F(RegistryTest, DeleteRemovesTheKey) {
    makeKey({{"bip", {REG_DWORD, {1, 0, 0, 0}}}});
    Registry registry(store_);
    EXPECT_EQ(registry.deleteKey(kKey), RegStatus::Ok);
    EXPECT_FALSE(fs::exists(keyPath()));
    std::optional<RegistryKey> key;
    EXPECT_EQ(registry.openKey(kKey, KeyAccess::Read, key), RegStatus::NotFound);
    EXPECT_EQ(registry.deleteKey(kKey), RegStatus::NotFound);
}

TEST_F(RegistryTest, AKeyDeletedWhileOpenIsNotBroughtBack) {
    makeKey({});
    Registry registry(store_);
    std::optional<RegistryKey> key;
    ASSERT_EQ(registry.openKey(kKey, KeyAccess::AllAccess, key), RegStatus::Ok);
    ASSERT_EQ(key->setDword("bip", 1), RegStatus::Ok);
    ASSERT_EQ(registry.deleteKey(kKey), RegStatus::Ok);
    EXPECT_EQ(key->close(), RegStatus::NotFound);
    EXPECT_FALSE(key->lastError().empty());
    EXPECT_FALSE(fs::exists(keyPath()));
}

struct DamagedFile {
    const char* label;
    std::string text;
    const char* where;  // what the message must name
};

class RegistryDamagedTest : public RegistryTest, public testing::WithParamInterface<DamagedFile> {};

TEST_P(RegistryDamagedTest, IsReportedAndNeverOverwritten) {
    const DamagedFile& c = GetParam();
    writeFile(keyPath(), c.text);
    Registry registry(store_);
    std::optional<RegistryKey> key;
    for (KeyAccess access : {KeyAccess::Read, KeyAccess::AllAccess}) {
        EXPECT_EQ(registry.openKey(kKey, access, key), RegStatus::Damaged);
        EXPECT_FALSE(key);
        EXPECT_NE(registry.lastError().find(keyPath().string()), std::string::npos)
            << registry.lastError();
        EXPECT_NE(registry.lastError().find(c.where), std::string::npos) << registry.lastError();
    }
    EXPECT_EQ(registry.createKey(kKey, key), RegStatus::Damaged);
    EXPECT_EQ(readFile(keyPath()), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegistryDamagedTest,
    testing::Values(
        DamagedFile{"Empty", "", "ligne 1"},
        DamagedFile{"Truncated", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Lumigal]\n\"bip\"=dwo",
                    "ligne 4"},
        DamagedFile{"BrokenString",
                    "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Lumigal]\n\"a\"=dword:1\n"
                    "\"pathSave\"=\"/home\n",
                    "ligne 5"},
        DamagedFile{"AnotherKey", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Other]\n",
                    "Software\\Other"},
        DamagedFile{"Garbage", std::string("\x89PNG\r\n\x1a\n\0\0\0", 11), "ligne 1"}),
    [](const testing::TestParamInfo<DamagedFile>& info) { return info.param.label; });

// Something planted in place of the key file is reported at once (the open
// never waits on a pipe, nothing is read from a device) and left as it is.
TEST_F(RegistryTest, APlantedKeyFileIsReportedAtOnceAndLeftAlone) {
    struct Case {
        const char* label;
        char kind;          // 'p' pipe, 'z' link to /dev/zero, 'b' huge file
        const char* where;  // what the message must say
    };
    for (const Case& c : {Case{"pipe", 'p', "n'est pas un fichier ordinaire"},
                          Case{"device", 'z', "n'est pas un fichier ordinaire"},
                          Case{"huge", 'b', "taille anormale"}}) {
        fs::remove_all(store_);
        fs::create_directories(keyPath().parent_path());
        const std::string file = keyPath().string();
        if (c.kind == 'p') {
            ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
        }
        if (c.kind == 'z') fs::create_symlink("/dev/zero", keyPath());
        if (c.kind == 'b') {
            writeFile(keyPath(), "REGEDIT4\n");
            fs::resize_file(keyPath(), std::uintmax_t{65} << 20);
        }
        const test::ChildResult child = test::runInChild(
            [&](int out) {
                Registry registry(store_);
                std::optional<RegistryKey> key;
                std::string report;
                for (KeyAccess access : {KeyAccess::Read, KeyAccess::AllAccess}) {
                    if (registry.openKey(kKey, access, key) != RegStatus::Ok) {
                        report += registry.lastError() + "\n";
                    }
                }
                if (registry.createKey(kKey, key) != RegStatus::Ok) {
                    report += registry.lastError() + "\n";
                }
                return ::write(out, report.data(), report.size()) ==
                               static_cast<ssize_t>(report.size())
                           ? 0
                           : 1;
            },
            20);
        ASSERT_FALSE(child.timedOut) << c.label << ": the store waited on the planted file";
        EXPECT_EQ(child.code, 0) << c.label;
        std::size_t messages = 0;
        for (std::size_t at = 0; (at = child.output.find(c.where, at)) != std::string::npos; ++at) {
            ++messages;
        }
        EXPECT_EQ(messages, 3u) << c.label << ": " << child.output;
        const fs::file_status now = fs::symlink_status(keyPath());
        EXPECT_EQ(now.type(), c.kind == 'p'   ? fs::file_type::fifo
                              : c.kind == 'z' ? fs::file_type::symlink
                                              : fs::file_type::regular)
            << c.label;
        if (c.kind == 'b') {
            EXPECT_EQ(fs::file_size(keyPath()), std::uintmax_t{65} << 20);
        }
    }
}

TEST_F(RegistryTest, AFileDamagedWhileOpenIsNotOverwrittenOnClose) {
    makeKey({{"bip", {REG_DWORD, {1, 0, 0, 0}}}});
    Registry registry(store_);
    std::optional<RegistryKey> key;
    ASSERT_EQ(registry.openKey(kKey, KeyAccess::AllAccess, key), RegStatus::Ok);
    ASSERT_EQ(key->setDword("bip", 0), RegStatus::Ok);
    const std::string damaged = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Lumigal]\n\"bip\n";
    writeFile(keyPath(), damaged);
    EXPECT_EQ(key->close(), RegStatus::Damaged);
    EXPECT_NE(key->lastError().find("ligne 4"), std::string::npos) << key->lastError();
    EXPECT_EQ(readFile(keyPath()), damaged);
}

TEST_F(RegistryTest, PermissionProblemsAreReported) {
    if (::geteuid() == 0) GTEST_SKIP() << "root ignores file permissions";
    makeKey({{"bip", {REG_DWORD, {1, 0, 0, 0}}}});
    const std::string before = readFile(keyPath());
    Registry registry(store_);
    std::optional<RegistryKey> key;

    fs::permissions(keyPath(), fs::perms::owner_read);
    EXPECT_EQ(registry.openKey(kKey, KeyAccess::AllAccess, key), RegStatus::AccessDenied);
    EXPECT_FALSE(registry.lastError().empty());
    EXPECT_EQ(registry.openKey(kKey, KeyAccess::Read, key), RegStatus::Ok);
    key.reset();

    fs::permissions(keyPath(), fs::perms::none);
    EXPECT_EQ(registry.openKey(kKey, KeyAccess::Read, key), RegStatus::AccessDenied);
    EXPECT_NE(registry.lastError().find("permission refusée"), std::string::npos);

    // A folder that cannot be written: the change is refused, the file stays.
    fs::permissions(keyPath(), fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(registry.openKey(kKey, KeyAccess::Read, key), RegStatus::Ok);
    key.reset();
    fs::permissions(store_, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_NE(registry.createKey("Other", key), RegStatus::Ok);
    fs::permissions(store_, fs::perms::owner_all);
    fs::permissions(keyPath().parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(registry.openKey(kKey, KeyAccess::AllAccess, key), RegStatus::AccessDenied);
    fs::permissions(keyPath().parent_path(), fs::perms::owner_all);
    EXPECT_EQ(readFile(keyPath()), before);
}

// Each child sets its own values one open/set/close cycle at a time, so the
// two read-modify-write cycles interleave.
TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
    makeKey({{"shared", {REG_SZ, {'k', 'e', 'e', 'p'}}}});
    constexpr int kRounds = 60;
    std::vector<pid_t> children;
    for (const char* prefix : {"a", "b"}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            Registry registry(store_);
            for (int i = 0; i < kRounds; ++i) {
                std::optional<RegistryKey> key;
                if (registry.openKey(kKey, KeyAccess::AllAccess, key) != RegStatus::Ok) _exit(2);
                if (key->setDword(prefix + std::to_string(i), static_cast<std::uint32_t>(i)) !=
                    RegStatus::Ok) {
                    _exit(3);
                }
                if (key->close() != RegStatus::Ok) _exit(4);
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) EXPECT_EQ(waitChild(pid), 0);

    Registry registry(store_);
    std::optional<RegistryKey> key;
    ASSERT_EQ(registry.openKey(kKey, KeyAccess::Read, key), RegStatus::Ok);
    EXPECT_EQ(key->valueNames().size(), 1u + 2 * kRounds);
    for (const char* prefix : {"a", "b"}) {
        for (int i = 0; i < kRounds; ++i) {
            std::uint32_t value = 999;
            EXPECT_EQ(key->queryDword(prefix + std::to_string(i), value), RegStatus::Ok);
            EXPECT_EQ(value, static_cast<std::uint32_t>(i));
        }
    }
    EXPECT_TRUE(tempFilesBeside(keyPath()).empty());
}

// The child is killed by SIGKILL while it writes the new file: the file
// size limit stops its write half-way, and the handler kills it there.
TEST_F(RegistryTest, AWriterKilledInTheMiddleLeavesTheOldFile) {
    makeKey({{"version", {REG_DWORD, {1, 0, 0, 0}}}, {"blob", {REG_BINARY, filled(5000, 1)}}});
    const std::string before = readFile(keyPath());

    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, [](int) { ::raise(SIGKILL); });
        Registry registry(store_);
        std::optional<RegistryKey> key;
        if (registry.openKey(kKey, KeyAccess::AllAccess, key) != RegStatus::Ok) _exit(2);
        key->setDword("version", 2);
        key->setValue("blob", RegValue{REG_BINARY, filled(200000, 2)});
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        key->close();
        _exit(0);
    }
    ASSERT_EQ(waitChild(pid), 128 + SIGKILL);
    EXPECT_EQ(readFile(keyPath()), before);
    EXPECT_EQ(tempFilesBeside(keyPath()).size(), 1u);  // the half-written one

    // The next writer clears the leftover and writes its values.
    Registry registry(store_);
    std::optional<RegistryKey> key;
    ASSERT_EQ(registry.openKey(kKey, KeyAccess::AllAccess, key), RegStatus::Ok);
    ASSERT_EQ(key->setDword("version", 3), RegStatus::Ok);
    ASSERT_EQ(key->close(), RegStatus::Ok) << key->lastError();
    EXPECT_TRUE(tempFilesBeside(keyPath()).empty());
    EXPECT_EQ(storedValues(), (std::vector<std::pair<std::string, RegValue>>{
                                  {"version", {REG_DWORD, {3, 0, 0, 0}}},
                                  {"blob", {REG_BINARY, filled(5000, 1)}}}));
}

// True when `fd` has data to read now.
bool readable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0;
}

// A child saves version after version; the parent kills it with SIGKILL at
// three kinds of moments: as soon as it announces a save, while its new file
// is being written (a temporary file exists), and just after the rename (the
// temporary file is gone again). Each kill must leave a complete file.
TEST_F(RegistryTest, WritersKilledAtAnyPointLeaveACompleteFile) {
    makeKey({{"version", {REG_DWORD, {0, 0, 0, 0}}}, {"blob", {REG_BINARY, filled(300000, 0)}}});
    for (int round = 0; round < 15; ++round) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(pipeFds[0]);
            Registry registry(store_);
            for (std::uint8_t version = 1;;
                 version = static_cast<std::uint8_t>(version % 250 + 1)) {
                std::optional<RegistryKey> key;
                if (registry.openKey(kKey, KeyAccess::AllAccess, key) != RegStatus::Ok) _exit(2);
                key->setDword("version", version);
                key->setValue("blob", RegValue{REG_BINARY, filled(300000, version)});
                if (::write(pipeFds[1], "s", 1) != 1) _exit(3);
                if (key->close() != RegStatus::Ok) _exit(4);
            }
        }
        ::close(pipeFds[1]);
        char announce = 0;
        for (int saves = 0; saves <= round % 2; ++saves) {
            ASSERT_EQ(::read(pipeFds[0], &announce, 1), 1);
        }
        // Until the save ends (the next one is announced), wait for the moment.
        const int moment = round % 3;
        bool seenTemp = false;
        while (moment != 0 && !readable(pipeFds[0])) {
            const bool temp = !tempFilesBeside(keyPath()).empty();
            if (moment == 1 && temp) break;
            if (moment == 2 && seenTemp && !temp) break;
            seenTemp = seenTemp || temp;
        }
        ::kill(pid, SIGKILL);
        ::close(pipeFds[0]);
        ASSERT_EQ(waitChild(pid), 128 + SIGKILL);

        Registry registry(store_);
        std::optional<RegistryKey> key;
        ASSERT_EQ(registry.openKey(kKey, KeyAccess::Read, key), RegStatus::Ok)
            << "round " << round << ": " << registry.lastError();
        std::uint32_t version = 0;
        ASSERT_EQ(key->queryDword("version", version), RegStatus::Ok);
        RegValue blob;
        ASSERT_EQ(key->queryValue("blob", blob), RegStatus::Ok);
        EXPECT_EQ(blob.data, filled(300000, static_cast<std::uint8_t>(version)))
            << "round " << round;
    }
}

}  // namespace
}  // namespace lumigal::platform
