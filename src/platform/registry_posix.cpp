// The registry store on POSIX systems: one REGEDIT4 file per key, replaced
// atomically under an advisory lock on "<store folder>/.lock".
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <system_error>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/reg_file.h"
#include "platform/registry.h"
#include "platform/unique_fd.h"

namespace lumigal::platform {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kRootKey = "HKEY_CURRENT_USER\\";
constexpr std::string_view kKeyExtension = ".reg";
constexpr std::string_view kLockName = ".lock";
// A settings file is small; anything bigger than this is not one of ours.
constexpr off_t kMaxFileSize = 64 * 1024 * 1024;

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

struct Failure {
    RegStatus status = RegStatus::Ok;
    std::string message;
};

std::string quoted(const fs::path& path) { return "« " + path.string() + " »"; }

std::string describeErrno(int err) {
    switch (err) {
        case EACCES:
        case EPERM:
            return "permission refusée";
        case EROFS:
            return "système de fichiers en lecture seule";
        case ENOSPC:
            return "plus de place sur le disque";
        case EDQUOT:
            return "quota de disque dépassé";
        case ENOENT:
            return "fichier ou dossier introuvable";
        case ENOTDIR:
            return "un élément du chemin n'est pas un dossier";
        case EISDIR:
            return "c'est un dossier";
        case EIO:
            return "erreur d'entrée-sortie";
        default:
            return std::strerror(err);
    }
}

RegStatus statusForErrno(int err) {
    switch (err) {
        case EACCES:
        case EPERM:
        case EROFS:
            return RegStatus::AccessDenied;
        case ENOENT:
            return RegStatus::NotFound;
        default:
            return RegStatus::IoError;
    }
}

Failure errnoFailure(int err, const std::string& what, const fs::path& path) {
    return {statusForErrno(err), what + " " + quoted(path) + " : " + describeErrno(err) + "."};
}

// Reads a whole regular file. Fails with errno's status, or IoError when it
// is not a regular file or is too large to be a key. Anything else in its
// place (a pipe, a device, a link to one) is not even opened, and the open
// never waits, so nothing planted there can hold up a run.
bool readWholeFile(const fs::path& path, std::string& text, Failure& failure) {
    const auto notRegular = [&] {
        failure = {RegStatus::IoError,
                   "Le fichier de paramètres " + quoted(path) + " n'est pas un fichier ordinaire."};
        return false;
    };
    struct stat named {};
    if (::stat(path.c_str(), &named) == 0 && !S_ISREG(named.st_mode)) return notRegular();
    UniqueFd fd(noInterrupt(
        [&] { return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); }));
    if (!fd) {
        failure = errnoFailure(errno, "Impossible de lire le fichier de paramètres", path);
        return false;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        failure = errnoFailure(errno, "Impossible de lire le fichier de paramètres", path);
        return false;
    }
    if (!S_ISREG(info.st_mode)) return notRegular();
    if (info.st_size > kMaxFileSize) {
        failure = {RegStatus::Damaged, "Le fichier de paramètres " + quoted(path) +
                                           " est endommagé (taille anormale) ; il n'a pas été "
                                           "modifié."};
        return false;
    }
    text.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t got = noInterrupt([&] { return ::read(fd.get(), buffer, sizeof buffer); });
        if (got < 0) {
            failure = errnoFailure(errno, "Impossible de lire le fichier de paramètres", path);
            return false;
        }
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
        if (text.size() > static_cast<std::size_t>(kMaxFileSize)) {
            failure = {RegStatus::Damaged, "Le fichier de paramètres " + quoted(path) +
                                               " est endommagé (taille anormale) ; il n'a pas "
                                               "été modifié."};
            return false;
        }
    }
    return true;
}

