// The album page being written: a temporary file beside the page that
// replaces the page only when every byte has been written, so a failed
// generation (disk full, folder removed) never leaves a damaged page and
// never destroys the previous one.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace lumigal {

class PageFile {
public:
    PageFile() = default;
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;
    ~PageFile();  // discards an unfinished page

    // Creates the temporary file; false when the folder cannot take it.
    bool create(const std::string& pagePath);
    void write(std::string_view text);
    // Flushes, syncs and renames over the page; false on any write error.
    bool commit();

private:
    void discard();
    std::FILE* file_ = nullptr;
    std::string pagePath_;
    std::string tempPath_;
    bool failed_ = false;
};

}  // namespace lumigal
