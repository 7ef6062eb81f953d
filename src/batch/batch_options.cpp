#include "batch/batch_options.h"

#include <getopt.h>

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>

#include "common/image_limits.h"
#include "common/paths.h"
#include "selection/gallery_run.h"

namespace lumigal::batch {

namespace {

std::optional<unsigned> parseUnsigned(const std::string& text) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

bool parseSize(const std::string& text, unsigned& width, unsigned& height) {
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    const auto w = parseUnsigned(text.substr(0, x));
    const auto h = parseUnsigned(text.substr(x + 1));
    // The image library makes nothing wider or taller than kMaxImageSide.
    if (!w || !h || *w > kMaxImageSide || *h > kMaxImageSide) return false;
    width = *w;
    height = *h;
    return true;
}

bool parseTypes(const std::string& text, ScanFormats& formats) {
    formats = ScanFormats{false, false, false, false, false, false, false, false, false, false, {}};
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        const std::string type = text.substr(start, comma - start);
        if (type == "bmp") formats.bmp = true;
        else if (type == "dib") formats.dib = true;
        else if (type == "gif") formats.gif = true;
        else if (type == "jpeg" || type == "jpg") formats.jpeg = true;
        else if (type == "png") formats.png = true;
        else if (type == "xbm") formats.xbm = true;
        else if (type == "webp") formats.webp = true;
        else if (type == "heic" || type == "heif") formats.heic = true;
        else if (type == "avif") formats.avif = true;
        else if (type == "tiff" || type == "tif") formats.tiff = true;
        else if (type == "video") formats.videos = VideoTypes::all();
        else if (type == "mp4") formats.videos.mp4 = true;
        else if (type == "mov") formats.videos.mov = true;
        else if (type == "m4v") formats.videos.m4v = true;
        else if (type == "3gp") formats.videos.threeGp = true;
        else if (type == "webm") formats.videos.webm = true;
        else if (type == "mkv") formats.videos.mkv = true;
        else if (type == "avi") formats.videos.avi = true;
        else return false;
        start = comma + 1;
    }
    return true;
}

bool setColour(std::optional<Colour>& target, const std::string& v) {
    const auto c = parseHtmlColour(v);
    if (!c || v.empty() || v[0] != '#') return false;
    target = *c;
    return true;
}

bool setNumber(std::optional<unsigned>& target, const std::string& v) {
    target = parseUnsigned(v);
    return target.has_value();
}

// One row per option: the parser, the help text and the error texts are all
// made from this table.
//   Flag    --name (and -x)                 `flag(options, true)`
//   Toggle  --name and --no-name            `flag(options, true / false)`
//   Value   --name VALUE, --name=VALUE, -xVALUE, -x VALUE
//           `value(options, text)`; false: the value is refused, and the
//           message names `accepted`.
enum class Kind { Flag, Toggle, Value };

struct OptionRow {
    const char* name;
    char shortName;  // '\0': long form only
    Kind kind;
    const char* valueName;  // Value: the value's name in the help
    const char* help;
    const char* accepted;  // Value: what the option takes, in the error text
    std::function<bool(BatchOptions&, const std::string&)> value = {};
    std::function<void(BatchOptions&, bool)> flag = {};
    // Toggle: the values it also takes, "--name=WORD" or "--name WORD"
    // (the next argument is taken only when it is one of them); null: none.
    const char* const* words = nullptr;
};

constexpr const char* kSortWords[] = {"name", "date", "none", nullptr};

bool isWord(const char* const* words, const std::string& text) {
    for (; words && *words; ++words) {
        if (text == *words) return true;
    }
    return false;
}

bool validBaseUrl(const std::string& url) {
    const std::size_t scheme = url.starts_with("https://") ? 8 : url.starts_with("http://") ? 7 : 0;
    if (scheme == 0 || url.size() == scheme || url[scheme] == '/') return false;
    return std::none_of(url.begin(), url.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u <= 0x20 || u == 0x7f || c == '"' || c == '<' || c == '>' || c == '\\' || c == '`';
    });
}

constexpr const char* kColour = "une couleur au format #RRVVBB";
constexpr const char* kCount = "un nombre entier positif ou nul";

