#include "common/colour.h"
#include "gallery_parts.h"

namespace lumigal {

std::string galleryStyleSheet(const PageSettings& page) {
    const std::string background = htmlColour(page.page_bgcolor), text = htmlColour(page.page_textcolor);
    const std::string info = htmlColour(page.page_infocolor), focus = htmlColour(page.table_bordercolordark);
    const std::string border = htmlColour(page.table_bordercolor);
    const std::string gap = std::to_string(page.table_cellspace > 0 ? page.table_cellspace : 4) + "px";
    std::string css;
    css += ":root{color-scheme:light dark}";
    css += "*{box-sizing:border-box}";
    css += "body{margin:0;padding:1rem;font-family:Verdana,sans-serif;line-height:1.4;background:" + background +
           ";color:" + text + "}";
    css += "header,main,footer{max-width:100rem;margin:0 auto}";
    css += "a{color:#004080}";
    css += "a:focus-visible,button:focus-visible{outline:3px solid " + focus + ";outline-offset:2px}";
    css += "h1{font-size:1.6rem;margin:.25rem 0}";
    css += "h2{font-size:1.1rem;margin:1.5rem 0 .5rem}";
    css += ".crumbs ol{list-style:none;margin:0;padding:0;display:flex;flex-wrap:wrap;font-size:.9rem}";
    css += ".crumbs li+li::before{content:\"\\203A\";padding:0 .5em}";
    css += ".crumbs li{padding:.2rem 0}";
    css += ".desc{margin:.25rem 0;max-width:45rem}";
    css += ".info,.albums .n,.albums .d,footer{color:" + info + "}";
    css += ".info{font-size:.9rem;margin:.25rem 0 1rem}";
    // The albums: cards in as many columns as fit.
    css += ".albums{list-style:none;margin:0;padding:0;display:grid;"
           "grid-template-columns:repeat(auto-fill,minmax(min(100%,14rem),1fr));gap:1rem}";
    css += ".albums a{display:block;height:100%;padding:.5rem;color:inherit;text-decoration:none;border:1px solid " +
           border + "}";
    css += ".albums img{display:block;width:100%;height:auto;aspect-ratio:4/3;object-fit:cover}";
    css += ".albums .t{display:block;margin-top:.4rem;font-weight:bold;text-decoration:underline}";
    css += ".albums .n,.albums .d{display:block;font-size:.85rem}";
    // The photos: rows of one height, each tile as wide as its proportions
    // ask; the last row keeps that height instead of stretching.
    css += ".tiles{list-style:none;margin:0;padding:0;display:flex;flex-wrap:wrap;gap:" + gap + "}";
    css += ".tiles li{flex:var(--r) 1 calc(var(--r)*var(--h))}";
    css += ".tiles::after{content:\"\";flex:10000 1 0}";
    css += ".tiles a{display:block;position:relative}";
    // A video's tile: a play sign and its running time over the poster.
    css += ".tiles .play{position:absolute;left:.4rem;bottom:.4rem;background:#000;color:#fff;"
           "border-radius:.3rem;padding:.1rem .45rem;font-size:.85rem}";
    css += ".tiles .play::before{content:\"\\25B6\";margin-right:.3rem}";
    css += ".tiles .note{position:absolute;left:0;right:0;top:0;background:#000;color:#fff;"
           "font-size:.75rem;padding:.15rem .4rem}";
    css += ".sr{position:absolute;width:1px;height:1px;overflow:hidden;clip:rect(0 0 0 0);white-space:nowrap}";
    css += ".tiles img{display:block;width:100%;height:auto}";
    css += "@media (max-width:40rem){.tiles li{flex-basis:calc(var(--r)*var(--h)/2)}}";
    // The page numbers, each a target large enough for a finger.
    css += ".pages{display:flex;flex-wrap:wrap;gap:.5rem;justify-content:center;align-items:center;margin:1.5rem 0}";
    css += ".pages ol{list-style:none;display:flex;flex-wrap:wrap;gap:.25rem;margin:0;padding:0}";
    css += ".pages a,.pages span{display:inline-block;min-width:2.75rem;padding:.6rem;text-align:center}";
    css += ".pages [aria-current]{font-weight:bold;outline:2px solid currentColor;outline-offset:-2px}";
    css += "footer{font-size:.8rem;text-align:center;margin-top:2rem}";
    // The viewer.
    css += ".ov{position:fixed;inset:0;z-index:9;background:#000;color:#fff;display:flex;flex-direction:column;"
           "align-items:center;justify-content:center;touch-action:pinch-zoom}";
    css += ".ov[hidden],.ov [hidden]{display:none}";
    css += ".ov figure{margin:0;max-width:100%;text-align:center}";
    css += ".ov video{display:block;max-width:100vw;max-height:calc(100vh - 9rem);margin:0 auto;background:#000}";
    css += ".ov img{display:block;max-width:100vw;max-height:calc(100vh - 9rem);width:auto;height:auto;margin:0 auto;"
           "user-select:none;-webkit-user-drag:none}";
    css += ".ov figcaption{padding:.5rem 3.5rem;font-size:.9rem}";
    css += ".ov figcaption p{margin:.2rem 0}";
    css += ".ov a{color:#9cd0ff}";
    css += ".ov button{position:absolute;background:#000;color:#fff;border:2px solid #fff;border-radius:.3rem;"
           "font-size:1.5rem;min-width:2.75rem;height:2.75rem;cursor:pointer}";
    css += ".ov .x{top:.5rem;right:.5rem}.ov .pr{left:.5rem;top:calc(50% - 1.4rem)}"
           ".ov .nx{right:.5rem;top:calc(50% - 1.4rem)}.ov .pl{top:.5rem;left:.5rem;font-size:1rem;padding:0 .7rem}";
    css += ".ov button[aria-pressed=true]{background:#fff;color:#000}";
    css += ".ov :focus-visible{outline:3px solid #ffd54a;outline-offset:2px}";
    css += "body.vu{overflow:hidden}";
    // The dark theme: light text on a dark ground, every pair at a contrast
    // of 7:1 or more.
    css += "@media (prefers-color-scheme:dark){body{background:#121212;color:#e8e8e8}a{color:#9cd0ff}"
           ".info,.albums .n,.albums .d,footer{color:#c4c4c4}.albums a{border-color:#5a5a5a}"
           "a:focus-visible,button:focus-visible{outline-color:#ffd54a}}";
    return css;
}

}  // namespace lumigal
