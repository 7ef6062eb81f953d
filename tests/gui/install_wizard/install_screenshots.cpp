// Not a test: draws each page of the setup wizard, its boxes and the
// background window into the folder given as argument (docs/screenshots).
// It works in a temporary home folder:
//   xvfb-run -a build/tests/gui/install_wizard/install_screenshots docs/screenshots
#include <QSaveFile>
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QScreen>
#include <QTextStream>
#include <QTimer>

#include "install_wizard/abandon_box.h"
#include "install_wizard/background_window.h"
#include "install_wizard/file_error_box.h"
#include "install/install_file.h"
#include "install_wizard/setup_wizard.h"
#include "install/xdg_dirs.h"
#include "test_support/sandbox.h"
#include "test_support/scripted_boxes.h"

using namespace lumigal::install;

namespace {

bool save(const QPixmap& picture, const QDir& folder, const QString& name) {
    const QString path = folder.filePath(QStringLiteral("install-%1.png").arg(name));
    // Written whole or not at all: a screenshot of the README is never cut.
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly) && picture.save(&file, "PNG") && file.commit();
    QTextStream(stdout) << (saved ? "saved " : "could not save ") << path << " (" << picture.width()
                        << "x" << picture.height() << ")\n";
    return saved;
}

// Lets the windows repaint after they were shown or moved.
void settle() {
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
}

bool save(QWidget& window, const QDir& folder, const QString& name) {
    QApplication::processEvents();
    return save(window.grab(), folder, name);
}

void next(SetupWizard& wizard) {
    QAbstractButton* commit = wizard.button(QWizard::CommitButton);
    (commit->isVisible() ? commit : wizard.button(QWizard::NextButton))->click();
    QApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
    test::Sandbox sandbox;  // before the application: HOME and XDG_* point into it
    QApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: install_screenshots FOLDER\n";
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists() && !QDir().mkpath(folder.path())) return 1;

    const std::string setupFolder = sandbox.path("setup") + "/";
    test::makeFolders(setupFolder);
    test::writeSzdd(setupFolder + "Lumigal._", "#!/bin/sh\necho Lumigal 1.16\n");
    test::writeSzdd(setupFolder + "lumigal-batch._", "#!/bin/sh\necho lumigal-batch\n");
    test::writeSzdd(setupFolder + "uninst._", "#!/bin/sh\necho uninst 1.16\n");
    test::writeSzdd(setupFolder + "Lumigal.pn_", "a picture, not really a PNG\n");
    test::writeSzdd(setupFolder + "whatsnewe.tx_", "Lisez-moi : Lumigal 1.16\n");

    SetupEnvironment environment = SetupEnvironment::fromSystem();
    environment.setupFolder = setupFolder;
    test::ScriptedBoxes boxes;
    boxes.openDocument = [](const QString&) {};
    boxes.startProgram = [](const QString&) {};
    boxes.setAutomaticAnswer(test::Box::CreateFolder, {true, {}});
    boxes.setAutomaticAnswer(test::Box::StartMenuBrowser,
                             {true, QString::fromStdString(*environment.startMenuRoot)});
    boxes.setAutomaticAnswer(test::Box::FileError, {true, {}});
    boxes.setAutomaticAnswer(test::Box::Abandon, {true, {}});

    BackgroundWindow background;
    background.setGeometry(background.screen()->geometry());
    background.show();
    InstallState state;
    SetupWizard wizard(state, environment, &background);
    wizard.show();
    QApplication::processEvents();
    centreWindow(&wizard);
    settle();

    bool ok = save(wizard, folder, QStringLiteral("welcome"));
    ok = save(background.screen()->grabWindow(0), folder, QStringLiteral("background")) && ok;
    next(wizard);
    ok = save(wizard, folder, QStringLiteral("folder")) && ok;
    next(wizard);
    ok = save(wizard, folder, QStringLiteral("options")) && ok;
    next(wizard);
    ok = save(wizard, folder, QStringLiteral("ready")) && ok;
    // The help manual is missing from this payload: the page is drawn while
    // its file error box is up, as the installation step left it.
    boxes.onShown = [&](const QString& box, const QString&) {
        if (box == test::Box::FileError && boxes.log().size() < 4) {
            ok = save(wizard, folder, QStringLiteral("installing")) && ok;
        }
    };
    next(wizard);
    boxes.onShown = nullptr;
    ok = save(wizard, folder, QStringLiteral("finish")) && ok;

    AbandonBox abandon;
    abandon.show();
    ok = save(abandon, folder, QStringLiteral("abandon-box")) && ok;
    FileErrorBox error(QString::fromStdString(
        fileMessageText(FileMessage::SourceNotFound, "", "/media/cdrom/", "Lumigal.htm_")));
    error.show();
    ok = save(error, folder, QStringLiteral("file-error-box")) && ok;
    return ok ? 0 : 1;
}