// The options that end the parsing at once.
constexpr const char* kHelp = "help";
constexpr const char* kVersion = "version";

const std::vector<OptionRow>& optionTable() {
    using O = BatchOptions;
    using S = const std::string&;
    static const std::vector<OptionRow> rows = {
        {"output", 'o', Kind::Value, "PAGE", "page à écrire (obligatoire)", "un nom de fichier",
         [](O& o, S v) { o.output = v; return !v.empty(); }},
        {"title", 't', Kind::Value, "TEXTE", "titre de la page (par défaut « Lumigal »)",
         "un texte", [](O& o, S v) { o.title = v; return true; }},
        {"footer", 0, Kind::Value, "TEXTE", "texte du pied de page (pages modernes)", "un texte",
         [](O& o, S v) { o.footer = v; return true; }},
        {"mode", 'm', Kind::Value, "MODE", "thumbnails | details | plain",
         "thumbnails, details, plain",
         [](O& o, S v) {
             if (v == "thumbnails") o.mode = Mode::Thumbnails;
             else if (v == "details") o.mode = Mode::Details;
             else if (v == "plain") o.mode = Mode::Plain;
             else return false;
             return true;
         }},
        {"position", 'p', Kind::Value, "N",
         "texte des détails : 1 dessus, 2 dessous, 3 à gauche, 4 à droite", "1, 2, 3, 4",
         [](O& o, S v) {
             const auto p = parseUnsigned(v);
             if (!p || *p < 1 || *p > 4) return false;
             o.position = static_cast<int>(*p);
             return true;
         }},
        {"center", 0, Kind::Toggle, nullptr, "centrer les blocs de détails", nullptr, {},
         [](O& o, bool on) { o.center = on; }},
        {"line", 0, Kind::Toggle, nullptr, "un trait après chaque image", nullptr, {},
         [](O& o, bool on) { o.line = on; }},
        {"sort", 0, Kind::Toggle, "ORDRE",
         "« Trier » : ordre alphabétique ; avec ORDRE (name | date | none), l'ordre des pages "
         "modernes et des galeries : nom, date de prise de vue, ordre trouvé",
         "name, date, none",
         [](O& o, S v) {
             if (v == "name") o.sortOrder = kSortByName;
             else if (v == "date") o.sortOrder = kSortByDate;
             else if (v == "none") o.sortOrder = kSortNone;
             else return false;
             // « Trier » (the classic page's) follows name and none.
             if (v != "date") o.sort = v == "name";
             return true;
         },
         [](O& o, bool on) { o.sort = on; }, kSortWords},
        {"reverse", 0, Kind::Toggle, nullptr, "l'ordre des photos et des albums inversé", nullptr, {},
         [](O& o, bool on) { o.reverse = on; }},
        {"only-if-suitable", 0, Kind::Toggle, nullptr,
         "montrer l'image elle-même quand elle est plus petite que la vignette", nullptr, {},
         [](O& o, bool on) { o.onlyIfSuitable = on; }},
        {"size", 's', Kind::Value, "LxH", "largeur et hauteur des vignettes",
         "LARGEURxHAUTEUR, chacune au plus 16384, par exemple 120x90",
         [](O& o, S v) {
             unsigned w = 0, h = 0;
             if (!parseSize(v, w, h)) return false;
             o.width = w;
             o.height = h;
             return true;
         }},
        {"thumb-dir", 0, Kind::Value, "DOSSIER", "dossier des vignettes (par défaut celui de la page)",
         "un nom de dossier", [](O& o, S v) { o.thumbDir = v; return !v.empty(); }},
        {"per-row", 0, Kind::Value, "N", "vignettes par ligne", kCount,
         [](O& o, S v) { return setNumber(o.perRow, v); }},
        {"format", 0, Kind::Value, "F", "format des vignettes : same | bmp | gif | jpeg | png (jpeg pour modern)",
         "same, bmp, gif, jpeg, png",
         [](O& o, S v) {
             static const std::map<std::string, int> formats = {
                 {"same", -1}, {"bmp", 0}, {"gif", 1}, {"jpeg", kJpegThumbnailFormat},
                 {"jpg", kJpegThumbnailFormat}, {"png", 3}};
             const auto it = formats.find(v);
             if (it == formats.end()) return false;
             o.format = it->second;
             return true;
         }},
        {"bg-color", 0, Kind::Value, "C", "couleur du fond (#RRVVBB)", kColour,
         [](O& o, S v) { return setColour(o.bgColour, v); }},
        {"text-color", 0, Kind::Value, "C", "couleur du texte", kColour,
         [](O& o, S v) { return setColour(o.textColour, v); }},
        {"info-color", 0, Kind::Value, "C", "couleur des informations", kColour,
         [](O& o, S v) { return setColour(o.infoColour, v); }},
        {"border-color", 0, Kind::Value, "C", "couleur claire du cadre du tableau", kColour,
         [](O& o, S v) { return setColour(o.borderColour, v); }},
        {"border-color-dark", 0, Kind::Value, "C", "couleur sombre du cadre du tableau", kColour,
         [](O& o, S v) { return setColour(o.borderColourDark, v); }},
        {"border", 0, Kind::Value, "N", "épaisseur du cadre du tableau", kCount,
         [](O& o, S v) { return setNumber(o.border, v); }},
        {"cell-spacing", 0, Kind::Value, "N", "espace entre les cellules", kCount,
         [](O& o, S v) { return setNumber(o.cellSpacing, v); }},
        {"cell-padding", 0, Kind::Value, "N", "marge dans les cellules", kCount,
         [](O& o, S v) { return setNumber(o.cellPadding, v); }},
        {"style", 0, Kind::Value, "STYLE", "classic (par défaut) | modern : page pour les navigateurs d'aujourd'hui",
         "classic, modern",
         [](O& o, S v) {
             if (v == "classic") o.style = kStyleClassic;
             else if (v == "modern") o.style = kStyleModern;
             else return false;
             return true;
         }},
        {"keep-proportions", 0, Kind::Toggle, nullptr,
         "vignettes aux proportions de l'image (par défaut pour modern)", nullptr, {},
         [](O& o, bool on) { o.keepProportions = on; }},
        {"portable", 0, Kind::Toggle, nullptr,
         "album autonome : liens relatifs, images et vignettes dans le dossier de la page",
         nullptr, {}, [](O& o, bool on) { o.portable = on; }},
        {"web-size", 0, Kind::Value, "N",
         "album autonome : copies dont le grand côté fait au plus N pixels (0 : les originaux)",
         kCount, [](O& o, S v) { return setNumber(o.webSize, v); }},
        {"follow-links", 0, Kind::Flag, nullptr,
         "album autonome : suivre les liens qui mènent hors des dossiers donnés", nullptr, {},
         [](O& o, bool) { o.followLinks = true; }},
        {"keep-location", 0, Kind::Toggle, nullptr,
         "album autonome : les copies aux dimensions d'origine gardent le lieu de prise de vue",
         nullptr, {}, [](O& o, bool on) { o.keepLocation = on; }},
        {"gallery", 0, Kind::Flag, nullptr,
         "galerie : un album par dossier, dans l'arborescence des dossiers (moderne, autonome, "
         "vignettes ; par défaut par date)",
         nullptr, {}, [](O& o, bool) { o.gallery = true; }},
        {"per-page", 0, Kind::Value, "N", "photos par page des galeries (100 par défaut ; 0 : une seule page)",
         kCount, [](O& o, S v) {
             const auto n = parseUnsigned(v);
             if (!n) return false;
             o.perPage = *n == 0 ? kOnePage : *n;
             return true;
         }},
        {"base-url", 0, Kind::Value, "URL",
         "galerie : l'adresse où elle sera publiée (cartes d'aperçu des liens partagés)",
         "une adresse http:// ou https://",
         [](O& o, S v) { o.baseUrl = v; return validBaseUrl(v); }},
        {"zip", 0, Kind::Flag, nullptr, "galerie : chaque album offre un ZIP de ses copies", nullptr, {},
         [](O& o, bool) { o.zip = true; }},
        {"recursive", 'r', Kind::Flag, nullptr, "dossiers : parcourir aussi les sous-dossiers",
         nullptr, {}, [](O& o, bool) { o.recursive = true; }},
        {"types", 0, Kind::Value, "LISTE",
         "dossiers : types à prendre, parmi bmp,dib,gif,jpeg,png,xbm,webp,heic,avif,tiff et les "
         "vidéos mp4,mov,m4v,3gp,webm,mkv,avi (video : toutes ; une galerie prend les vidéos sans --types)",
         "bmp, dib, gif, jpeg, png, xbm, webp, heic, avif, tiff, video, mp4, mov, m4v, 3gp, webm, "
         "mkv, avi, séparés par des virgules",
         [](O& o, S v) {
             o.typesGiven = true;
             return parseTypes(v, o.types);
         }},
        {"jobs", 'j', Kind::Value, "N", "vignettes faites par N tâches (par défaut une par processeur)",
         "un nombre de 1 à 256",
         [](O& o, S v) {
             const auto n = parseUnsigned(v);
             if (!n || *n < 1 || *n > 256) return false;
             o.jobs = static_cast<int>(*n);
             return true;
         }},
        {"quiet", 'q', Kind::Flag, nullptr, "pas d'affichage de la progression", nullptr, {},
         [](O& o, bool) { o.quiet = true; }},
        {kHelp, 'h', Kind::Flag, nullptr, "cette aide", nullptr, {}, [](O&, bool) {}},
        {kVersion, 0, Kind::Flag, nullptr, "la version", nullptr, {}, [](O&, bool) {}},
    };
    return rows;
}