// Reads and parses the file of key `fullPath`.
bool loadKeyFile(const fs::path& file, const std::string& fullPath, RegFileKey& key,
                 Failure& failure) {
    std::string text;
    if (!readWholeFile(file, text, failure)) {
        if (failure.status == RegStatus::NotFound) {
            failure.message = "La clé de paramètres " + quoted(file) + " n'existe pas.";
        }
        return false;
    }
    RegFileParse parsed = parseRegFile(text);
    if (!parsed.ok) {
        failure = {RegStatus::Damaged, "Le fichier de paramètres " + quoted(file) +
                                           " est endommagé (ligne " +
                                           std::to_string(parsed.errorLine) + " : " + parsed.error +
                                           ") ; il n'a pas été modifié."};
        return false;
    }
    if (!sameValueName(parsed.key.path, fullPath)) {
        failure = {RegStatus::Damaged, "Le fichier de paramètres " + quoted(file) +
                                           " est endommagé (ligne 3 : il décrit la clé « " +
                                           parsed.key.path + " » au lieu de « " + fullPath +
                                           " ») ; il n'a pas été modifié."};
        return false;
    }
    key = std::move(parsed.key);
    return true;
}

// Holds the store's advisory lock while it lives.
class StoreLock {
public:
    bool acquire(const fs::path& folder, Failure& failure) {
        const fs::path lockFile = folder / kLockName;
        fd_ = UniqueFd(noInterrupt([&] {
            return ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0600);
        }));
        if (!fd_) {
            failure = errnoFailure(errno, "Impossible d'ouvrir le verrou des paramètres", lockFile);
            return false;
        }
        if (noInterrupt([&] { return ::flock(fd_.get(), LOCK_EX); }) != 0) {
            failure = errnoFailure(errno, "Impossible de verrouiller", lockFile);
            return false;
        }
        return true;  // closing the descriptor releases the lock
    }

private:
    UniqueFd fd_;
};

std::string tempPrefix(const fs::path& file) { return "." + file.filename().string() + ".tmp-"; }

// Removes temporary files left by a writer that died (the lock is held, so
// none of them is being written).
void removeStaleTempFiles(const fs::path& file) {
    const fs::path folder = file.parent_path();
    const std::string prefix = tempPrefix(file);
    UniqueDir dir(::opendir(folder.c_str()));
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (std::string_view(entry->d_name).starts_with(prefix)) {
            ::unlinkat(::dirfd(dir.get()), entry->d_name, 0);
        }
    }
}

bool syncFolder(const fs::path& folder, Failure& failure) {
    UniqueFd fd(
        noInterrupt([&] { return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (!fd) {
        failure = errnoFailure(errno, "Impossible d'ouvrir le dossier", folder);
        return false;
    }
    if (::fsync(fd.get()) != 0 && errno != EINVAL) {
        failure = errnoFailure(errno, "Impossible d'enregistrer sur le disque le dossier", folder);
        return false;
    }
    return true;
}

// Replaces `file` with `text` (see platform/atomic_file.h): a new file is
// private, an existing one keeps its permissions. The store lock must be
// held, so every temporary left in the folder is a dead writer's.
bool replaceFileAtomically(const fs::path& file, std::string_view text, Failure& failure) {
    const fs::path folder = file.parent_path();
    removeStaleTempFiles(file);
    removeStaleTemporaries(folder.string());
    AtomicFile out;
    if (!out.create(file.string(), 0600)) {
        failure =
            errnoFailure(out.error().err, "Impossible de créer un fichier temporaire dans", folder);
        return false;
    }
    struct stat old {};
    if (::stat(file.c_str(), &old) == 0) ::fchmod(out.fd(), old.st_mode & 07777);
    if (out.write(text) && out.commit()) return true;
    const ReplaceError& error = out.error();
    switch (error.step) {
        case ReplaceStep::Rename:
            failure =
                errnoFailure(error.err, "Impossible de remplacer le fichier de paramètres", file);
            break;
        case ReplaceStep::SyncFolder:
            failure = errnoFailure(error.err, "Impossible d'enregistrer sur le disque le dossier",
                                   folder);
            break;
        default:
            failure = errnoFailure(error.err, "Impossible d'écrire les paramètres", file);
            break;
    }
    return false;
}

bool makeFolders(const fs::path& folder, Failure& failure) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        failure = errnoFailure(ec.value(), "Impossible de créer le dossier", folder);
        return false;
    }
    return true;
}

bool validValueName(std::string_view name) { return isQuotableText(name); }

}  // namespace

