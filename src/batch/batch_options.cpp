#include "batch/batch_options.h"

#include <charconv>
#include <functional>
#include <map>

#include "common/paths.h"

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
    if (!w || !h) return false;
    width = *w;
    height = *h;
    return true;
}

bool parseTypes(const std::string& text, ScanFormats& formats) {
    formats = ScanFormats{false, false, false, false, false, false, false, false, false, false};
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
        else return false;
        start = comma + 1;
    }
    return true;
}

}  // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) {
    ParsedCommandLine result;
    BatchOptions& o = result.options;
    bool outputGiven = false;

    using ValueHandler = std::function<bool(const std::string&)>;
    auto colour = [](std::optional<Colour>& target) -> ValueHandler {
        return [&target](const std::string& v) {
            const auto c = parseHtmlColour(v);
            if (!c || v.empty() || v[0] != '#') return false;
            target = *c;
            return true;
        };
    };
    auto number = [](std::optional<unsigned>& target) -> ValueHandler {
        return [&target](const std::string& v) {
            target = parseUnsigned(v);
            return target.has_value();
        };
    };
    const std::map<std::string, ValueHandler> withValue = {
        {"-o", [&](const std::string& v) { o.output = v; outputGiven = !v.empty(); return outputGiven; }},
        {"-t", [&](const std::string& v) { o.title = v; return true; }},
        {"-m", [&](const std::string& v) {
             if (v == "thumbnails") o.mode = Mode::Thumbnails;
             else if (v == "details") o.mode = Mode::Details;
             else if (v == "plain") o.mode = Mode::Plain;
             else return false;
             return true;
         }},
        {"-p", [&](const std::string& v) {
             const auto p = parseUnsigned(v);
             if (!p || *p < 1 || *p > 4) return false;
             o.position = static_cast<int>(*p);
             return true;
         }},
        {"-s", [&](const std::string& v) {
             unsigned w = 0, h = 0;
             if (!parseSize(v, w, h)) return false;
             o.width = w;
             o.height = h;
             return true;
         }},
        {"--thumb-dir", [&](const std::string& v) { o.thumbDir = v; return !v.empty(); }},
        {"--per-row", number(o.perRow)},
        {"--format", [&](const std::string& v) {
             static const std::map<std::string, int> formats = {
                 {"same", -1}, {"bmp", 0}, {"gif", 1}, {"jpeg", 2}, {"jpg", 2}, {"png", 3}};
             const auto it = formats.find(v);
             if (it == formats.end()) return false;
             o.format = it->second;
             return true;
         }},
        {"--bg-color", colour(o.bgColour)},
        {"--text-color", colour(o.textColour)},
        {"--info-color", colour(o.infoColour)},
        {"--border-color", colour(o.borderColour)},
        {"--border-color-dark", colour(o.borderColourDark)},
        {"--border", number(o.border)},
        {"--cell-spacing", number(o.cellSpacing)},
        {"--cell-padding", number(o.cellPadding)},
        {"--types", [&](const std::string& v) { return parseTypes(v, o.types); }},
        {"-j", [&](const std::string& v) {
             const auto n = parseUnsigned(v);
             if (!n || *n < 1 || *n > 256) return false;
             o.jobs = static_cast<int>(*n);
             return true;
         }},
    };
    const std::map<std::string, std::string> longNames = {
        {"--output", "-o"}, {"--title", "-t"}, {"--mode", "-m"}, {"--position", "-p"},
        {"--size", "-s"}, {"--jobs", "-j"}};
    const std::map<std::string, std::function<void()>> flags = {
        {"--center", [&] { o.center = true; }},
        {"--no-center", [&] { o.center = false; }},
        {"--line", [&] { o.line = true; }},
        {"--no-line", [&] { o.line = false; }},
        {"--sort", [&] { o.sort = true; }},
        {"--no-sort", [&] { o.sort = false; }},
        {"--only-if-suitable", [&] { o.onlyIfSuitable = true; }},
        {"--no-only-if-suitable", [&] { o.onlyIfSuitable = false; }},
        {"-r", [&] { o.recursive = true; }},
        {"--recursive", [&] { o.recursive = true; }},
        {"-q", [&] { o.quiet = true; }},
        {"--quiet", [&] { o.quiet = true; }},
    };

    bool onlyFiles = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (onlyFiles || arg.size() < 2 || arg[0] != '-') {
            o.inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            result.outcome = ParsedCommandLine::Help;
            return result;
        }
        if (arg == "--version") {
            result.outcome = ParsedCommandLine::Version;
            return result;
        }
        if (const auto flag = flags.find(arg); flag != flags.end()) {
            flag->second();
            continue;
        }
        // "--name=value" form for long options.
        std::optional<std::string> inlineValue;
        if (arg.rfind("--", 0) == 0) {
            if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
                arg.resize(eq);
            }
        }
        if (const auto alias = longNames.find(arg); alias != longNames.end()) arg = alias->second;
        const auto handler = withValue.find(arg);
        if (handler == withValue.end()) {
            result.error = "option inconnue : " + args[i];
            return result;
        }
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            result.error = "l'option " + args[i] + " attend une valeur";
            return result;
        }
        if (!handler->second(value)) {
            result.error = "valeur incorrecte pour " + args[i] + " : " + value;
            return result;
        }
    }
    if (!outputGiven) {
        result.error = "la page à écrire manque (-o PAGE)";
        return result;
    }
    if (o.inputs.empty()) {
        result.error = "aucune image ni dossier donné";
        return result;
    }
    result.outcome = ParsedCommandLine::Run;
    return result;
}

