#include "batch/terminal_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace lumigal::batch {

std::string printablePath(const std::string& path) {
    std::string out = path;
    for (char& c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) c = '?';
    }
    return out;
}

TerminalProgress::TerminalProgress(std::FILE* out, bool showBar) : out_(out), showBar_(showBar) {}

TerminalProgress::~TerminalProgress() { clearBar(); }

void TerminalProgress::started(int count) {
    count_ = count;
    done_ = 0;
    drawBar();
}

void TerminalProgress::setLabel(const std::string& path) {
    label_ = path;
    drawBar();
}

void TerminalProgress::setPosition(int index) {
    done_ = index + 1;
    drawBar();
}

void TerminalProgress::imageFailed(const std::string& path, const std::string& reason) {
    ++failures_;
    clearBar();
    std::fprintf(out_, "lumigal-batch: %s : %s\n", printablePath(path).c_str(),
                 printablePath(reason).c_str());
    drawBar();
}

void TerminalProgress::failed(const std::string& message) {
    clearBar();
    std::fprintf(out_, "lumigal-batch: %s\n", printablePath(message).c_str());
}

void TerminalProgress::locationsRemoved(int photos) {
    clearBar();
    std::fprintf(out_, "lumigal-batch: lieu de prise de vue retiré de %d %s (--keep-location le garde)\n",
                 photos, photos == 1 ? "copie" : "copies");
    drawBar();
}

void TerminalProgress::fileAdded(const std::string& path, int count) {
    label_ = path;
    if (!showBar_) return;
    std::fprintf(out_, "\r\033[KFichier #%d %s", count, printablePath(path).c_str());
    barShown_ = true;
    std::fflush(out_);
}

void TerminalProgress::folderSkipped(const std::string& path) {
    ++skippedFolders_;
    clearBar();
    std::fprintf(out_, "lumigal-batch: %s : dossier illisible, ignoré\n", printablePath(path).c_str());
}

void TerminalProgress::drawBar() {
    if (!showBar_ || count_ <= 0) return;
    winsize size{};
    int columns = 80;
    if (ioctl(fileno(out_), TIOCGWINSZ, &size) == 0 && size.ws_col > 20) columns = size.ws_col;
    constexpr int kBar = 24;
    const int filled = done_ * kBar / count_;
    std::string line = "\r\033[K[" + std::string(filled, '#') + std::string(kBar - filled, '-') +
                       "] " + std::to_string(done_) + "/" + std::to_string(count_) + " ";
    std::string label = printablePath(label_);
    const int room = columns - static_cast<int>(line.size()) + 4;  // "\r\033[K" takes no room
    if (room > 4 && static_cast<int>(label.size()) > room) {
        label = "..." + label.substr(label.size() - static_cast<std::size_t>(room - 4));
    } else if (room <= 4) {
        label.clear();
    }
    line += label;
    std::fputs(line.c_str(), out_);
    std::fflush(out_);
    barShown_ = true;
}

void TerminalProgress::clearBar() {
    if (!barShown_) return;
    std::fputs("\r\033[K", out_);
    std::fflush(out_);
    barShown_ = false;
}

}  // namespace lumigal::batch