// getopt_long's value for each option: the short letter when there is one,
// otherwise 256 + twice the row's index (+1 for the --no- form).
int optionCode(std::size_t row, bool negated) {
    const OptionRow& r = optionTable()[row];
    if (r.shortName != '\0' && !negated) return static_cast<unsigned char>(r.shortName);
    return 256 + 2 * static_cast<int>(row) + (negated ? 1 : 0);
}

struct GetoptTable {
    std::vector<std::string> names;  // owns the long names ("no-center")
    std::vector<option> longOptions;
    std::string shortOptions = ":";  // ':': a missing value is returned as ':'
    std::map<int, std::pair<std::size_t, bool>> rowOfCode;  // code -> row, negated
};

GetoptTable makeGetoptTable() {
    GetoptTable t;
    const auto& rows = optionTable();
    t.names.reserve(rows.size() * 2);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const OptionRow& r = rows[i];
        const int argument = r.kind == Kind::Value ? required_argument
                             : r.words              ? optional_argument
                                                    : no_argument;
        t.names.emplace_back(r.name);
        t.longOptions.push_back({t.names.back().c_str(), argument, nullptr, optionCode(i, false)});
        t.rowOfCode[optionCode(i, false)] = {i, false};
        if (r.kind == Kind::Toggle) {
            t.names.push_back(std::string("no-") + r.name);
            t.longOptions.push_back({t.names.back().c_str(), no_argument, nullptr, optionCode(i, true)});
            t.rowOfCode[optionCode(i, true)] = {i, true};
        }
        if (r.shortName != '\0') {
            t.shortOptions += r.shortName;
            if (r.kind == Kind::Value) t.shortOptions += ':';
        }
    }
    t.longOptions.push_back({nullptr, 0, nullptr, 0});
    return t;
}

