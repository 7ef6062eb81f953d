// What a video's metadata texts mean, whoever read them: its dates and the
// keys that hold a place.
#pragma once

#include <string>
#include <string_view>

namespace lumigal {

// A date and time "YYYY-MM-DD[T ]HH:MM:SS", with or without a fraction of
// a second, and an offset "Z", "+HH:MM", "+HHMM" or "+HH" (or "-"), as
// `time` "YYYY-MM-DDTHH:MM:SS" and `offset` "+02:00" ("+00:00" for "Z";
// empty without one). False for any other text, for a date or time out of
// range, and for a clock never set (before 1971).
bool readCaptureTime(std::string_view text, std::string& time, std::string& offset);

// Whether a metadata key holds a place: "location", "location-eng",
// "com.apple.quicktime.location.ISO6709", QuickTime's "©xyz", any case.
bool namesLocation(std::string_view key);

}  // namespace lumigal
