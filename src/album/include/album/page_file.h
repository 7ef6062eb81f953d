// The album page being written: a temporary file beside the page that
// replaces the page only when every byte has been written, so a failed
// generation (disk full, folder removed) never leaves a damaged page and
// never destroys the previous one.
#pragma once

#include <string>
#include <string_view>

#include "platform/atomic_file.h"

namespace lumigal {

class PageFile {
public:
    PageFile() = default;
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;
    ~PageFile() = default;  // an unfinished page is discarded

    // Creates the temporary file; false when the folder cannot take it.
    // Our temporaries that a killed run left in the folder are removed first.
    bool create(const std::string& pagePath);
    void write(std::string_view text);
    // Flushes, syncs and renames over the page; false on any write error.
    bool commit();

    // Why create() or commit() failed, in French and without the path
    // ("système de fichiers en lecture seule", "disque plein", ...).
    const std::string& reason() const { return reason_; }

private:
    bool failed();

    platform::AtomicFile file_;
    std::string reason_;
};

}  // namespace lumigal
