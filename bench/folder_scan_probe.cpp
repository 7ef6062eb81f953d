// folder_scan_probe - how long « Dossier » then « Créer » takes on a large
// folder in the main window, from the press to the page creation dialog,
// beside the time a bare listing of the folder takes.
//
// usage: folder_scan_probe FOLDER [tree]
//
// Opens the real main window (offscreen unless QT_QPA_PLATFORM says
// otherwise) on FOLDER, presses « Dossier » (« Sous-dossiers » with tree),
// then « Créer », and cancels the
// page creation dialog as soon as it shows. Prints the number of files
// found, the time to the dialog and the time of a plain directory listing.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <cstdio>

#include "album/settings.h"
#include "main_window/main_window.h"
#include "message_box/message_box_handler.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: folder_scan_probe FOLDER [tree]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    using namespace lumigal;
    Preferences prefs;
    PageSettings page;
    initialSettings(prefs, page, folder.toStdString());
    prefs.pathLaunch = prefs.pathSave = folder.toStdString();
    MessageBoxHandler::setAnswerer([](QWidget*, const MessageRecord& m) {
        std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
        return QMessageBox::Ok;
    });
    MainWindow window(prefs, page, "", [] {});
    window.show();
    QElapsedTimer shown;
    shown.start();
    while (shown.elapsed() < 1000) QApplication::processEvents();  // the folder read

    QElapsedTimer clock;
    qint64 toDialog = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->findChild<QLineEdit*>(QStringLiteral("edit1136"))) return;
        toDialog = clock.elapsed();
        dialog->reject();
    });
    poll.start(1);
    (argc == 3 ? window.selectTreeButton() : window.selectFolderButton())->setChecked(true);
    clock.start();
    window.createPage();
    const int found = window.selectedFiles().selectedFileCount();

    QElapsedTimer listing;
    listing.start();
    const qsizetype listed = QDir(folder).entryList(QDir::Files).size();
    std::printf("%d files found, %lld ms to the page dialog; listing %lld files: %lld ms\n", found,
                static_cast<long long>(toDialog), static_cast<long long>(listed),
                static_cast<long long>(listing.elapsed()));
    return toDialog < 0 ? 1 : 0;
}
