// The store against damaged and planted files, permissions, concurrent
// writers and writers killed midway.
#include "registry_fixture.h"

namespace lumigal::platform {
namespace {

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
