#include "metadata_library.h"

#include <exiv2/exiv2.hpp>

#include <mutex>

namespace lumigal {

void startMetadataLibrary() {
    static std::once_flag started;
    std::call_once(started, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    });
}

}  // namespace lumigal
