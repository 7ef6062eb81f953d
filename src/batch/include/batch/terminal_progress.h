// Progress of lumigal-batch on standard error: a bar (image i of N and the
// current file) when standard error is a terminal, and one line per image
// that could not be used, always.
#pragma once

#include <cstdio>
#include <string>

#include "album/progress.h"

namespace lumigal::batch {

class TerminalProgress : public ProgressObserver, public ScanObserver {
public:
    TerminalProgress(std::FILE* out, bool showBar);
    ~TerminalProgress() override;

    void started(int count) override;
    void setLabel(const std::string& path) override;
    void setPosition(int index) override;
    void imageFailed(const std::string& path, const std::string& reason) override;
    void failed(const std::string& message) override;
    void locationsRemoved(int photos) override;
    void fileAdded(const std::string& path, int count) override;
    void folderSkipped(const std::string& path) override;
    // Said as a file left out of the page (it counts among the failures).
    void fileSkipped(const std::string& path, const std::string& reason) override {
        imageFailed(path, reason);
    }

    // Images left out of the page, and sub-folders passed over by a scan.
    int failures() const { return failures_; }
    int skippedFolders() const { return skippedFolders_; }

private:
    void drawBar();
    void clearBar();

    std::FILE* out_;
    bool showBar_;
    bool barShown_ = false;
    int count_ = 0;
    int done_ = 0;
    int failures_ = 0;
    int skippedFolders_ = 0;
    std::string label_;
};

// The path made printable on one terminal line: control characters become
// '?', so a file name cannot move the cursor or change colours.
std::string printablePath(const std::string& path);

}  // namespace lumigal::batch