std::string usageText() {
    return R"(Usage : lumigal-batch [OPTIONS] -o PAGE IMAGE_OU_DOSSIER...
Crée une page d'album HTML à partir d'images (BMP, DIB, GIF, JPEG, PNG, XBM,
WebP, HEIC/HEIF, AVIF, TIFF).

  -o, --output PAGE        page à écrire (obligatoire)
  -t, --title TEXTE        titre de la page (par défaut « Lumigal »)
  -m, --mode MODE          thumbnails | details | plain
  -p, --position N         texte des détails : 1 dessus, 2 dessous, 3 à gauche, 4 à droite
      --center, --no-center       centrer les blocs de détails
      --line, --no-line           un trait après chaque image
      --sort, --no-sort           images dans l'ordre alphabétique
      --only-if-suitable, --no-only-if-suitable
                           montrer l'image elle-même quand elle est plus petite que la vignette
  -s, --size LxH           largeur et hauteur des vignettes
      --thumb-dir DOSSIER  dossier des vignettes (par défaut celui de la page)
      --per-row N          vignettes par ligne
      --format F           same | bmp | gif | jpeg | png
      --bg-color C  --text-color C  --info-color C  --border-color C  --border-color-dark C
                           couleurs au format #RRVVBB
      --border N  --cell-spacing N  --cell-padding N
  -r, --recursive          dossiers : parcourir aussi les sous-dossiers
      --types LISTE        dossiers : types à prendre, parmi bmp,dib,gif,jpeg,png,xbm,
                           webp,heic,avif,tiff
  -j, --jobs N             vignettes faites par N tâches (par défaut une par processeur)
  -q, --quiet              pas d'affichage de la progression
  -h, --help               cette aide
      --version            la version

Les options absentes prennent les réglages enregistrés de Lumigal, sinon ceux d'une
première installation. Le dossier de la page est créé s'il n'existe pas.
Code de sortie : 0 page écrite avec toutes les images, 3 page écrite sans certains
fichiers (image illisible, fichier absent ou qui n'est pas une image, dossier illisible),
1 page non écrite, 2 usage incorrect.
)";
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
    if (o.thumbDir) prefs.pathThumbnail = absolutePath(*o.thumbDir);
    if (o.perRow) page.nbThumbByLine = *o.perRow;
    if (o.format) {
        page.keepSameFormat = *o.format < 0;
        if (*o.format >= 0) page.newFormat = *o.format;
    }
    if (o.bgColour) page.page_bgcolor = *o.bgColour;
    if (o.textColour) page.page_textcolor = *o.textColour;
    if (o.infoColour) page.page_infocolor = *o.infoColour;
    if (o.borderColour) page.table_bordercolor = *o.borderColour;
    if (o.borderColourDark) page.table_bordercolordark = *o.borderColourDark;
    if (o.border) page.table_border = *o.border;
    if (o.cellSpacing) page.table_cellspace = *o.cellSpacing;
    if (o.cellPadding) page.table_cellpadding = *o.cellPadding;
}

}  // namespace lumigal::batch
