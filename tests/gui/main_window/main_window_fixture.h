// What the main window's test programs share: files and images to pick,
// the page dialog and the progress box answered as they open, the messages
// recorded, and a window over settings and folders of its own.
#pragma once

// the keyboard, and the single instance of the real program.
#include <unistd.h>

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QDirIterator>
#include <QPointer>
#include <QProgressBar>
#include <QComboBox>
#include <QCompleter>
#include <QFile>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QRegularExpression>
#include <QScreen>
#include <QTreeView>
#include <QImage>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QToolButton>
#include <memory>

#include "album/settings.h"
#include "imaging/image_library.h"
#include "platform/instance_lock.h"
#include "platform/registry.h"
#include "locale/french_translations.h"
#include "main_window/create_page_command.h"
#include "main_window/file_list_texts.h"
#include "main_window/main_window.h"
#include "main_window/running_copy.h"
#include "dialogs/gui_helpers.h"
#include "test_support/dialog_test_support.h"

namespace lumigal::test {

inline void writeFile(const QString& path, const QByteArray& data = "x") {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

inline void writeImage(const QString& path, Qt::GlobalColor colour) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path));
}

// Runs `inspect` on the page creation dialog once it is the modal window
// (the wait and progress boxes may come and go before), then closes it
// with Rejected if it is still open. The watch ends with the dialog; the
// caller may end it sooner (the dialog never came) by deleting it.
inline QPointer<QTimer> whenPageDialogOpens(std::function<void(QWidget*)> inspect) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, inspect = std::move(inspect)] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->findChild<QLineEdit*>(QStringLiteral("edit1136"))) return;
        timer->stop();
        timer->deleteLater();
        inspect(dialog);
        if (dialog->isVisible()) dialog->done(QDialog::Rejected);
    });
    timer->start();
    return timer;
}

// Accepts the page creation dialog with `fileName` (and the sort box set
// to `sorted`) when it opens.
inline void acceptPageDialog(const QString& fileName, bool sorted) {
    whenPageDialogOpens([fileName, sorted](QWidget* modal) {
        QVERIFY(modal);
        modal->findChild<QLineEdit*>(QStringLiteral("edit1136"))->setText(fileName);
        for (QCheckBox* box : modal->findChildren<QCheckBox*>())
            if (box->text().contains(QStringLiteral("Trier"))) box->setChecked(sorted);
        modal->findChild<QPushButton*>(QStringLiteral("button1"))->click();
    });
}

// What the file-name box shows for a selection made in the list (the
// window's own completion does not rewrite it).
inline void setBoxText(MainWindow& w, const QString& text) {
    const QSignalBlocker quiet(w.fileNameBox());
    w.fileNameBox()->setText(text);
}

inline QByteArray readAll(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeBytes(const std::string& path, const QByteArray& data) {
    QFile f(QString::fromStdString(path));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

// Records every message and answers each from `answers` by identifier
// (Ok for the others).
class Answers {
public:
    Answers() {
        MessageBoxHandler::setAnswerer([this](QWidget*, const MessageRecord& m) {
            messages.append(m);
            return answers.value(m.identifier, QMessageBox::Ok);
        });
    }
    ~Answers() { MessageBoxHandler::setAnswerer({}); }
    QStringList identifiers() const {
        QStringList ids;
        for (const MessageRecord& m : messages) ids << m.identifier;
        return ids;
    }
    QMap<QString, QMessageBox::StandardButton> answers;
    QList<MessageRecord> messages;
};

// Runs `act` once the progress box is up (and the work running behind it).
inline void whenProgressBoxOpens(std::function<void(QDialog*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(2);
    QObject::connect(timer, &QTimer::timeout, [timer, act = std::move(act)] {
        QDialog* box = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->findChild<QProgressBar*>(QStringLiteral("progress1262")))
                box = qobject_cast<QDialog*>(w);
        if (box == nullptr) return;
        timer->stop();
        timer->deleteLater();
        act(box);
    });
    timer->start();
}

// A folder of `count` small images, made once.
inline QString imageFolder(const QString& path, int count) {
    if (!QDir(path).exists()) {
        QDir().mkpath(path);
        for (int i = 0; i < count; ++i) {
            QImage image(160, 120, QImage::Format_RGB32);
            image.fill(QColor::fromHsv(i % 360, 200, 200));
            image.save(QStringLiteral("%1/i%2.png").arg(path).arg(i, 4, 10, QLatin1Char('0')));
        }
    }
    return path;
}

// The settings, folders and page opener of the windows under test: each
// test program calls startCase(), endCase() and resetSettings() from its
// initTestCase(), cleanupTestCase() and init().
class MainWindowFixture {
protected:
    QTemporaryDir tmp_;
    Preferences prefs_;
    PageSettings page_;
    int saves_ = 0;
    std::vector<std::string> opened_;

    std::unique_ptr<MainWindow> makeWindow() {
        auto w = std::make_unique<MainWindow>(prefs_, page_, std::string("/nowhere/Lumigal.html"),
                                              [this] { ++saves_; });
        w->show();
        return w;
    }
    QString folder(const QString& name) {
        const QString path = tmp_.filePath(name);
        QDir().mkpath(path);
        return path;
    }

    void startCase() {
        lumigal::startImageLibrary();  // as the program's main does
        installFrenchTranslations();
        quietOffscreenWarnings();
        QVERIFY(tmp_.isValid());
        createpage::setPageOpener([this](const std::string& p) { opened_.push_back(p); });
    }
    void endCase() {
        // For a look at the pages in a browser: LUMIGAL_KEEP_PAGES=1.
        if (qEnvironmentVariableIsSet("LUMIGAL_KEEP_PAGES")) {
            tmp_.setAutoRemove(false);
            qInfo("pages kept in %s", qPrintable(tmp_.path()));
        }
        createpage::setPageOpener({});
    }
    void resetSettings() {
        prefs_ = {};
        page_ = {};
        initialSettings(prefs_, page_, tmp_.path().toStdString());
        prefs_.pathLaunch = folder("launch").toStdString();
        prefs_.pathSave = folder("pages").toStdString();
        prefs_.pathThumbnail = folder("thumbs").toStdString();
        prefs_.bip = 0;
        saves_ = 0;
        opened_.clear();
    }
};

}  // namespace lumigal::test
