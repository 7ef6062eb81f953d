#include "album/page_file.h"

#include "platform/system_error.h"

namespace lumigal {

bool PageFile::failed() {
    reason_ = platform::errnoText(file_.error().err, platform::FileAccess::Writing);
    return false;
}

bool PageFile::create(const std::string& pagePath) {
    reason_.clear();
    const std::size_t slash = pagePath.rfind('/');
    platform::removeStaleTemporaries(slash == std::string::npos ? std::string()
                                                                : pagePath.substr(0, slash + 1));
    return file_.create(pagePath) || failed();
}

void PageFile::write(std::string_view text) { file_.write(text); }

bool PageFile::commit() {
    // A failed write has removed the temporary and kept its reason.
    if (!file_.isOpen()) return file_.error().err != 0 ? failed() : false;
    return file_.commit() || failed();
}

}  // namespace lumigal