std::string longForm(std::size_t row, bool negated) {
    return std::string(negated ? "--no-" : "--") + optionTable()[row].name;
}

// The option as the user wrote it, for an unknown one: "-x", or "--name"
// without its "=value".
std::string writtenOption(const std::string& arg, int shortCode) {
    if (shortCode > 0 && shortCode < 256) return std::string("-") + static_cast<char>(shortCode);
    return arg.substr(0, arg.find('='));
}

}  // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) {
    ParsedCommandLine result;
    BatchOptions& o = result.options;
    const GetoptTable table = makeGetoptTable();
    const auto& rows = optionTable();

    // getopt_long works on a mutable argv whose first entry is the program.
    std::vector<std::string> storage;
    storage.reserve(args.size() + 1);
    storage.emplace_back("lumigal-batch");
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(storage.size());

    optind = 0;  // glibc: a full reset, so that the parser can run again
    opterr = 0;  // the messages are ours
    for (;;) {
        int longIndex = -1;
        const int code = getopt_long(argc, argv.data(), table.shortOptions.c_str(),
                                     table.longOptions.data(), &longIndex);
        if (code == -1) break;
        if (code == '?') {
            const std::string arg = argv[optind - 1] != nullptr ? argv[optind - 1] : "";
            const auto known = table.rowOfCode.find(optopt);
            if (optopt != 0 && known != table.rowOfCode.end() && arg.starts_with("--")) {
                result.error = "l'option " + longForm(known->second.first, known->second.second) +
                               " ne prend pas de valeur";
            } else {
                result.error = "option inconnue : " + writtenOption(arg, optopt);
            }
            return result;
        }
        if (code == ':') {
            const auto known = table.rowOfCode.find(optopt);
            const std::string name = known != table.rowOfCode.end()
                                         ? longForm(known->second.first, false)
                                         : writtenOption("", optopt);
            result.error = "l'option " + name + " attend une valeur";
            return result;
        }
        const auto [row, negated] = table.rowOfCode.at(code);
        const OptionRow& r = rows[row];
        if (r.name == std::string(kHelp)) {
            result.outcome = ParsedCommandLine::Help;
            return result;
        }
        if (r.name == std::string(kVersion)) {
            result.outcome = ParsedCommandLine::Version;
            return result;
        }
        if (r.kind != Kind::Value && r.words && !negated) {
            std::string word;
            if (optarg != nullptr) {
                word = optarg;
            } else if (optind < argc && isWord(r.words, argv[static_cast<std::size_t>(optind)])) {
                word = argv[static_cast<std::size_t>(optind++)];
            }
            if (!word.empty() || optarg != nullptr) {
                if (!r.value(o, word)) {
                    result.error = longForm(row, false) + " : « " + word +
                                   " » n'est pas une valeur permise (" + r.accepted + ")";
                    return result;
                }
                continue;
            }
        }
        if (r.kind != Kind::Value) {
            r.flag(o, !negated);
            continue;
        }
        const std::string value = optarg != nullptr ? optarg : "";
        if (!r.value(o, value)) {
            result.error = longForm(row, false) + " : « " + value +
                           " » n'est pas une valeur permise (" + r.accepted + ")";
            return result;
        }
    }
    for (int i = optind; i < argc; ++i) o.inputs.emplace_back(argv[static_cast<std::size_t>(i)]);
    optind = 0;
    if (o.output.empty()) {
        result.error = "la page à écrire manque (-o PAGE)";
        return result;
    }
    if (o.inputs.empty()) {
        result.error = "aucune image ni dossier donné";
        return result;
    }
    // An empty name is a slip (an unset variable), never the current folder.
    if (std::find(o.inputs.begin(), o.inputs.end(), std::string()) != o.inputs.end()) {
        result.error = "nom d'image ou de dossier vide (« »)";
        return result;
    }
    if (o.gallery && ((o.mode && *o.mode != Mode::Thumbnails) || (o.style && *o.style != kStyleModern))) {
        result.error = "--gallery : une galerie est toujours moderne, en vignettes";
        return result;
    }
    if (o.gallery && o.portable && !*o.portable) {
        result.error = "--gallery : une galerie est toujours un album autonome";
        return result;
    }
    if (o.zip && !o.gallery) {
        result.error = "--zip : seule une galerie offre le ZIP de ses albums (--gallery)";
        return result;
    }
    result.outcome = ParsedCommandLine::Run;
    return result;
}

