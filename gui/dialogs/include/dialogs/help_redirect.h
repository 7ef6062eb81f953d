// The manual opened at a section whatever the desktop's opener does with a
// URL's fragment: some openers hand a file URL to the browser without its
// "#section", so the manual would open at its top. The opener is given a
// small page of the user's own that sends the browser on to the manual's
// section; that page's URL has no fragment to lose.
#pragma once

#include <QString>
#include <optional>

namespace lumigal {

// The text of the page that sends the browser to `target` (a URL, fragment
// included): a refresh at once, a script for browsers that ignore it, and a
// link for those that run neither.
QString helpRedirectText(const QString& target);

// The folder the redirect pages go to: the user's runtime folder, else the
// cache folder, else the temporary folder.
QString helpRedirectFolder();

// Writes the page that leads to section `anchor` of `manual` (an absolute
// path) into `folder`, one page per section (lumigal-aide-ANCHOR.html),
// replaced whole. Gives its path, or nullopt when it could not be written.
std::optional<QString> writeHelpRedirect(const QString& folder, const QString& manual,
                                         const QString& anchor);

}  // namespace lumigal
