// The Lumigal program: one copy at a time (a later copy brings the running
// window to the front and ends), the stored settings loaded, the main window
// run once, the settings saved when a dialog's OK stores them and when the
// window is destroyed. It always ends with exit code 0.
#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <memory>

#include "album/settings.h"
#include "dialogs/gui_helpers.h"
#include "message_box/message_box_handler.h"
#include "imaging/image_library.h"
#include "install/folders.h"
#include "install/installed_copy.h"
#include "install/xdg_dirs.h"
#include "locale/french_translations.h"
#include "platform/instance_lock.h"
#include "platform/process_heap.h"
#include "platform/registry.h"
#include "main_window/main_window.h"
#include "main_window/running_copy.h"

int main(int argc, char** argv) {
    // The process-wide set-up, owned here: the image library with this
    // program's policy and limits starts before any other thread exists (its
    // start-up sets the environment for a moment), and the heap is tuned for
    // thumbnails (what stays free at its top is bounded by the trim
    // threshold between pages).
    lumigal::startImageLibrary();
    lumigal::platform::keepLargeBuffersInHeap();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumigal"));
    QApplication::setDesktopFileName(QStringLiteral("lumigal"));
    lumigal::installFrenchTranslations();

    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty()) runtime = QDir::tempPath();
    QDir().mkpath(runtime);
    const std::string runtimeFolder = QDir(runtime).absolutePath().toStdString();
    const QString socketPath = lumigal::runningCopySocketPath(runtimeFolder);
    lumigal::platform::InstanceLock lock(lumigal::platform::instanceLockPath(runtimeFolder));
    if (lock.state() == lumigal::platform::InstanceLock::State::HeldElsewhere) {
        lumigal::callRunningCopy(socketPath);
        return 0;
    }
    if (lock.state() != lumigal::platform::InstanceLock::State::Acquired) return 0;

    lumigal::Preferences prefs{};
    lumigal::PageSettings page{};
    std::string helpFilePath;
    lumigal::platform::Registry registry = lumigal::platform::Registry::currentUser();
    // An installed copy (the Debian package) works without the setup wizard.
    const std::string programFolder = lumigal::install::ownProgramFolder();
    lumigal::install::writeFirstSettingsOfInstalledCopy(
        registry, programFolder,
        lumigal::install::userWorkFolder().value_or(QDir::homePath().toStdString()));
    if (lumigal::LoadSettings(registry, prefs, page, helpFilePath) != 0) {
        lumigal::MessageBoxHandler::critical(
            nullptr, QStringLiteral("notInstalled"),
            QStringLiteral(
                "Lumigal n'a pas été correctement installé...\nVeuillez relancer install."));
        return 0;
    }
    helpFilePath = lumigal::install::findHelpManual(helpFilePath, programFolder);

    {
        lumigal::MainWindow window(prefs, page, helpFilePath,
                                   [&] { lumigal::SaveSettings(registry, prefs, page); });
        window.setSettingsSaver([&] { lumigal::SaveSettings(registry, prefs, page); });
        lumigal::RunningCopyListener listener(socketPath);
        QObject::connect(&listener, &lumigal::RunningCopyListener::called, &window,
                         &lumigal::MainWindow::bringToFront);
        window.show();
        lumigal::centreOnScreen(&window);
        window.exec();
    }
    return 0;
}
