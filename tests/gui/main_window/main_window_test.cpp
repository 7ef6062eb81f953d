// The main window and its create-page command, offscreen: the initial
// state, the refusal to confirm, each message of the command, the quoted
// multiple selection, the scans, two pages in a row, the single saving at
// the end, and the single instance of the real program.
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "album/settings.h"
#include "imaging/image_library.h"
#include "platform/instance_lock.h"
#include "platform/registry.h"
#include "main_window/create_page_command.h"
#include "main_window/main_window.h"
#include "test_support/dialog_test_support.h"

using namespace lumigal;
using namespace lumigal::test;

namespace {
void writeFile(const QString& path, const QByteArray& data = "x") {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

void writeImage(const QString& path, Qt::GlobalColor colour) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path));
}

// Runs `inspect` on the page creation dialog once it is the modal window
// (the wait and progress boxes may come and go before), then closes it
// with Rejected if it is still open.
void whenPageDialogOpens(std::function<void(QWidget*)> inspect) {
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
}

// Accepts the page creation dialog with `fileName` (and the sort box set
// to `sorted`) when it opens.
void acceptPageDialog(const QString& fileName, bool sorted) {
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
void setBoxText(MainWindow& w, const QString& text) {
    const QSignalBlocker quiet(w.fileNameBox());
    w.fileNameBox()->setText(text);
}

QByteArray readAll(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private:
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

private slots:
    void initTestCase() {
        lumigal::startImageLibrary();  // as the program's main does
        quietOffscreenWarnings();
        QVERIFY(tmp_.isValid());
        createpage::setPageOpener([this](const std::string& p) { opened_.push_back(p); });
    }
    void cleanupTestCase() {
        // For a look at the pages in a browser: LUMIGAL_KEEP_PAGES=1.
        if (qEnvironmentVariableIsSet("LUMIGAL_KEEP_PAGES")) {
            tmp_.setAutoRemove(false);
            qInfo("pages kept in %s", qPrintable(tmp_.path()));
        }
        createpage::setPageOpener({});
    }
    void init() {
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

    void initialState() {
        auto w = makeWindow();
        QCOMPARE(w->windowTitle(), QStringLiteral("Lumigal"));
        QVERIFY(w->testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(w->fileMode(), QFileDialog::ExistingFiles);
        QCOMPARE(w->viewMode(), QFileDialog::Detail);
        QCOMPARE(w->directory().absolutePath(), QString::fromStdString(prefs_.pathLaunch));
        QCOMPARE(w->destinationField()->text(), QString::fromStdString(prefs_.pathSave));
        QCOMPARE(w->nameFilters().size(), 13);
        QVERIFY(w->selectedNameFilter().startsWith(
            QStringLiteral("Tous (BMP, DIB, GIF, JPEG, PNG, XBM)")));
        const ScanFormats& f = w->scanFormats();
        QVERIFY(f.bmp && f.dib && f.gif && f.png && f.xbm && f.jpeg);
        QVERIFY(!f.webp && !f.heic && !f.avif && !f.tiff);
        QVERIFY(w->fileNameBox());
        QVERIFY(!w->findChild<QWidget*>(QStringLiteral("buttonBox"))->isVisible());
        QVERIFY(w->selectFolderButton()->isCheckable() && !w->selectFolderButton()->isChecked());
        QVERIFY(w->selectTreeButton()->isCheckable() && !w->selectTreeButton()->isChecked());
        QCOMPARE(w->selectFolderButton()->toolTip(),
                 QStringLiteral("Sélectionne tous les fichiers du dossier courant"));
        QCOMPARE(w->selectTreeButton()->toolTip(),
                 QStringLiteral("Sélectionne également dans les sous-dossiers"));
        QCOMPARE(w->createPageButton()->toolTip(),
                 QStringLiteral("Fenêtre de création de la page WEB"));
        QCOMPARE(w->quitButton()->toolTip(), QStringLiteral("Quitter Lumigal"));
        QCOMPARE(MainWindow::tooltipFor(MainWindow::kHelp), QStringLiteral("Aide de Lumigal"));
        QVERIFY(MainWindow::tooltipFor(4242).isEmpty());
        QStringList items;
        for (QAction* menu : w->findChild<QMenuBar*>()->actions()) {
            items << menu->text();
            for (QAction* a : menu->menu()->actions()) items << a->text();
        }
        QCOMPARE(items, (QStringList{"&Lumigal", "&Quitter", "Di&vers", "&Paramétrage...", "&Aide",
                                     "&Aide de Lumigal", "A &propos de Lumigal"}));
    }

    void fileTypeChoiceSetsScanFormats_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("on");  // letters: b d g j p x, w(ebp) h(eic) a(vif) t(iff)
        QTest::newRow("all") << 0 << "bdgjpx";
        QTest::newRow("bmp") << 1 << "b";
        QTest::newRow("dib") << 2 << "d";
        QTest::newRow("gif") << 3 << "g";
        QTest::newRow("jpeg") << 4 << "j";
        QTest::newRow("png") << 5 << "p";
        QTest::newRow("xbm") << 6 << "x";
        QTest::newRow("webp") << 7 << "w";
        QTest::newRow("heic") << 8 << "h";
        QTest::newRow("avif") << 9 << "a";
        QTest::newRow("tiff") << 10 << "t";
        QTest::newRow("recent images") << 11 << "wha";
        QTest::newRow("every image") << 12 << "bdgjpxwhat";
    }
    void fileTypeChoiceSetsScanFormats() {
        QFETCH(int, index);
        QFETCH(QString, on);
        auto w = makeWindow();
        auto* combo = w->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(combo);
        QCOMPARE(combo->itemText(index), MainWindow::fileTypeTexts().at(index));
        // Start from another choice so that every row is a real change.
        combo->setCurrentIndex(index == 3 ? 4 : 3);
        emit combo->activated(combo->currentIndex());
        combo->setCurrentIndex(index);
        emit combo->activated(index);
        const ScanFormats& f = w->scanFormats();
        QCOMPARE(f.bmp, on.contains('b'));
        QCOMPARE(f.dib, on.contains('d'));
        QCOMPARE(f.gif, on.contains('g'));
        QCOMPARE(f.jpeg, on.contains('j'));
        QCOMPARE(f.png, on.contains('p'));
        QCOMPARE(f.xbm, on.contains('x'));
        QCOMPARE(f.webp, on.contains('w'));
        QCOMPARE(f.heic, on.contains('h'));
        QCOMPARE(f.avif, on.contains('a'));
        QCOMPARE(f.tiff, on.contains('t'));
        ScanFormats unchanged = f;
        QVERIFY(!MainWindow::formatsForType(14, unchanged));
        QVERIFY(!MainWindow::formatsForType(0, unchanged));
    }

    void refusesToAccept() {
        const QString dir = folder("refuse");
        writeImage(dir + "/a.png", Qt::red);
        QDir().mkpath(dir + "/sub");
        MessageRecorder messages;
        auto w = makeWindow();
        w->setDirectory(dir);
        w->fileNameBox()->setFocus();
        setBoxText(*w, QStringLiteral("a.png"));
        QTest::keyClick(w->fileNameBox(), Qt::Key_Return);
        w->accept();
        QVERIFY(w->isVisible());
        QCOMPARE(w->result(), 0);
        QVERIFY(messages.messages.isEmpty());
        QVERIFY(QDir(QString::fromStdString(prefs_.pathSave)).isEmpty());
        // A typed folder name still opens that folder.
        setBoxText(*w, QStringLiteral("sub"));
        QTest::keyClick(w->fileNameBox(), Qt::Key_Return);
        QVERIFY(w->isVisible());
        QCOMPARE(w->directory().absolutePath(), dir + "/sub");
    }

    void createPageMessages_data() {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<bool>("errorIcon");
        QTest::newRow("source gone") << "source" << createpage::kSourceMissing << true;
        QTest::newRow("destination empty")
            << "destination" << createpage::kDestinationMissing << true;
        QTest::newRow("nothing selected") << "empty" << createpage::kSelectionEmpty << true;
        QTest::newRow("single missing") << "missing" << createpage::kFileMissing << true;
        QTest::newRow("scan finds nothing") << "nothing" << createpage::kNothingFound << false;
        QTest::newRow("quotes without a name") << "quotes" << createpage::kNothingFound << false;
    }
    void createPageMessages() {
        QFETCH(QString, situation);
        QFETCH(QString, identifier);
        QFETCH(bool, errorIcon);
        const QString dir = folder("messages-" + situation);
        writeFile(dir + "/notes.txt");
        MessageRecorder messages;
        auto w = makeWindow();
        w->setDirectory(dir);
        w->selectedFiles().add("/stale/entry.jpg");
        if (situation == "source") QVERIFY(QDir(dir).removeRecursively());
        if (situation == "destination") w->destinationField()->clear();
        if (situation == "destination") w->selectFolderButton()->setChecked(true);
        if (situation == "missing") w->fileNameBox()->setText("absent.jpg");
        if (situation == "nothing") w->selectFolderButton()->setChecked(true);
        if (situation == "quotes") w->fileNameBox()->setText("\"abc");
        w->createPage();
        QCOMPARE(messages.identifiers(), QStringList{identifier});
        const MessageRecord& m = messages.messages.front();
        QCOMPARE(m.caption, QStringLiteral("Lumigal"));
        QCOMPARE(m.icon, errorIcon ? QMessageBox::Critical : QMessageBox::Information);
        if (situation == "missing")
            QCOMPARE(m.text, QStringLiteral("Le fichier %1/absent.jpg n'existe pas ou n'est pas "
                                            "accessible...")
                                 .arg(dir));
        if (situation == "empty") {
            QCOMPARE(w->selectedFiles().selectedFileCount(), 1);  // list unchanged
        } else {
            QCOMPARE(w->selectedFiles().selectedFileCount(), 0);
        }
        // An early stop keeps the button state.
        if (situation == "destination") QVERIFY(w->selectFolderButton()->isChecked());
        QVERIFY(QDir(QString::fromStdString(prefs_.pathSave)).isEmpty());
    }

    void quotedMultipleSelection() {
        const QString dir = folder("multi");
        MessageRecorder messages;
        auto w = makeWindow();
        w->setDirectory(dir);
        setBoxText(*w, QStringLiteral("\"b.jpg\" \"a.jpg\""));
        int dialogs = 0;
        whenPageDialogOpens([&](QWidget* modal) { dialogs += modal != nullptr; });
        w->createPage();  // dialog cancelled: the list stays as gathered
        QCOMPARE(dialogs, 1);
        QVERIFY(messages.messages.isEmpty());
        const auto& files = w->selectedFiles().selectedFiles();
        QCOMPARE(files, (std::vector<std::string>{(dir + "/b.jpg").toStdString(),
                                                  (dir + "/a.jpg").toStdString()}));
        const auto sorted = w->selectedFiles().sortList();
        QCOMPARE(*sorted.at(0), (dir + "/a.jpg").toStdString());
        QCOMPARE(w->fileNameBox()->text(), QStringLiteral("\"b.jpg\" \"a.jpg\""));
    }

    void scans_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("folderButton");
        QTest::addColumn<bool>("treeButton");
        QTest::addColumn<int>("expected");
        // The folder holds one file of each of the eight classic extensions,
        // a WebP, a HEIC and a TIFF, plus a text file; "sub" holds a gif and a png.
        QTest::newRow("all, folder") << 0 << true << false << 8;
        QTest::newRow("every image, folder") << 12 << true << false << 11;
        QTest::newRow("recent images, folder") << 11 << true << false << 2;
        QTest::newRow("tiff, folder") << 10 << true << false << 1;
        QTest::newRow("all, tree") << 0 << false << true << 10;
        QTest::newRow("all, both") << 0 << true << true << 10;
        QTest::newRow("gif, folder") << 3 << true << false << 1;
        QTest::newRow("gif, tree") << 3 << false << true << 2;
        QTest::newRow("jpeg, folder") << 4 << true << false << 3;
        QTest::newRow("bmp, tree") << 1 << false << true << 1;
        QTest::newRow("png, tree") << 5 << false << true << 2;
        QTest::newRow("xbm, folder") << 6 << true << false << 1;
        QTest::newRow("dib, folder") << 2 << true << false << 1;
    }
    void scans() {
        QFETCH(int, type);
        QFETCH(bool, folderButton);
        QFETCH(bool, treeButton);
        QFETCH(int, expected);
        const QString dir = tmp_.filePath("scan");
        if (!QDir(dir).exists()) {
            QDir().mkpath(dir + "/sub");
            for (const char* name :
                 {"a.bmp", "b.dib", "c.GIF", "d.jpg", "e.jpe", "f.jpeg", "g.png", "h.xbm", "i.txt",
                  "l.webp", "m.HEIC", "n.tif"})
                writeFile(dir + "/" + name);
            writeFile(dir + "/sub/j.gif");
            writeFile(dir + "/sub/k.png");
        }
        MessageRecorder messages;
        auto w = makeWindow();
        w->setDirectory(dir);
        auto* combo = w->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        combo->setCurrentIndex(type);
        emit combo->activated(type);
        w->selectFolderButton()->setChecked(folderButton);
        w->selectTreeButton()->setChecked(treeButton);
        w->fileNameBox()->setText(QStringLiteral("ignored.jpg"));
        int shownCount = -1;
        whenPageDialogOpens([&](QWidget* modal) { shownCount = modal ? 1 : 0; });
        w->createPage();
        QVERIFY(messages.messages.isEmpty());
        QCOMPARE(shownCount, 1);
        QCOMPARE(w->selectedFiles().selectedFileCount(), expected);
        // A disabled button does not count as pressed.
        w->selectFolderButton()->setChecked(true);
        w->selectFolderButton()->setEnabled(false);
        w->selectTreeButton()->setChecked(false);
        w->fileNameBox()->clear();
        w->createPage();
        QCOMPARE(messages.identifiers(), QStringList{createpage::kSelectionEmpty});
    }

    void twoPagesInARow() {
        const QString dir = folder("two");
        writeImage(dir + "/zebre.png", Qt::red);
        writeImage(dir + "/alpha.png", Qt::blue);
        writeImage(dir + "/milieu.jpg", Qt::green);
        MessageRecorder messages;
        prefs_.launch = 1;
        auto w = makeWindow();
        w->setDirectory(dir);

        w->fileNameBox()->setText(QStringLiteral("zebre.png"));
        acceptPageDialog(QStringLiteral("premiere.htm"), false);
        w->createPage();
        QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.identifiers().join(',')));
        const std::string first = prefs_.pathSave + "/premiere.htm";
        QCOMPARE(opened_, std::vector<std::string>{first});
        const QByteArray page1 = readAll(first);
        QVERIFY(page1.contains("zebre.png"));
        QVERIFY(!page1.contains("alpha.png"));
        QVERIFY(w->fileNameBox()->text().isEmpty());

        setBoxText(*w, QStringLiteral("\"zebre.png\" \"alpha.png\" \"milieu.jpg\""));
        w->selectTreeButton()->setChecked(false);
        acceptPageDialog(QStringLiteral("seconde.htm"), true);
        w->createPage();
        QVERIFY(messages.messages.isEmpty());
        const std::string second = prefs_.pathSave + "/seconde.htm";
        QCOMPARE(opened_.size(), std::size_t(2));
        const QByteArray page2 = readAll(second);
        const auto a = page2.indexOf("alpha.png"), m = page2.indexOf("milieu.jpg"),
                   z = page2.indexOf("zebre.png");
        QVERIFY(a >= 0 && m > a && z > m);  // sorted
        QCOMPARE(w->selectedFiles().selectedFileCount(), 3);

        // Third: a folder scan; both buttons are released afterwards.
        w->selectFolderButton()->setChecked(true);
        w->selectTreeButton()->setChecked(true);
        acceptPageDialog(QStringLiteral("troisieme.htm"), false);
        w->createPage();
        QVERIFY(!w->selectFolderButton()->isChecked());
        QVERIFY(!w->selectTreeButton()->isChecked());
        QCOMPARE(opened_.size(), std::size_t(3));
        QCOMPARE(saves_, 0);
        w.reset();
        QCOMPARE(saves_, 1);
    }

    void vanishedNamesAreReported() {
        const QString dir = folder("vanished");
        writeImage(dir + "/reste.png", Qt::red);
        MessageRecorder messages;
        prefs_.launch = 1;
        auto w = makeWindow();
        w->setDirectory(dir);
        writeImage(dir + "/parti.png", Qt::blue);
        setBoxText(*w, QStringLiteral("\"reste.png\" \"parti.png\""));
        QVERIFY(QFile::remove(dir + "/parti.png"));  // gone before the page is made
        acceptPageDialog(QStringLiteral("trous.htm"), false);
        w->createPage();
        QCOMPARE(messages.identifiers(), QStringList{createpage::kImagesFailed});
        QVERIFY(messages.messages.front().text.contains(dir + "/parti.png"));
        QVERIFY(readAll(prefs_.pathSave + "/trous.htm").contains("reste.png"));
    }

    void unreadableSubFoldersAreReported() {
        if (geteuid() == 0) QSKIP("root can list any folder");
        const QString dir = folder("locked");
        folder("locked/open");
        folder("locked/shut");
        writeImage(dir + "/visible.png", Qt::red);
        writeImage(dir + "/open/inside.png", Qt::blue);
        writeImage(dir + "/shut/hidden.png", Qt::green);
        QVERIFY(QFile::setPermissions(dir + "/shut", QFileDevice::WriteOwner));
        MessageRecorder messages;
        auto w = makeWindow();
        w->setDirectory(dir);
        w->selectTreeButton()->setChecked(true);
        int dialogs = 0;
        whenPageDialogOpens([&](QWidget* modal) { dialogs += modal ? 1 : 0; });
        w->createPage();
        QFile::setPermissions(dir + "/shut", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ExeOwner);
        // Named, and the scan still offers what it found.
        QCOMPARE(messages.identifiers(), QStringList{createpage::kFoldersSkipped});
        QVERIFY(messages.messages.front().text.contains(dir + "/shut"));
        QVERIFY(!messages.messages.front().text.contains(dir + "/open"));
        QCOMPARE(dialogs, 1);
        QCOMPARE(w->selectedFiles().selectedFileCount(), 2);
    }

    void pageNotWrittenOpensNoBrowser() {
        const QString dir = folder("unwritable");
        writeImage(dir + "/a.png", Qt::red);
        MessageRecorder messages;
        prefs_.launch = 1;
        auto w = makeWindow();
        w->setDirectory(dir);
        w->destinationField()->setText(dir + "/a.png/not-a-folder");
        w->fileNameBox()->setText(QStringLiteral("a.png"));
        acceptPageDialog(QStringLiteral("x.htm"), false);
        w->createPage();
        QVERIFY(opened_.empty());
        QVERIFY(messages.identifiers().contains(QStringLiteral("pageNotWritten")));
        QVERIFY(w->fileNameBox()->text().isEmpty());
    }

    void savedOnceWhicheverWayItCloses_data() {
        QTest::addColumn<QString>("way");
        QTest::newRow("escape") << "escape";
        QTest::newRow("close box") << "close";
        QTest::newRow("menu") << "menu";
        QTest::newRow("quit button") << "button";
    }
    void savedOnceWhicheverWayItCloses() {
        QFETCH(QString, way);
        auto w = makeWindow();
        w->activateWindow();
        if (way == "escape") QTest::keyClick(w.get(), Qt::Key_Escape);
        if (way == "close") w->close();
        if (way == "menu") w->findChild<QAction*>(QString::number(MainWindow::kQuit))->trigger();
        if (way == "button") w->quitButton()->click();
        QVERIFY(!w->isVisible());
        QCOMPARE(w->result(), int(QDialog::Rejected));
        QCOMPARE(saves_, 0);
        w.reset();
        QCOMPARE(saves_, 1);
    }

    void helpOpensAtTheRightPlace() {
        HelpStub help;
        auto w = makeWindow();
        w->destinationField()->setFocus();
        QTest::keyClick(w->destinationField(), Qt::Key_F1);
        w->findChild<QAction*>(QString::number(MainWindow::kHelp))->trigger();
        QCOMPARE(help.requests.size(), std::size_t(2));
        QCOMPARE(help.requests[0].context, MainWindow::kDestinationHelpContext);
        QCOMPARE(help.requests[0].path, std::string("/nowhere/Lumigal.html"));
        FolderBrowserStub browser;
        browser.answer = QStringLiteral("/srv/web");
        w->findChild<QToolButton*>(QStringLiteral("1320"))->click();
        QCOMPARE(w->destinationField()->text(), QStringLiteral("/srv/web"));
        browser.answer.reset();
        w->findChild<QToolButton*>(QStringLiteral("1320"))->click();
        QCOMPARE(w->destinationField()->text(), QStringLiteral("/srv/web"));
    }

    void secondInstanceEndsAtOnce() {
        QTemporaryDir home, runtime, config;
        QVERIFY(home.isValid() && runtime.isValid() && config.isValid());
        {
            platform::Registry registry(QDir(config.path()).filePath("lumigal").toStdString());
            std::optional<platform::RegistryKey> key;
            QCOMPARE(registry.createKey(kSettingsKey, key), platform::RegStatus::Ok);
            key->close();
            Preferences p;
            PageSettings s;
            initialSettings(p, s, home.path().toStdString());
            QCOMPARE(SaveSettings(registry, p, s), 0);
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("XDG_CONFIG_HOME", config.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        QProcess first;
        first.setProcessEnvironment(env);
        first.start(QStringLiteral(LUMIGAL_PROGRAM), {});
        QVERIFY(first.waitForStarted());
        const std::string lockPath = platform::instanceLockPath(runtime.path().toStdString());
        // Wait until the first copy holds the lock (it is still running).
        QTRY_VERIFY_WITH_TIMEOUT(platform::InstanceLock(lockPath).state() ==
                                     platform::InstanceLock::State::HeldElsewhere,
                                 30000);
        QProcess second;
        second.setProcessEnvironment(env);
        second.start(QStringLiteral(LUMIGAL_PROGRAM), {});
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        first.kill();
        QVERIFY(first.waitForFinished(30000));
        // A killed first copy never blocks the next.
        QCOMPARE(platform::InstanceLock(lockPath).state(), platform::InstanceLock::State::Acquired);
    }
};

QTEST_MAIN(TestMainWindow)
#include "main_window_test.moc"
