#include "metadata_library.h"

#include <exiv2/exiv2.hpp>

#include <mutex>

namespace lumigal {

namespace {

// Serialises the XMP toolkit's registration of the namespaces that a
// packet brings (the workers parse packets side by side).
std::mutex xmpNamespaces;

void lockXmp(void*, bool lock) {
    if (lock) {
        xmpNamespaces.lock();
    } else {
        xmpNamespaces.unlock();
    }
}

}  // namespace

void startMetadataLibrary() {
    static std::once_flag started;
    std::call_once(started, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize(lockXmp, nullptr);
    });
}

}  // namespace lumigal
