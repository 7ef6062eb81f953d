#include <string>
#include <vector>

#include "magick_image.h"

namespace lumigal {

void dropMetadata(Image& image) {
    std::vector<std::string> names;
    ResetImageProfileIterator(&image);
    for (const char* name = GetNextImageProfile(&image); name; name = GetNextImageProfile(&image)) {
        const std::string profile(name);
        if (profile != "icc" && profile != "icm") names.push_back(profile);
    }
    for (const std::string& name : names) DeleteImageProfile(&image, name.c_str());
    names.clear();
    ResetImagePropertyIterator(&image);
    for (const char* name = GetNextImageProperty(&image); name; name = GetNextImageProperty(&image)) {
        names.emplace_back(name);
    }
    for (const std::string& name : names) DeleteImageProperty(&image, name.c_str());
    // The writer's own text and time chunks (its dates). Compressed text
    // stays allowed: the writer would leave the colour profile out with it,
    // and without the profiles dropped above it has none to write.
    SetImageArtifact(&image, "png:exclude-chunk", "date,tIME,tEXt,iTXt,eXIf");
}

}  // namespace lumigal
