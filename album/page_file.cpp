#include "album/page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace lumigal {

PageFile::~PageFile() { discard(); }

bool PageFile::create(const std::string& pagePath) {
    discard();
    pagePath_ = pagePath;
    tempPath_ = pagePath + ".XXXXXX";
    std::vector<char> name(tempPath_.begin(), tempPath_.end());
    name.push_back('\0');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        tempPath_.clear();
        return false;
    }
    tempPath_.assign(name.data());
    // mkostemp makes the file private; a page is an ordinary document.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    file_ = fdopen(fd, "wb");
    if (!file_) {
        close(fd);
        unlink(tempPath_.c_str());
        tempPath_.clear();
        return false;
    }
    static constexpr std::size_t kBuffer = 1 << 16;
    std::setvbuf(file_, nullptr, _IOFBF, kBuffer);
    failed_ = false;
    return true;
}

void PageFile::write(std::string_view text) {
    if (!file_ || failed_) return;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) failed_ = true;
}

bool PageFile::commit() {
    if (!file_) return false;
    bool ok = !failed_ && std::fflush(file_) == 0 && fsync(fileno(file_)) == 0;
    ok = (std::fclose(file_) == 0) && ok;
    file_ = nullptr;
    if (ok) ok = std::rename(tempPath_.c_str(), pagePath_.c_str()) == 0;
    if (!ok) unlink(tempPath_.c_str());
    tempPath_.clear();
    return ok;
}

void PageFile::discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!tempPath_.empty()) {
        unlink(tempPath_.c_str());
        tempPath_.clear();
    }
}

}  // namespace lumigal
