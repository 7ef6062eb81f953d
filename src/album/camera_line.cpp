#include "album/camera_line.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace lumigal {

namespace {

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithWord(const std::string& text, const std::string& word) {
    if (word.empty() || text.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (lower(text[i]) != lower(word[i])) return false;
    }
    return text.size() == word.size() || text[word.size()] == ' ' || text[word.size()] == '-';
}

// "Canon" and "Canon EOS 80D" make "Canon EOS 80D"; "NIKON CORPORATION"
// and "NIKON D750" make "NIKON D750".
std::string cameraName(const std::string& make, const std::string& model) {
    if (model.empty()) return make;
    if (make.empty()) return model;
    const std::string brand = make.substr(0, make.find(' '));
    if (startsWithWord(model, make) || startsWithWord(model, brand)) return model;
    return make + " " + model;
}

// 5.6 as "5,6", 8 as "8", 4.25 as "4,3": one decimal at most.
std::string decimal(double value) {
    const double rounded = std::round(value * 10) / 10;
    char text[32];
    if (rounded == std::floor(rounded)) {
        std::snprintf(text, sizeof text, "%.0f", rounded);
    } else {
        std::snprintf(text, sizeof text, "%.1f", rounded);
    }
    std::string shown = text;
    for (char& c : shown) {
        if (c == '.') c = ',';
    }
    return shown;
}

bool shownNumber(double value) { return std::isfinite(value) && value > 0 && value < 1e6; }

}  // namespace

std::string cameraLine(const PhotoMetadata& m) {
    std::vector<std::string> parts;
    const std::string camera = cameraName(trimmed(m.make), trimmed(m.model));
    if (!camera.empty()) parts.push_back(camera);
    const std::string lens = trimmed(m.lens);
    if (!lens.empty()) parts.push_back(lens);
    if (shownNumber(m.focalLength)) parts.push_back(decimal(m.focalLength) + " mm");
    if (shownNumber(m.aperture)) parts.push_back("f/" + decimal(m.aperture));
    if (!m.exposureTime.empty()) {
        std::string shutter = m.exposureTime;
        for (char& c : shutter) {
            if (c == '.') c = ',';
        }
        parts.push_back(shutter + " s");
    }
    if (m.iso > 0) parts.push_back("ISO " + std::to_string(m.iso));
    std::string line;
    for (const std::string& part : parts) {
        if (!line.empty()) line += " · ";
        line += part;
    }
    return line;
}

}  // namespace lumigal