std::string usageText() {
    std::string text =
        "Usage : lumigal-batch [OPTIONS] -o PAGE IMAGE_OU_DOSSIER...\n"
        "Crée une page d'album HTML à partir d'images (BMP, DIB, GIF, JPEG, PNG, XBM,\n"
        "WebP, HEIC/HEIF, AVIF, TIFF).\n\n";
    constexpr std::size_t kHelpColumn = 29;
    for (const OptionRow& r : optionTable()) {
        std::string line = r.shortName != '\0' ? std::string("  -") + r.shortName + ", " : "      ";
        line += std::string("--") + r.name;
        if (r.kind == Kind::Value) line += std::string(" ") + r.valueName;
        if (r.kind == Kind::Toggle && r.words) line += std::string("[=") + r.valueName + "]";
        if (r.kind == Kind::Toggle) line += std::string(", --no-") + r.name;
        if (line.size() + 2 > kHelpColumn) {
            line += "\n";
            line.append(kHelpColumn, ' ');
        } else {
            line.append(kHelpColumn - line.size(), ' ');
        }
        text += line + r.help + "\n";
    }
    text +=
        "\nLes options absentes prennent les réglages enregistrés de Lumigal, sinon ceux d'une\n"
        "première installation. Le dossier de la page est créé s'il n'existe pas.\n"
        "Les options courtes se groupent (-qr) et prennent leur valeur collée (-j1, -s120x90) ;\n"
        "« -- » termine les options.\n"
        "Code de sortie : 0 page écrite avec toutes les images, 3 page écrite sans certains\n"
        "fichiers (image illisible, fichier absent ou qui n'est pas une image, dossier illisible),\n"
        "1 page non écrite, 2 usage incorrect.\n";
    return text;
}

