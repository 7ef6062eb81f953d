#include "registry_fixture.h"

namespace lumigal::platform {
namespace {

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

}  // namespace
}  // namespace lumigal::platform