struct RegistryKey::State {
    fs::path storeFolder;
    fs::path file;
    std::string fullPath;  // "HKEY_CURRENT_USER\..." as the file names it
    KeyAccess access = KeyAccess::Read;
    RegFileKey key;
    std::vector<std::string> pending;  // names set through this handle
    bool open = true;
    std::string lastError;

    const RegValue* find(std::string_view name) const {
        for (const auto& [existing, value] : key.values) {
            if (sameValueName(existing, name)) return &value;
        }
        return nullptr;
    }

    RegStatus fail(RegStatus status, std::string message) {
        lastError = std::move(message);
        return status;
    }

    RegStatus closedKey() {
        return fail(RegStatus::IoError, "La clé " + quoted(file) + " est déjà fermée.");
    }
};

namespace {

void putValue(RegFileKey& key, std::string_view name, const RegValue& value) {
    for (auto& [existing, stored] : key.values) {
        if (sameValueName(existing, name)) {
            stored = value;
            return;
        }
    }
    key.values.emplace_back(std::string(name), value);
}

}  // namespace

RegistryKey::RegistryKey(std::unique_ptr<State> state) : state_(std::move(state)) {}
RegistryKey::RegistryKey(RegistryKey&&) noexcept = default;

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        close();
        state_ = std::move(other.state_);
    }
    return *this;
}

RegistryKey::~RegistryKey() { close(); }

const std::string& RegistryKey::lastError() const {
    static const std::string kNone;
    return state_ ? state_->lastError : kNone;
}

RegStatus RegistryKey::queryValue(std::string_view name, RegValue& out,
                                  std::size_t bufferSize) const {
    if (!state_) return RegStatus::IoError;
    if (!state_->open) return state_->closedKey();
    const RegValue* value = state_->find(name);
    if (!value) {
        return state_->fail(RegStatus::NotFound, "La valeur « " + std::string(name) +
                                                     " » n'existe pas dans " +
                                                     quoted(state_->file) + ".");
    }
    if (value->data.size() > bufferSize) {
        return state_->fail(RegStatus::MoreData, "La valeur « " + std::string(name) + " » de " +
                                                     quoted(state_->file) + " est trop longue.");
    }
    out = *value;
    return RegStatus::Ok;
}

RegStatus RegistryKey::queryDword(std::string_view name, std::uint32_t& out) const {
    RegValue value;
    const RegStatus status = queryValue(name, value, 4);
    if (status != RegStatus::Ok) return status;
    if (value.data.size() != 4) {
        return state_->fail(RegStatus::NotFound, "La valeur « " + std::string(name) + " » de " +
                                                     quoted(state_->file) +
                                                     " n'est pas un nombre de 4 octets.");
    }
    out = static_cast<std::uint32_t>(value.data[0]) |
          static_cast<std::uint32_t>(value.data[1]) << 8 |
          static_cast<std::uint32_t>(value.data[2]) << 16 |
          static_cast<std::uint32_t>(value.data[3]) << 24;
    return RegStatus::Ok;
}

