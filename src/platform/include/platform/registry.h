// The settings store, with the semantics of a Windows registry key under
// HKEY_CURRENT_USER: a key must exist to be opened (only createKey makes
// it), values are typed (DWORD, string, binary...) and their data are bytes.
//
// On Linux each key is one human-readable REGEDIT4 text file below the store
// folder ($XDG_CONFIG_HOME/lumigal, ~/.config/lumigal when unset): key
// "Software\Lumigal" is the file "Software/Lumigal.reg". A key handle reads
// the file when it is opened; setValue changes the handle's copy and marks
// the value pending; close() (or the destructor) writes the pending values
// back under an advisory lock: the file is read again, the pending values
// applied, and the result written to a temporary file that is synced and
// renamed over the old one, so a crash at any point leaves either the old or
// the new file. A file that cannot be parsed is reported as Damaged and is
// never overwritten.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumigal::platform {

// Value types, numbered as the Windows registry numbers them.
enum RegType : std::uint32_t {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_EXPAND_SZ = 2,
    REG_BINARY = 3,
    REG_DWORD = 4,
    REG_MULTI_SZ = 7,
    REG_QWORD = 11,
};

enum class RegStatus {
    Ok,
    NotFound,      // key or value missing
    AccessDenied,  // set on a key opened for reading, or no rights on the file
    MoreData,      // the value's data is larger than the caller's buffer
    Damaged,       // the key's file cannot be parsed; it is left as it is
    IoError,       // reading or writing the file failed
    BadName,       // a key path that cannot name a file (empty part, "..")
};

enum class KeyAccess { Read, AllAccess };

struct RegValue {
    std::uint32_t type = REG_NONE;
    std::vector<std::uint8_t> data;
    bool operator==(const RegValue&) const = default;
};

class RegistryKey {
public:
    RegistryKey(RegistryKey&&) noexcept;
    RegistryKey& operator=(RegistryKey&&) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey();  // closes the key; errors are then only in lastError()

    // Reads a value with its type. `bufferSize` is the caller's buffer size:
    // data larger than that gives MoreData and changes nothing.
    RegStatus queryValue(std::string_view name, RegValue& out,
                         std::size_t bufferSize = SIZE_MAX) const;
    // Reads a 4-byte value (any type with exactly 4 bytes of data) as a
    // little-endian 32-bit number.
    RegStatus queryDword(std::string_view name, std::uint32_t& out) const;
    // Reads a text value: the data up to its first NUL byte. Data longer than
    // `maxChars` characters (not counting a terminating NUL) gives MoreData.
    RegStatus queryString(std::string_view name, std::string& out,
                          std::size_t maxChars = SIZE_MAX) const;

    // Sets a value (in the handle; written by close()).
    RegStatus setValue(std::string_view name, const RegValue& value);
    RegStatus setDword(std::string_view name, std::uint32_t value);
    // REG_SZ data = the text's bytes, without a terminating NUL.
    RegStatus setString(std::string_view name, std::string_view value);

    // The value names in the key's order.
    std::vector<std::string> valueNames() const;

    // Writes pending values (if any) and releases the handle. Returns Ok
    // when nothing was pending or everything was written.
    RegStatus close();

    // A sentence (French) describing the last failure, with the file's path.
    const std::string& lastError() const;

private:
    friend class Registry;
    struct State;
    explicit RegistryKey(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

class Registry {
public:
    // A store rooted at `folder` (created on the first write).
    explicit Registry(std::filesystem::path folder);
    // $XDG_CONFIG_HOME/lumigal, or $HOME/.config/lumigal when unset or not
    // absolute.
    static std::filesystem::path defaultFolder();
    static Registry currentUser() { return Registry(defaultFolder()); }

    const std::filesystem::path& folder() const { return folder_; }
    // The file that holds `subKey` ("Software\Lumigal" -> folder/Software/Lumigal.reg).
    std::optional<std::filesystem::path> keyFile(std::string_view subKey) const;

    // Opens an existing key. NotFound when it does not exist, Damaged when
    // its file cannot be parsed.
    RegStatus openKey(std::string_view subKey, KeyAccess access,
                      std::optional<RegistryKey>& out);
    // Opens a key for all access, creating it (an empty key file) when it
    // does not exist. `created` tells which happened.
    RegStatus createKey(std::string_view subKey, std::optional<RegistryKey>& out,
                        bool* created = nullptr);
    // Removes a key's file. NotFound when there was none.
    RegStatus deleteKey(std::string_view subKey);

    const std::string& lastError() const { return lastError_; }

private:
    std::filesystem::path folder_;
    std::string lastError_;
};

}  // namespace lumigal::platform
