#include "album/modern_page.h"

#include <string_view>

#include "album/html.h"
#include "album/human_units.h"

namespace lumigal {

namespace {

std::string px(std::uint32_t n) { return std::to_string(n) + "px"; }

// The style sheet: the page's colours, the table settings as the grid's
// border, gap and padding, the row length as the grid's widest row.
std::string styleSheet(const PageSettings& page) {
    const std::uint32_t border = page.table_border, pad = page.table_cellpadding;
    const std::uint32_t gap = page.table_cellspace;
    std::string css;
    css += "*{box-sizing:border-box}";
    css += "body{margin:0;padding:1rem;font-family:Verdana,sans-serif;line-height:1.4;background:" +
           htmlColour(page.page_bgcolor) + ";color:" + htmlColour(page.page_textcolor) + "}";
    css += "header,main,footer{max-width:100%;margin:0 auto}";
    css += "h1{font-size:1.5rem;text-align:center;margin:.5rem 0}";
    css += "header p{text-align:center;font-size:.85rem;margin:0 0 1rem}";
    css += "a{color:#004080}";
    css += "img{max-width:100%;height:auto}";
    css += ".grid{list-style:none;margin:0 auto;padding:0;display:flex;flex-wrap:wrap;"
           "justify-content:center;align-items:center;gap:" + px(gap) + ";";
    if (page.nbThumbByLine > 0) {
        const std::uint64_t cell = std::uint64_t{page.width} + 2 * pad + 2 * border;
        const std::uint64_t row = page.nbThumbByLine * cell + (page.nbThumbByLine - 1) * std::uint64_t{gap};
        css += "max-width:" + std::to_string(row) + "px;";
    }
    css += "}";
    css += ".grid a{display:block;padding:" + px(pad) + ";border:" + px(border) + " solid " +
           htmlColour(page.table_bordercolor) + "}";
    css += ".grid img{display:block}";
    css += "a:focus-visible{outline:3px solid " + htmlColour(page.table_bordercolordark) + "}";
    css += "figure{margin:1rem auto;max-width:100%}";
    css += "figure img{display:block}";
    css += "figcaption{color:" + htmlColour(page.page_infocolor) + ";font-size:.85rem;margin:.4rem 0}";
    css += "figcaption b{display:block;font-size:1rem}";
    css += ".row{display:flex;flex-wrap:wrap;align-items:flex-start;gap:1rem}";
    css += ".row>a{flex:0 1 auto;max-width:100%}";
    css += ".row>figcaption{flex:1 1 12rem}";
    if (page.center) css += "figure{text-align:center}figure img{margin:0 auto}.row{justify-content:center}";
    css += "footer{font-size:.75rem;text-align:center;margin-top:1rem}";
    css += ".ov{position:fixed;inset:0;z-index:9;background:rgba(0,0,0,.92);display:flex;"
           "align-items:center;justify-content:center}";
    css += ".ov[hidden]{display:none}";
    css += ".ov figure{margin:0;text-align:center}";
    css += ".ov img{max-width:92vw;max-height:84vh;width:auto;height:auto;margin:0 auto}";
    css += ".ov figcaption{color:#fff}";
    css += ".ov button{position:absolute;background:#000;color:#fff;border:2px solid #fff;"
           "font-size:1.5rem;width:2.75rem;height:2.75rem;cursor:pointer}";
    css += ".ov .x{top:.5rem;right:.5rem}.ov .pr{left:.5rem;top:45%}.ov .nx{right:.5rem;top:45%}";
    css += "body.vu{overflow:hidden}";
    return css;
}

// The viewer: a click on an image link shows the image large over the
// page; the arrows go to the previous and next, Escape (or a click beside
// the image) closes it. Texts come from the page through properties only.
constexpr std::string_view kViewerScript =
    "(function(){var a=[].slice.call(document.querySelectorAll('a.v'));if(!a.length)return;"
    "var o,im,cap,i=0,last;"
    "function show(n){i=(n+a.length)%a.length;var t=a[i].querySelector('img');"
    "im.src=a[i].href;im.alt=t.alt;cap.textContent=t.alt}"
    "function close(){o.hidden=true;document.body.classList.remove('vu');if(last)last.focus()}"
    "function build(){o=document.createElement('div');o.className='ov';o.hidden=true;"
    "o.setAttribute('role','dialog');o.setAttribute('aria-modal','true');"
    "o.setAttribute('aria-label','Visionneuse');"
    "o.innerHTML='<button type=\"button\" class=\"x\" aria-label=\"Fermer\">\\u00d7</button>"
    "<button type=\"button\" class=\"pr\" aria-label=\"Image pr\\u00e9c\\u00e9dente\">\\u2039</button>"
    "<figure><img alt=\"\"><figcaption></figcaption></figure>"
    "<button type=\"button\" class=\"nx\" aria-label=\"Image suivante\">\\u203a</button>';"
    "document.body.appendChild(o);im=o.querySelector('img');cap=o.querySelector('figcaption');"
    "o.querySelector('.x').onclick=close;"
    "o.querySelector('.pr').onclick=function(){show(i-1)};"
    "o.querySelector('.nx').onclick=function(){show(i+1)};"
    "o.addEventListener('click',function(e){if(e.target===o)close()})}"
    "a.forEach(function(l,n){l.addEventListener('click',function(e){"
    "if(e.button||e.ctrlKey||e.metaKey||e.shiftKey||e.altKey)return;e.preventDefault();"
    "if(!o)build();last=l;show(n);o.hidden=false;document.body.classList.add('vu');"
    "o.querySelector('.x').focus()})});"
    "document.addEventListener('keydown',function(e){if(!o||o.hidden)return;"
    "if(e.key==='Escape')close();else if(e.key==='ArrowLeft')show(i-1);"
    "else if(e.key==='ArrowRight')show(i+1)})})();";

std::string imageTag(const ModernImage& image) {
    const std::string srcset = image.shown2xUrl.empty()
        ? std::string()
        : "\" srcset=\"" + image.shownUrl + " 1x, " + image.shown2xUrl + " 2x";
    return "<img src=\"" + image.shownUrl + srcset + "\" width=\"" + std::to_string(image.shownWidth) +
           "\" height=\"" + std::to_string(image.shownHeight) + "\" alt=\"" +
           pageText(captionOf(image)) + "\" loading=\"lazy\">";
}

std::string imageLink(const ModernImage& image) {
    if (image.video) return "<a class=\"w\" href=\"" + image.linkUrl + "\">" + imageTag(image) + "</a>";
    return "<a class=\"v\" href=\"" + image.linkUrl + "\">" + imageTag(image) + "</a>";
}

std::string detailCaption(const ModernImage& image) {
    const ImageDetails& d = image.details;
    std::string text = "<figcaption><b>" + pageText(image.name) + "</b>";
    if (!image.caption.empty()) text += pageText(image.caption) + "<br>";
    const std::uint64_t bytes = d.fileSize > 0 ? static_cast<std::uint64_t>(d.fileSize) : 0;
    text += "Taille du fichier : " + humanBytes(bytes) + "<br>";
    text += "Taille de l'image : " + humanDimensions(d.width, d.height) + "<br>";
    text += "Couleurs : " + d.coloursText + "<br>";
    text += "Mode : " + d.modeText + "</figcaption>";
    return text;
}

void writeThumbnailGrid(std::string& out, const std::vector<ModernImage>& images) {
    out += "<ul class=\"grid\">\n";
    for (const ModernImage& image : images) out += "<li>" + imageLink(image) + "</li>\n";
    out += "</ul>\n";
}

// Details and plain modes: a figure per image, its caption at `position`
// (1 above, 2 below, 3 left, 4 right).
void writeFigures(std::string& out, const PageSettings& page, const std::vector<ModernImage>& images,
                  bool details) {
    int position = details ? page.position : 2;
    if (position < 1 || position > 4) position = 1;
    const bool beside = position == 3 || position == 4;
    const bool captionFirst = position == 1 || position == 3;
    for (std::size_t i = 0; i < images.size(); ++i) {
        const ModernImage& image = images[i];
        const std::string caption =
            details ? detailCaption(image) : "<figcaption>" + pageText(captionOf(image)) + "</figcaption>";
        out += beside ? "<figure class=\"row\">" : "<figure>";
        out += captionFirst ? caption + imageLink(image) : imageLink(image) + caption;
        out += "</figure>\n";
        if (page.line && i + 1 < images.size()) out += "<hr>\n";
    }
}

}  // namespace

std::string captionOf(const ModernImage& image) {
    const std::string& text = image.caption.empty() ? image.name : image.caption;
    return image.video ? text + " (vid\xC3\xA9o)" : text;
}

std::string ModernPage(const PageSettings& page, const std::vector<ModernImage>& images,
                       const std::string& date) {
    const std::string title = pageText(page.pageTitle.empty() ? "Lumigal" : page.pageTitle);
    std::string out;
    out.reserve(8192 + images.size() * 512);
    out += "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n";
    out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    out += "<meta name=\"generator\" content=\"Lumigal 1.11\">\n";
    out += "<title>" + title + "</title>\n";
    out += "<style>" + styleSheet(page) + "</style>\n</head>\n<body>\n";
    out += "<header>\n<h1>" + title + "</h1>\n";
    out += "<p>le " + date + " &middot; " + std::to_string(images.size()) +
           (images.size() == 1 ? " image" : " images") + "</p>\n</header>\n<main>\n";
    if (page.thumbnail) {
        writeThumbnailGrid(out, images);
    } else {
        writeFigures(out, page, images, page.details != 0);
    }
    out += "</main>\n<footer>\n";
    if (!page.footer.empty()) out += "<p>" + pageText(page.footer) + "</p>\n";
    out += "<p>fait par Lumigal version 1.11</p>\n</footer>\n";
    out += "<script>";
    out += kViewerScript;
    out += "</script>\n</body>\n</html>\n";
    return out;
}

}  // namespace lumigal
