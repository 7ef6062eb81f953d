// Draws each dialog and box of the program on sample settings and saves one
// PNG per window into the folder given as argument (docs/screenshots):
//   xvfb-run -a build/tests/gui/dialogs/dialog_screenshots docs/screenshots
#include <QSaveFile>
#include <QApplication>
#include <QLabel>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTextStream>
#include <QWidget>

#include "dialogs/about_box.h"
#include "dialogs/gui_helpers.h"
#include "dialogs/page_creation_dialog.h"
#include "dialogs/preferences_dialog.h"
#include "dialogs/progress_box.h"
#include "platform/system_version.h"
#include "dialogs/thumbnail_settings_dialog.h"
#include "dialogs/wait_box.h"

using namespace lumigal;

namespace {

bool save(QWidget& window, const QDir& folder, const QString& name) {
    QApplication::processEvents();
    const QString path = folder.filePath(name + QStringLiteral(".png"));
    // Written whole or not at all: a screenshot of the README is never cut.
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly) && window.grab().save(&file, "PNG") &&
                       file.commit();
    QTextStream(stdout) << (saved ? "saved " : "could not save ") << path << " (" << window.width()
                        << "x" << window.height() << ")\n";
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: dialog_screenshots FOLDER\n";
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists() && !QDir().mkpath(folder.path())) return 1;

    Preferences prefs;
    prefs.pathLaunch = "/home/marie/Images";
    prefs.pathSave = "/home/marie/Albums";
    prefs.pathThumbnail = "/home/marie/Albums/Vignettes";
    prefs.bip = 1;
    prefs.launch = 1;
    PageSettings page;
    page.pageFolder = "/home/marie/Albums";
    page.details = 1;
    page.position = 3;
    page.center = 1;
    page.line = 1;
    page.width = 75;
    page.height = 75;
    page.nbThumbByLine = 10;
    page.keepSameFormat = 1;
    page.table_border = 1;
    page.table_cellspace = 2;
    page.table_cellpadding = 4;
    page.table_bordercolordark = 0x404040;

    bool ok = true;
    {
        PageCreationDialog dialog(page, prefs, {}, 12, "/home/marie/Images/Vacances 2000");
        dialog.show();
        ok &= save(dialog, folder, QStringLiteral("page-creation-dialog"));
    }
    {
        // The colour previews after three colours were chosen.
        const Colour chosen[] = {makeColour(0x20, 0x28, 0x40), makeColour(0xFF, 0xD0, 0x40),
                                 makeColour(0xA0, 0xE0, 0xFF)};
        int next = 0;
        setColourChooser([&](QWidget*) -> std::optional<Colour> { return chosen[next++ % 3]; });
        PageCreationDialog dialog(page, prefs, {}, 1, "/home/marie/Images");
        dialog.show();
        for (const char* name : {"button1117", "button1300", "button1315"})
            dialog.findChild<QPushButton*>(QLatin1String(name))->click();
        setColourChooser({});
        ok &= save(dialog, folder, QStringLiteral("page-creation-dialog-colours"));
    }
    {
        ThumbnailSettingsDialog dialog(page, prefs, {});
        dialog.show();
        ok &= save(dialog, folder, QStringLiteral("thumbnail-settings-dialog"));
    }
    {
        PreferencesDialog dialog(prefs);
        dialog.show();
        ok &= save(dialog, folder, QStringLiteral("preferences-dialog"));
    }
    {
        ProgressBox box;
        box.setRange(300);
        ProgressObserver& observer = box;
        observer.started(300);
        observer.setLabel("/home/marie/Images/Vacances 2000/plage-121.jpg");
        observer.setPosition(120);
        // The time left as after 48 s of work, not the instant of the picture.
        for (QLabel* label : box.findChildren<QLabel*>())
            if (label->text().startsWith(QStringLiteral("Temps restant")))
                label->setText(ProgressBox::timeLeftLine(48000, 120, 300));
        ok &= save(box, folder, QStringLiteral("progress-box"));
    }
    {
        WaitBox box;
        ScanObserver& observer = box;
        observer.fileAdded("/home/marie/Images/Vacances 2000/montagne/lac-017.png", 37);
        ok &= save(box, folder, QStringLiteral("wait-box"));
    }
    {
        AboutBox box(platform::runningSystemVersion());
        box.show();
        ok &= save(box, folder, QStringLiteral("about-box"));
    }
    return ok ? 0 : 1;
}
