#include "settings/settings_schema.h"

#include <array>

namespace lumigal {

namespace settings {

namespace {

using enum Stored;
using enum Installer;
using enum FirstText;

constexpr Setting number(std::string_view name, Field field, Stored stored, Installer installer,
                         std::uint32_t first) {
    return {name, Type::Number, stored, installer, first, Empty, field};
}

constexpr Setting text(std::string_view name, Field field, Stored stored, Installer installer,
                       FirstText first) {
    return {name, Type::Text, stored, installer, 0, first, field};
}

using P = Preferences;
using S = PageSettings;

// clang-format off
constexpr std::array kSchema = {
    //     name                     field                      stored         installer  first
    number("ajust",                 {},                        InstallerOnly, IfMissing, 0),
    number("bip",                   &P::bip,                   ReadWrite,     IfMissing, 0),
    number("center",                &S::center,                ReadWrite,     IfMissing, 0),
    number("details",               &S::details,               ReadWrite,     IfMissing, 1),
    number("keepSameFormat",        &S::keepSameFormat,        ReadWrite,     Never,     0),
    number("height",                &S::height,                ReadWrite,     IfMissing, 75),
    number("formatIn",              {},                        InstallerOnly, IfMissing, 3),
    number("formatOut",             {},                        InstallerOnly, IfMissing, 3),
    number("launch",                &P::launch,                ReadWrite,     IfMissing, 1),
    number("line",                  &S::line,                  ReadWrite,     IfMissing, 0),
    number("nbThumbByLine",         &S::nbThumbByLine,         ReadWrite,     IfMissing, 10),
    number("newFormat",             &S::newFormat,             ReadWrite,     Never,     0),
    number("onlyIfSuitable",        &S::onlyIfSuitable,        ReadWrite,     IfMissing, 0),
    number("position",              &S::position,              ReadWrite,     Never,     0),
    number("thumbnail",             &S::thumbnail,             ReadWrite,     IfMissing, 0),
    number("tri",                   &S::tri,                   ReadWrite,     IfMissing, 0),
    number("width",                 &S::width,                 ReadWrite,     IfMissing, 75),
    number("table_cellspace",       &S::table_cellspace,       ReadWrite,     Never,     0),
    number("table_border",          &S::table_border,          ReadWrite,     Never,     0),
    number("table_cellpadding",     &S::table_cellpadding,     ReadWrite,     Never,     0),
    number("table_bordercolordark", &S::table_bordercolordark, ReadWrite,     Never,     0),
    number("table_bordercolor",     &S::table_bordercolor,     ReadWrite,     Never,     0),
    number("style",                 &S::style,                 ReadWrite,     Never,     0),
    number("keepProportions",       &S::keepProportions,       ReadWrite,     Never,     0),
    number("portable",              &S::portable,              ReadWrite,     Never,     0),
    number("webSize",               &S::webSize,               ReadWrite,     Never,     0),
    number("keepLocation",          &S::keepLocation,          ReadWrite,     Never,     0),
    number("modernFormat",          &S::modernFormat,          ReadWrite,     Never,     0),
    number("modernWidth",           &S::modernWidth,           ReadWrite,     Never,     0),
    number("modernHeight",          &S::modernHeight,          ReadWrite,     Never,     0),
    number("gallery",               &S::gallery,               ReadWrite,     Never,     0),
    number("sortOrder",             &S::sortOrder,             ReadWrite,     Never,     0),
    number("reverseOrder",          &S::reverseOrder,          ReadWrite,     Never,     0),
    number("perPage",               &S::perPage,               ReadWrite,     Never,     0),
    number("page_textcolor",        &S::page_textcolor,        MemoryOnly,    Never,     0),
    number("page_infocolor",        &S::page_infocolor,        MemoryOnly,    Never,     0),
    number("page_bgcolor",          &S::page_bgcolor,          MemoryOnly,    Never,     0),
    text("pathSave",                &P::pathSave,              ReadWrite,     IfMissing, Folder),
    text("pathLaunch",              &P::pathLaunch,            ReadWrite,     IfMissing, Folder),
    text("pathThumbnail",           &P::pathThumbnail,         ReadWrite,     Never,     Empty),
    text("installPath",             &P::installPath,           ReadOnly,      Always,    Folder),
    text("pageTitle",               &S::pageTitle,             MemoryOnly,    Never,     Empty),
    text("pageFolder",              &S::pageFolder,            MemoryOnly,    Never,     Empty),
    text("pagePath",                &S::pagePath,              MemoryOnly,    Never,     Empty),
};
// clang-format on

// Each row is consistent: a field of its type, or no field for a value
// that only the installer writes; numbers come before texts.
constexpr bool wellFormed() {
    bool textSeen = false;
    for (const Setting& s : kSchema) {
        if (s.field.exists() != (s.stored != InstallerOnly)) return false;
        if (s.field.exists() && s.field.isText() != (s.type == Type::Text)) return false;
        if (s.stored == InstallerOnly && s.installer == Never) return false;
        if (s.type == Type::Text) textSeen = true;
        if (textSeen && s.type == Type::Number) return false;
    }
    return true;
}
static_assert(wellFormed());

}  // namespace

std::uint32_t Field::number(const Preferences& prefs, const PageSettings& page) const {
    if (prefsNumber_) return prefs.*prefsNumber_;
    if (pageNumber_) return page.*pageNumber_;
    return static_cast<std::uint32_t>(page.*pageSigned_);
}

void Field::setNumber(Preferences& prefs, PageSettings& page, std::uint32_t value) const {
    if (prefsNumber_) {
        prefs.*prefsNumber_ = value;
    } else if (pageNumber_) {
        page.*pageNumber_ = value;
    } else {
        page.*pageSigned_ = static_cast<std::int32_t>(value);
    }
}

std::string& Field::text(Preferences& prefs, PageSettings& page) const {
    return prefsText_ ? prefs.*prefsText_ : page.*pageText_;
}

const std::string& Field::text(const Preferences& prefs, const PageSettings& page) const {
    return prefsText_ ? prefs.*prefsText_ : page.*pageText_;
}

std::span<const Setting> schema() { return kSchema; }

}  // namespace settings

void initialSettings(Preferences& prefs, PageSettings& page, const std::string& installFolder) {
    prefs = Preferences{};
    page = PageSettings{};
    for (const settings::Setting& s : settings::schema()) {
        if (!s.field.exists()) continue;
        if (s.type == settings::Type::Number) {
            s.field.setNumber(prefs, page, s.firstNumber);
        } else {
            s.field.text(prefs, page) =
                s.firstText == settings::FirstText::Folder ? installFolder : std::string();
        }
    }
}

}  // namespace lumigal
