#include "dialogs/art.h"

#include <QString>
#include <vector>

// Outside any namespace, as the resource system requires.
static void initialiseArtResources() { Q_INIT_RESOURCE(lumigal_art); }

namespace lumigal {

namespace {

struct ArtFiles {
    const char* name;
    std::vector<int> sizes;  // the pixel sizes drawn for the picture
};

const ArtFiles& filesOf(Art art) {
    static const ArtFiles folder{"folder", {16, 32}};
    static const ArtFiles pie{"colour-pie", {16, 32}};
    static const ArtFiles page{"page-grid", {32, 64}};
    static const ArtFiles program{"program-icon", {32, 48, 64, 128, 256}};
    static const ArtFiles okSign{"ok-sign", {47, 94}};
    switch (art) {
        case Art::Folder:
            return folder;
        case Art::ColourPie:
            return pie;
        case Art::PageGrid:
            return page;
        case Art::OkSign:
            return okSign;
        case Art::ProgramIcon:
            break;
    }
    return program;
}

}  // namespace

QIcon artIcon(Art art) {
    static const bool initialised = (initialiseArtResources(), true);
    (void)initialised;
    const ArtFiles& files = filesOf(art);
    QIcon icon;
    for (const int size : files.sizes)
        icon.addFile(
            QStringLiteral(":/lumigal/art/%1-%2.png").arg(QLatin1String(files.name)).arg(size),
            QSize(size, size));
    return icon;
}

QPixmap artPixmap(Art art, const QSize& size) { return artIcon(art).pixmap(size); }

}  // namespace lumigal