RegStatus RegistryKey::queryString(std::string_view name, std::string& out,
                                   std::size_t maxChars) const {
    RegValue value;
    const RegStatus status = queryValue(name, value);
    if (status != RegStatus::Ok) return status;
    std::size_t length = value.data.size();
    if (length > 0 && value.data[length - 1] == 0) --length;
    if (length > maxChars) {
        return state_->fail(RegStatus::MoreData, "La valeur « " + std::string(name) + " » de " +
                                                     quoted(state_->file) + " est trop longue.");
    }
    std::size_t end = 0;
    while (end < value.data.size() && value.data[end] != 0) ++end;
    out.assign(value.data.begin(), value.data.begin() + static_cast<std::ptrdiff_t>(end));
    return RegStatus::Ok;
}

RegStatus RegistryKey::setValue(std::string_view name, const RegValue& value) {
    if (!state_) return RegStatus::IoError;
    if (!state_->open) return state_->closedKey();
    if (state_->access != KeyAccess::AllAccess) {
        return state_->fail(RegStatus::AccessDenied,
                            "La clé " + quoted(state_->file) + " est ouverte en lecture seule.");
    }
    if (!validValueName(name)) {
        return state_->fail(RegStatus::BadName,
                            "Nom de valeur invalide (caractère de contrôle "
                            "ou texte non UTF-8).");
    }
    putValue(state_->key, name, value);
    bool known = false;
    for (const auto& pending : state_->pending) known = known || sameValueName(pending, name);
    if (!known) state_->pending.emplace_back(name);
    return RegStatus::Ok;
}

RegStatus RegistryKey::setDword(std::string_view name, std::uint32_t value) {
    RegValue data{REG_DWORD, {}};
    for (int k = 0; k < 4; ++k) data.data.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
    return setValue(name, data);
}

RegStatus RegistryKey::setString(std::string_view name, std::string_view value) {
    return setValue(name, RegValue{REG_SZ, {value.begin(), value.end()}});
}

std::vector<std::string> RegistryKey::valueNames() const {
    std::vector<std::string> names;
    if (!state_) return names;
    for (const auto& [name, value] : state_->key.values) names.push_back(name);
    return names;
}

RegStatus RegistryKey::close() {
    if (!state_ || !state_->open) return RegStatus::Ok;
    State& s = *state_;
    s.open = false;
    if (s.pending.empty()) return RegStatus::Ok;

    Failure failure;
    StoreLock lock;
    if (!lock.acquire(s.storeFolder, failure)) return s.fail(failure.status, failure.message);
    // Another handle may have written since this one was opened: start from
    // the file as it is now and apply only what this handle set.
    RegFileKey current;
    if (!loadKeyFile(s.file, s.fullPath, current, failure)) {
        if (failure.status == RegStatus::NotFound) {
            failure.message = "La clé " + quoted(s.file) +
                              " a été supprimée pendant qu'elle était ouverte ; les valeurs "
                              "n'ont pas été enregistrées.";
        }
        return s.fail(failure.status, failure.message);
    }
    for (const std::string& name : s.pending) {
        if (const RegValue* value = s.find(name)) putValue(current, name, *value);
    }
    const std::string text = formatRegFile(current);
    const RegFileParse check = parseRegFile(text);
    if (!check.ok || check.key.values != current.values) {
        return s.fail(RegStatus::IoError, "Les paramètres de " + quoted(s.file) +
                                              " ne peuvent pas être écrits "
                                              "fidèlement ; le fichier n'a pas été modifié.");
    }
    if (!replaceFileAtomically(s.file, text, failure)) {
        return s.fail(failure.status, failure.message);
    }
    s.key = std::move(current);
    s.pending.clear();
    return RegStatus::Ok;
}

Registry::Registry(fs::path folder) : folder_(std::move(folder)) {}

fs::path Registry::defaultFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return fs::path(config) / "lumigal";
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* entry = ::getpwuid(::getuid());
        home = entry ? entry->pw_dir : nullptr;
    }
    return fs::path(home ? home : "/") / ".config" / "lumigal";
}

