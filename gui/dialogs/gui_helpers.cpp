#include "dialogs/gui_helpers.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QScreen>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <utility>

#include "dialogs/help_redirect.h"
#include "message_box/message_box_handler.h"

namespace lumigal {

namespace {

ColourChooser& colourChooser() {
    static ColourChooser instance;
    return instance;
}

FolderBrowser& folderBrowser() {
    static FolderBrowser instance;
    return instance;
}

HelpOpener& helpOpener() {
    static HelpOpener instance;
    return instance;
}

UrlOpener& urlOpener() {
    static UrlOpener instance;
    return instance;
}

// Says that no browser showed the manual at `path`.
void helpNotOpened(QWidget* owner, const QString& path) {
    MessageBoxHandler::warning(
        owner, QStringLiteral("helpFileNotOpened"),
        QStringLiteral("Aucun navigateur n'a pu ouvrir l'aide de Lumigal.\n"
                       "Ouvrez vous-même le fichier %1 dans votre navigateur.")
            .arg(QDir::toNativeSeparators(path)));
}

// Hands `url` to the desktop's opener. Where that is xdg-open, its exit
// says whether a browser took the page (it fails when none is set up); the
// failure comes later, so it is told then. Returns false when the opener
// could not even start.
bool openForHelp(QWidget* owner, const QUrl& url, const QString& manual) {
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) return QDesktopServices::openUrl(url);
    // Owned by the application: the opener may outlive the window (it waits
    // for some browsers to end).
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProgram(opener);
    process->setArguments({url.toString(QUrl::FullyEncoded)});
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    const QPointer<QWidget> window(owner);
    QObject::connect(process, &QProcess::finished, process,
                     [process, window, manual](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status == QProcess::NormalExit && code == 0) return;
                         helpNotOpened(window, manual);
                     });
    process->start();
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    return true;
}

}  // namespace

QPoint centredPosition(const QRect& screen, const QSize& window, int offset) {
    // Integer division in C++ truncates toward zero, as the formula wants.
    const int x = offset + (screen.width() - window.width()) / 2;
    const int y = (screen.height() - window.height()) / 2;
    return screen.topLeft() + QPoint(x, y);
}

void centreOnScreen(QWidget* window, int offset) {
    if (window == nullptr) return;
    window = window->window();
    QScreen* screen = window->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    // A window larger than the free part of the screen (a large scale
    // factor) is made to fit, so that its title bar is never above it.
    const QRect free = screen->availableGeometry();
    const QSize frame = window->frameGeometry().size() - window->size();
    const QSize fitted = window->size().boundedTo(free.size() - frame);
    if (fitted != window->size() && fitted.isValid()) window->resize(fitted);
    // Before the window manager has framed the window its frame is its size.
    const QSize size = window->frameGeometry().size();
    QPoint at = centredPosition(screen->geometry(), size, offset);
    at.setX(std::max(at.x(), free.left()));
    at.setY(std::max(at.y(), free.top()));
    window->move(at);
}

QColor toQColor(Colour colour) { return QColor(redOf(colour), greenOf(colour), blueOf(colour)); }

Colour toColour(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return makeColour(static_cast<std::uint8_t>(rgb.red()), static_cast<std::uint8_t>(rgb.green()),
                      static_cast<std::uint8_t>(rgb.blue()));
}

bool pickColour(QWidget* owner, Colour& colour) {
    std::optional<Colour> chosen;
    if (colourChooser()) {
        chosen = colourChooser()(owner);
    } else {
        // The custom colours are shared by every chooser of the process:
        // make them white again so that nothing survives from an earlier call.
        for (int i = 0; i < QColorDialog::customCount(); ++i)
            QColorDialog::setCustomColor(i, Qt::white);
        QColorDialog dialog(Qt::black, owner);
        if (dialog.exec() == QDialog::Accepted) chosen = toColour(dialog.selectedColor());
    }
    if (!chosen) return false;
    colour = *chosen;
    return true;
}

void setColourChooser(ColourChooser chooser) { colourChooser() = std::move(chooser); }

std::optional<QString> browseForFolder(QWidget* owner, const QString& title) {
    if (folderBrowser()) return folderBrowser()(owner, title);
    const QString folder = QFileDialog::getExistingDirectory(
        owner, title, QString(), QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(folder);
}

void setFolderBrowser(FolderBrowser browser) { folderBrowser() = std::move(browser); }

QString helpAnchor(int context) { return QString::number(context); }

void openHelp(QWidget* owner, const std::string& helpFilePath, int context) {
    if (helpOpener()) {
        helpOpener()(owner, helpFilePath, context);
        return;
    }
    const QString path = QString::fromStdString(helpFilePath);
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        MessageBoxHandler::warning(owner, QStringLiteral("helpFileMissing"),
                                   QStringLiteral("Le fichier d'aide %1 est introuvable.")
                                       .arg(QDir::toNativeSeparators(path)));
        return;
    }
    const QString manual = QFileInfo(path).absoluteFilePath();
    const QString anchor = helpAnchor(context);
    QUrl url;
    if (const auto redirect = writeHelpRedirect(helpRedirectFolder(), manual, anchor)) {
        url = QUrl::fromLocalFile(*redirect);
    } else {
        // Without the redirect page the opener may still keep the section.
        url = QUrl::fromLocalFile(manual);
        url.setFragment(anchor);
    }
    const bool opened = urlOpener() ? urlOpener()(url) : openForHelp(owner, url, manual);
    if (!opened) helpNotOpened(owner, manual);
}

void setHelpOpener(HelpOpener opener) { helpOpener() = std::move(opener); }

void setUrlOpener(UrlOpener opener) { urlOpener() = std::move(opener); }

}  // namespace lumigal