void defaultSettings(Preferences& prefs, PageSettings& page) {
    initialSettings(prefs, page, "");
    page.page_bgcolor = makeColour(255, 255, 255);
    page.page_textcolor = 0;
    page.page_infocolor = 0;
}

void applyOptions(const BatchOptions& o, Preferences& prefs, PageSettings& page) {
    page.pagePath = absolutePath(o.output);
    std::string folder = splitPath(page.pagePath).folder;
    if (folder.size() > 1 && folder.back() == kPathSeparator) folder.pop_back();
    page.pageFolder = folder;
    page.pageTitle = o.title.value_or("Lumigal");
    page.footer = o.footer.value_or("");
    if (o.mode) {
        page.thumbnail = *o.mode == Mode::Thumbnails;
        page.details = *o.mode == Mode::Details;
    }
    if (o.position) page.position = *o.position;
    if (page.position < 1 || page.position > 4) page.position = 1;
    if (o.center) page.center = *o.center;
    if (o.line) page.line = *o.line;
    if (o.sort) page.tri = *o.sort;
    if (o.onlyIfSuitable) page.onlyIfSuitable = *o.onlyIfSuitable;
    if (o.width) page.width = *o.width;
    if (o.height) page.height = *o.height;
    // The size asked for holds for the page's style, whichever it is.
    if (o.width || o.height) setThumbnailSize(page, kStyleModern, {page.width, page.height});
    if (o.thumbDir) prefs.pathThumbnail = absolutePath(*o.thumbDir);
    if (o.perRow) page.nbThumbByLine = *o.perRow;
    if (o.format) {
        // The format asked for holds for the page's style, whichever it is.
        const ThumbnailFormat format{*o.format < 0, *o.format >= 0 ? *o.format : page.newFormat};
        setThumbnailFormat(page, kStyleClassic, format);
        setThumbnailFormat(page, kStyleModern, format);
    }
    if (o.bgColour) page.page_bgcolor = *o.bgColour;
    if (o.textColour) page.page_textcolor = *o.textColour;
    if (o.infoColour) page.page_infocolor = *o.infoColour;
    if (o.borderColour) page.table_bordercolor = *o.borderColour;
    if (o.borderColourDark) page.table_bordercolordark = *o.borderColourDark;
    if (o.border) page.table_border = *o.border;
    if (o.cellSpacing) page.table_cellspace = *o.cellSpacing;
    if (o.cellPadding) page.table_cellpadding = *o.cellPadding;
    if (o.style) page.style = *o.style;
    if (o.keepProportions) page.keepProportions = *o.keepProportions ? kProportionsKept : kProportionsExact;
    if (o.portable) page.portable = *o.portable;
    if (o.webSize) page.webSize = *o.webSize;
    page.followLinks = o.followLinks;
    if (o.keepLocation) page.keepLocation = *o.keepLocation ? 1 : 0;
    if (o.sortOrder) page.sortOrder = *o.sortOrder;
    if (o.reverse) page.reverseOrder = *o.reverse ? 1 : 0;
    if (o.perPage) page.perPage = *o.perPage;
    if (o.gallery) {
        page.gallery = 1;
        page.style = kStyleModern;
        page.portable = 1;
        page.thumbnail = 1;
        page.details = 0;
    }
}

unsigned photosPerPage(const PageSettings& page) { return galleryPhotosPerPage(page); }

}  // namespace lumigal::batch
