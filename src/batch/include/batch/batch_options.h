// The command line of lumigal-batch and how it maps onto the settings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "album/settings.h"
#include "common/colour.h"
#include "selection/folder_scan.h"

namespace lumigal::batch {

enum class Mode { Thumbnails, Details, Plain };

struct BatchOptions {
    std::string output;
    std::optional<std::string> title;
    std::optional<std::string> footer;  // the modern page's footer text
    std::optional<Mode> mode;
    std::optional<int> position;
    std::optional<bool> center, line, sort, onlyIfSuitable;
    std::optional<unsigned> width, height;
    std::optional<std::string> thumbDir;
    std::optional<unsigned> perRow;
    std::optional<int> format;  // -1 same as the source, 0 BMP, 1 GIF, 2 JPEG, 3 PNG
    std::optional<Colour> bgColour, textColour, infoColour, borderColour, borderColourDark;
    std::optional<unsigned> border, cellSpacing, cellPadding;
    std::optional<std::uint32_t> style;          // kStyleClassic or kStyleModern
    std::optional<bool> keepProportions, portable;
    std::optional<unsigned> webSize;             // 0: the originals
    std::optional<bool> keepLocation;
    bool gallery = false;
    std::optional<std::uint32_t> sortOrder;  // kSortByName, kSortByDate, kSortNone
    std::optional<bool> reverse;
    std::optional<std::uint32_t> perPage;    // a number, or kOnePage
    std::string baseUrl;                     // validated: http:// or https://
    bool zip = false;                        // gallery: a ZIP of each album's copies
    bool recursive = false;
    bool followLinks = false;  // portable: links that lead out of the folders given
    ScanFormats types;
    bool typesGiven = false;  // --types: else a gallery takes videos too
    bool quiet = false;
    int jobs = 0;  // thumbnail workers; 0: one per processor
    std::vector<std::string> inputs;
};

struct ParsedCommandLine {
    enum Outcome { Run, Help, Version, Error } outcome = Error;
    std::string error;  // for Error: what is wrong, in French
    BatchOptions options;
};

// `args` without the program name.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& args);

std::string usageText();

// The settings a run starts from when nothing is stored: the first values
// of the settings table (those the installer writes), without an
// installation folder, with a white page, black text and black information.
void defaultSettings(Preferences& prefs, PageSettings& page);

// Overrides the settings with the options given; sets the page's path,
// folder and title. Relative paths are made absolute against the current
// folder.
void applyOptions(const BatchOptions& options, Preferences& prefs, PageSettings& page);

// The photos per page of a gallery made with `page` (0: all on one page),
// as the desktop program counts them (galleryPhotosPerPage).
unsigned photosPerPage(const PageSettings& page);

}  // namespace lumigal::batch
