// The main window and its create-page command, offscreen: the initial
// state, the refusal to confirm, each message of the command, the quoted
// multiple selection, the scans, the file list, where the window opens,
// and the single instance of the real program.
#include "main_window_fixture.h"

using namespace lumigal;
using namespace lumigal::test;

class TestMainWindow : public QObject, MainWindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { startCase(); }
    void cleanupTestCase() { endCase(); }
    void init() { resetSettings(); }

    void initialState() {
        auto w = makeWindow();
        QCOMPARE(w->windowTitle(), QStringLiteral("Lumigal"));
        QVERIFY(w->testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(w->fileMode(), QFileDialog::ExistingFiles);
        QCOMPARE(w->viewMode(), QFileDialog::Detail);
        QCOMPARE(w->directory().absolutePath(), QString::fromStdString(prefs_.pathLaunch));
        QCOMPARE(w->destinationField()->text(), QString::fromStdString(prefs_.pathSave));
        QCOMPARE(w->nameFilters().size(), 14);  // the images, then the videos
        QVERIFY(w->selectedNameFilter().startsWith(
            QStringLiteral("Tous (BMP, DIB, GIF, JPEG, PNG, XBM, WebP, HEIC, AVIF, TIFF)")));
        const ScanFormats& f = w->scanFormats();
        QVERIFY(f.bmp && f.dib && f.gif && f.png && f.xbm && f.jpeg);
        QVERIFY(f.webp && f.heic && f.avif && f.tiff);
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
        QCOMPARE(items, (QStringList{"&Lumigal", "&Créer la page...", "", "&Quitter", "Di&vers",
                                     "&Paramétrage...", "&Aide", "&Aide de Lumigal",
                                     "A &propos de Lumigal"}));
    }

    void fileTypeChoiceSetsScanFormats_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("on");  // letters: b d g j p x, w(ebp) h(eic) a(vif) t(iff)
        QTest::newRow("all") << 0 << "bdgjpxwhat";
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
        QVERIFY(!MainWindow::formatsForType(15, unchanged));
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
            // The buttons it names are the window's own.
            QStringList named;
            for (const auto& match :
                 QRegularExpression(QStringLiteral("« ([^»]+) »")).globalMatch(m.text))
                named << match.captured(1);
            QVERIFY2(!named.isEmpty(), qPrintable(m.text));
            QStringList buttons;
            for (QToolButton* b : w->findChildren<QToolButton*>())
                buttons << b->text().remove(QLatin1Char('&'));
            for (const QString& name : named) QVERIFY2(buttons.contains(name), qPrintable(name));
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
        QTest::newRow("all, folder") << 0 << true << false << 11;
        QTest::newRow("webp, folder") << 7 << true << false << 1;
        QTest::newRow("recent images, folder") << 11 << true << false << 2;
        QTest::newRow("tiff, folder") << 10 << true << false << 1;
        QTest::newRow("all, tree") << 0 << false << true << 13;
        QTest::newRow("all, both") << 0 << true << true << 13;
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

    // The list in French whatever the session's locale, every column as
    // wide as its title and its entries.
    void fileListInFrenchAndUncut_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("shown");  // a pattern of the whole text
        QTest::newRow("small file size") << "petit.png" << 1 << "\\d+ octets";
        QTest::newRow("larger file size") << "grand.png" << 1 << "\\d+,\\d\\d Kio";
        QTest::newRow("file type") << "petit.png" << 2 << "image PNG";
        QTest::newRow("folder type") << "Sous-dossier" << 2 << "Dossier";
        QTest::newRow("folder size") << "Sous-dossier" << 1 << "";
        QTest::newRow("date") << "petit.png" << 3 << "\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d";
    }
    void fileListInFrenchAndUncut() {
        QFETCH(QString, entry);
        QFETCH(int, column);
        QFETCH(QString, shown);
        const QString dir = folder("colonnes");
        writeImage(dir + "/petit.png", Qt::red);
        QImage noise(300, 300, QImage::Format_RGB32);
        for (int y = 0; y < noise.height(); ++y)
            for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, qRgb(x * 7 ^ y * 13, x * y, y));
        noise.save(dir + "/grand.png");
        QDir(dir).mkpath(QStringLiteral("Sous-dossier"));
        auto w = makeWindow();
        w->setDirectory(dir);
        auto* list = w->findChild<QTreeView*>(QStringLiteral("treeView"));
        auto* model = w->findChild<QFileSystemModel*>();
        QVERIFY(list && model);
        const QModelIndex name = model->index(dir + "/" + entry);
        QVERIFY(name.isValid());
        const QModelIndex cell = name.siblingAtColumn(column);
        auto* texts = dynamic_cast<FileListTexts*>(list->itemDelegate());
        QVERIFY(texts);
        // The type comes later, from the model's own thread.
        QTRY_VERIFY_WITH_TIMEOUT(!cell.data().toString().isEmpty() || shown.isEmpty(), 10000);
        QTRY_VERIFY2_WITH_TIMEOUT(
            QRegularExpression(QRegularExpression::anchoredPattern(shown))
                .match(texts->shownText(cell))
                .hasMatch(),
            qPrintable(texts->shownText(cell)), 10000);
        QHeaderView* header = list->header();
        const QAbstractItemView* view = list;  // its size hint is public there
        QTRY_VERIFY2_WITH_TIMEOUT(
            header->sectionSize(column) >=
                std::max(header->sectionSizeHint(column), view->sizeHintForColumn(column)),
            qPrintable(QStringLiteral("%1 < %2, %3")
                           .arg(header->sectionSize(column))
                           .arg(header->sectionSizeHint(column))
                           .arg(view->sizeHintForColumn(column))),
            5000);
    }

    // However large the window (a scale factor of 2 doubles it), its title
    // bar is on the screen once it is placed, as the program's main does.
    void placedWithItsTitleBarOnScreen_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("as it opens") << QSize(820, 520);
        QTest::newRow("scale factor 2") << QSize(1640, 1040);
        QTest::newRow("far larger") << QSize(4000, 3000);
    }
    void placedWithItsTitleBarOnScreen() {
        QFETCH(QSize, size);
        auto w = makeWindow();
        w->resize(size);
        centreOnScreen(w.get());
        const QRect free = w->screen()->availableGeometry();
        const QRect frame = w->frameGeometry();
        QVERIFY2(frame.top() >= free.top() && frame.left() >= free.left(),
                 qPrintable(QStringLiteral("%1,%2 on %3,%4")
                                .arg(frame.left()).arg(frame.top())
                                .arg(free.left()).arg(free.top())));
        // Shrunk to the screen as far as its smallest size allows.
        const QSize smallest = w->minimumSizeHint().expandedTo(w->minimumSize());
        QCOMPARE(frame.width() <= free.width(), smallest.width() <= free.width());
        QCOMPARE(frame.height() <= free.height(), smallest.height() <= free.height());
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
            // What only the installer writes (without it the copy stops at a message).
            QCOMPARE(registry.createKey(kSettingsKey, key), platform::RegStatus::Ok);
            QCOMPARE(key->setString("installPath", p.installPath), platform::RegStatus::Ok);
            QCOMPARE(key->close(), platform::RegStatus::Ok);
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
        // The first copy listens for the later ones beside its lock.
        QTRY_VERIFY_WITH_TIMEOUT(
            QFileInfo::exists(runningCopySocketPath(runtime.path().toStdString())), 30000);
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
