// The names a gallery gives: each photo's address in its album, and each
// album's folder in the output.
#pragma once

#include <string>
#include <vector>

namespace lumigal {

// The address of each photo of an album, from its file name: [a-z0-9-]
// only ("Été 2026.JPG" gives "t-2026-jpg"), never empty, unique within the
// album (a second "a.jpg" of another case gives "a-jpg-2"). The same names
// give the same addresses at every run.
std::vector<std::string> photoIds(const std::vector<std::string>& names);

// The folder of each album among its siblings, from its source folder's
// name: no "..", no leading dot, no control character, no separator, and
// unique with case ignored, never the name of an album's own folders
// (images, vignettes): "Images" gives "Images (2)".
std::vector<std::string> albumFolderNames(const std::vector<std::string>& names);

}  // namespace lumigal