std::optional<fs::path> Registry::keyFile(std::string_view subKey) const {
    fs::path file = folder_;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = subKey.find('\\', start);
        const std::string_view part = subKey.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (part.empty() || part == "." || part == ".." ||
            part.find('/') != std::string_view::npos || !isQuotableText(part)) {
            return std::nullopt;
        }
        if (end == std::string_view::npos) {
            file /= std::string(part) + std::string(kKeyExtension);
            return file;
        }
        file /= std::string(part);
        start = end + 1;
    }
}

namespace {

RegStatus badName(std::string& lastError, std::string_view subKey) {
    lastError = "Nom de clé invalide : « " + std::string(subKey) + " ».";
    return RegStatus::BadName;
}

}  // namespace

RegStatus Registry::openKey(std::string_view subKey, KeyAccess access,
                            std::optional<RegistryKey>& out) {
    out.reset();
    const auto file = keyFile(subKey);
    if (!file) return badName(lastError_, subKey);
    auto state = std::make_unique<RegistryKey::State>();
    state->storeFolder = folder_;
    state->file = *file;
    state->fullPath = std::string(kRootKey) + std::string(subKey);
    state->access = access;
    Failure failure;
    if (!loadKeyFile(state->file, state->fullPath, state->key, failure)) {
        lastError_ = failure.message;
        return failure.status;
    }
    if (access == KeyAccess::AllAccess &&
        (::access(file->c_str(), W_OK) != 0 || ::access(file->parent_path().c_str(), W_OK) != 0)) {
        lastError_ = "Accès en écriture refusé au fichier de paramètres " + quoted(*file) + ".";
        return RegStatus::AccessDenied;
    }
    lastError_.clear();
    out.emplace(RegistryKey(std::move(state)));
    return RegStatus::Ok;
}

RegStatus Registry::createKey(std::string_view subKey, std::optional<RegistryKey>& out,
                              bool* created) {
    out.reset();
    if (created) *created = false;
    const auto file = keyFile(subKey);
    if (!file) return badName(lastError_, subKey);
    const std::string fullPath = std::string(kRootKey) + std::string(subKey);
    Failure failure;
    if (!makeFolders(file->parent_path(), failure)) {
        lastError_ = failure.message;
        return failure.status;
    }
    bool made = false;
    {
        StoreLock lock;
        if (!lock.acquire(folder_, failure)) {
            lastError_ = failure.message;
            return failure.status;
        }
        struct stat info {};
        if (::lstat(file->c_str(), &info) != 0) {
            const int err = errno;
            if (err != ENOENT) {
                lastError_ = errnoFailure(err, "Impossible de lire", *file).message;
                return statusForErrno(err);
            }
            RegFileKey empty{fullPath, {}};
            if (!replaceFileAtomically(*file, formatRegFile(empty), failure)) {
                lastError_ = failure.message;
                return failure.status;
            }
            made = true;
        }
    }
    const RegStatus status = openKey(subKey, KeyAccess::AllAccess, out);
    if (status == RegStatus::Ok && created) *created = made;
    return status;
}

RegStatus Registry::deleteKey(std::string_view subKey) {
    const auto file = keyFile(subKey);
    if (!file) return badName(lastError_, subKey);
    struct stat info {};
    if (::lstat(file->c_str(), &info) != 0) {
        const int err = errno;
        lastError_ = errnoFailure(err, "Impossible de supprimer la clé", *file).message;
        return statusForErrno(err);
    }
    Failure failure;
    StoreLock lock;
    if (!lock.acquire(folder_, failure)) {
        lastError_ = failure.message;
        return failure.status;
    }
    removeStaleTempFiles(*file);
    if (::unlink(file->c_str()) != 0) {
        const int err = errno;
        lastError_ = errnoFailure(err, "Impossible de supprimer la clé", *file).message;
        return statusForErrno(err);
    }
    if (!syncFolder(file->parent_path(), failure)) {
        lastError_ = failure.message;
        return failure.status;
    }
    lastError_.clear();
    return RegStatus::Ok;
}

}  // namespace lumigal::platform
