// Pages made from the window, offscreen: two in a row, names that vanished,
// folders that cannot be read, a page that was not written, the destination
// checked early, an existing page replaced only when asked, the work in the
// background and its cancelling, the saving at the end and after a
// dialog's OK, the keyboard alone, a call from a second copy, and the help.
#include "main_window_fixture.h"

using namespace lumigal;
using namespace lumigal::test;

class TestPageRuns : public QObject, MainWindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { startCase(); }
    void cleanupTestCase() { endCase(); }
    void init() { resetSettings(); }

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
        folder("unwritable/x.htm");  // a folder where the page would go
        Answers messages;
        messages.answers[createpage::kPageExists] = QMessageBox::Yes;
        prefs_.launch = 1;
        auto w = makeWindow();
        w->setDirectory(dir);
        w->destinationField()->setText(dir);
        w->fileNameBox()->setText(QStringLiteral("a.png"));
        acceptPageDialog(QStringLiteral("x.htm"), false);
        w->createPage();
        QVERIFY(opened_.empty());
        QCOMPARE(messages.identifiers(),
                 (QStringList{createpage::kPageExists, QStringLiteral("pageNotWritten")}));
        QVERIFY(w->fileNameBox()->text().isEmpty());
    }

    // At « Créer », before the dialog: the destination made or refused.
    void destinationCheckedEarly_data() {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<int>("answer");  // to the offer to make the folder
        QTest::addColumn<QStringList>("identifiers");
        QTest::addColumn<bool>("dialogShown");
        QTest::newRow("missing, made") << "missing" << int(QMessageBox::Yes)
                                       << QStringList{createpage::kDestinationCreate} << true;
        QTest::newRow("missing, not made") << "missing" << int(QMessageBox::No)
                                           << QStringList{createpage::kDestinationCreate} << false;
        QTest::newRow("cannot be made")
            << "under a file" << int(QMessageBox::Yes)
            << QStringList{createpage::kDestinationCreate, createpage::kDestinationNotMade} << false;
        QTest::newRow("a file") << "file" << 0 << QStringList{createpage::kDestinationUnwritable}
                                << false;
        QTest::newRow("read-only") << "read-only" << 0
                                   << QStringList{createpage::kDestinationUnwritable} << false;
    }
    void destinationCheckedEarly() {
        QFETCH(QString, situation);
        QFETCH(int, answer);
        QFETCH(QStringList, identifiers);
        QFETCH(bool, dialogShown);
        if (situation == "read-only" && geteuid() == 0) QSKIP("root writes in any folder");
        const QString dir = folder(QStringLiteral("early-%1").arg(QTest::currentDataTag()));
        writeImage(dir + "/a.png", Qt::red);
        QString destination = dir + "/pages/new";
        if (situation == "under a file") {
            writeFile(dir + "/plain");
            destination = dir + "/plain/pages";
        }
        if (situation == "file") {
            writeFile(dir + "/plain");
            destination = dir + "/plain";
        }
        if (situation == "read-only") {
            destination = folder(QStringLiteral("early-%1/shut").arg(QTest::currentDataTag()));
            QVERIFY(QFile::setPermissions(destination, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        Answers messages;
        messages.answers[createpage::kDestinationCreate] = QMessageBox::StandardButton(answer);
        auto w = makeWindow();
        w->setDirectory(dir);
        w->destinationField()->setText(destination);
        w->fileNameBox()->setText(QStringLiteral("a.png"));
        bool shown = false;
        QPointer<QTimer> watch = whenPageDialogOpens([&](QWidget* modal) { shown = modal != nullptr; });
        w->createPage();
        delete watch.data();
        if (situation == "read-only")
            QFile::setPermissions(destination, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner);
        QCOMPARE(messages.identifiers(), identifiers);
        QCOMPARE(shown, dialogShown);
        QCOMPARE(QFileInfo(destination).isDir(), dialogShown || situation == "read-only");
        if (identifiers.size() > 1 || situation == "file" || situation == "read-only")
            QVERIFY2(messages.messages.last().text.contains(QDir::toNativeSeparators(destination) +
                                                            QStringLiteral(" : ")),
                     qPrintable(messages.messages.last().text));
    }

    // An existing page is replaced only at the user's word (default Non);
    // at « Non » the dialog comes back for another name.
    void existingPageReplacedOnlyWhenAsked() {
        const QString dir = folder("replace");
        writeImage(dir + "/a.png", Qt::red);
        const std::string page = prefs_.pathSave + "/album.htm";
        writeBytes(page, "<html>avant</html>");
        Answers messages;
        messages.answers[createpage::kPageExists] = QMessageBox::No;
        prefs_.launch = 1;
        auto w = makeWindow();
        w->setDirectory(dir);
        w->fileNameBox()->setText(QStringLiteral("a.png"));
        int dialogs = 0;
        std::function<void()> again;
        again = [&] {
            whenPageDialogOpens([&](QWidget* modal) {
                if (++dialogs > 1) return;  // the second opening is cancelled
                again();
                modal->findChild<QLineEdit*>(QStringLiteral("edit1136"))->setText("album.htm");
                modal->findChild<QPushButton*>(QStringLiteral("button1"))->click();
            });
        };
        again();
        w->createPage();
        QCOMPARE(dialogs, 2);
        QCOMPARE(messages.identifiers(), QStringList{createpage::kPageExists});
        const MessageRecord& question = messages.messages.front();
        QCOMPARE(question.text, QStringLiteral("La page %1 existe déjà. La remplacer ?")
                                    .arg(QString::fromStdString(page)));
        QCOMPARE(question.defaultButton, QMessageBox::No);
        QCOMPARE(readAll(page), QByteArray("<html>avant</html>"));
        QVERIFY(opened_.empty());
        messages.answers[createpage::kPageExists] = QMessageBox::Yes;
        acceptPageDialog(QStringLiteral("album.htm"), false);
        w->createPage();
        QVERIFY(readAll(page).contains("a.png"));
        QCOMPARE(opened_, std::vector<std::string>{page});
    }

    // Without the browser, a notice names the page and opens it or its folder.
    void noticeWhenTheBrowserIsNotOpened_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("opened");  // "page", "folder" or ""
        QTest::newRow("open the page") << int(QMessageBox::Open) << "page";
        QTest::newRow("open the folder") << int(QMessageBox::Apply) << "folder";
        QTest::newRow("close") << int(QMessageBox::Close) << "";
    }
    void noticeWhenTheBrowserIsNotOpened() {
        QFETCH(int, answer);
        QFETCH(QString, opened);
        const QString dir = folder("notice");
        writeImage(dir + "/a.png", Qt::red);
        Answers messages;
        messages.answers[createpage::kPageWritten] = QMessageBox::StandardButton(answer);
        messages.answers[createpage::kPageExists] = QMessageBox::Yes;
        prefs_.launch = 0;
        auto w = makeWindow();
        w->setDirectory(dir);
        w->fileNameBox()->setText(QStringLiteral("a.png"));
        acceptPageDialog(QStringLiteral("notice.htm"), false);
        w->createPage();
        const std::string page = prefs_.pathSave + "/notice.htm";
        QCOMPARE(messages.identifiers().last(), QString(createpage::kPageWritten));
        QVERIFY(messages.messages.last().text.contains(QString::fromStdString(page)));
        std::vector<std::string> expected;
        if (opened == "page") expected.push_back(page);
        if (opened == "folder") expected.push_back(prefs_.pathSave);
        QCOMPARE(opened_, expected);
    }

    // « Annuler » during a real generation in the background: the previous
    // page stays byte for byte, no temporary is left, the window is ready.
    void cancelKeepsTheOldPage_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Annuler") << "button";
        QTest::newRow("close box, Oui") << "close";
    }
    void cancelKeepsTheOldPage() {
        QFETCH(QString, how);
        const QString dir = imageFolder(tmp_.filePath("many"), 400);
        prefs_.pathSave = folder(QStringLiteral("cancel-%1").arg(QTest::currentDataTag())).toStdString();
        const std::string page = prefs_.pathSave + "/grand.htm";
        const QByteArray before = "<html>la page d'avant</html>";
        writeBytes(page, before);
        Answers messages;
        messages.answers[createpage::kPageExists] = QMessageBox::Yes;
        messages.answers[MainWindow::kStopAndQuit] = QMessageBox::Yes;
        page_.thumbnail = 1;
        prefs_.launch = 1;
        auto w = makeWindow();
        w->setDirectory(dir);
        w->selectFolderButton()->setChecked(true);
        acceptPageDialog(QStringLiteral("grand.htm"), false);
        int barAtStop = -1, barEnd = -1;
        bool escapeIgnored = false;
        whenProgressBoxOpens([&](QDialog* box) {
            // Escape in the window does nothing while it works.
            QTest::keyClick(w.get(), Qt::Key_Escape);
            escapeIgnored = w->isVisible() && w->working();
            barAtStop = box->findChild<QProgressBar*>()->value();
            barEnd = box->findChild<QProgressBar*>()->maximum();
            if (how == "button") box->findChild<QPushButton*>(QStringLiteral("button2"))->click();
            if (how == "close") w->close();
        });
        w->createPage();
        QVERIFY(escapeIgnored);
        QCOMPARE(barEnd, 400);
        QVERIFY2(barAtStop < 399, "the page was done before the stop");
        QCOMPARE(readAll(page), before);
        QCOMPARE(filesIn(QString::fromStdString(prefs_.pathSave)), QStringList{"grand.htm"});
        QVERIFY(opened_.empty());
        QVERIFY(!w->working());
        QCOMPARE(messages.identifiers().contains(MainWindow::kStopAndQuit), how == "close");
        if (how == "close") {
            QVERIFY(!w->isVisible());  // closed once the work had stopped
            return;
        }
        // Ready for the next page.
        QVERIFY(w->isVisible());
        acceptPageDialog(QStringLiteral("grand.htm"), false);
        w->createPage();
        QVERIFY(readAll(page).contains("i0399.png"));
        QCOMPARE(opened_, std::vector<std::string>{page});
    }

    // The close box during work asks; « Non » lets the work go on.
    void closingDuringWorkAsks() {
        const QString dir = imageFolder(tmp_.filePath("many"), 400);
        Answers messages;
        messages.answers[MainWindow::kStopAndQuit] = QMessageBox::No;
        prefs_.pathSave = folder("going-on").toStdString();
        messages.answers[createpage::kPageExists] = QMessageBox::Yes;
        prefs_.launch = 1;
        auto w = makeWindow();
        w->setDirectory(dir);
        w->selectFolderButton()->setChecked(true);
        acceptPageDialog(QStringLiteral("suite.htm"), false);
        whenProgressBoxOpens([&](QDialog*) { w->close(); });
        w->createPage();
        QCOMPARE(messages.identifiers().count(MainWindow::kStopAndQuit), 1);
        QCOMPARE(messages.messages.front().defaultButton, QMessageBox::No);
        QVERIFY(w->isVisible());
        QVERIFY(readAll(prefs_.pathSave + "/suite.htm").contains("i0399.png"));
    }

    // The preferences' OK reaches the settings file at once: a program
    // killed afterwards keeps them.
    void settingsSavedAtOk() {
        QTemporaryDir config;
        QVERIFY(config.isValid());
        platform::Registry registry(config.filePath("lumigal").toStdString());
        {
            std::optional<platform::RegistryKey> key;
            QCOMPARE(registry.createKey(kSettingsKey, key), platform::RegStatus::Ok);
        }
        QCOMPARE(SaveSettings(registry, prefs_, page_), 0);
        {
            // What only the installer writes.
            std::optional<platform::RegistryKey> key;
            QCOMPARE(registry.createKey(kSettingsKey, key), platform::RegStatus::Ok);
            QCOMPARE(key->setString("installPath", prefs_.installPath), platform::RegStatus::Ok);
            QCOMPARE(key->close(), platform::RegStatus::Ok);
        }
        auto w = makeWindow();
        w->setSettingsSaver([&] { SaveSettings(registry, prefs_, page_); });
        const QString chosen = folder("chosen");
        whenModalOpens([&](QWidget* modal) {
            QVERIFY(modal);
            edit(*modal, 1137)->setText(chosen);  // starting folder
            button(*modal, 1)->click();
        });
        w->findChild<QAction*>(QString::number(MainWindow::kPreferences))->trigger();
        QCOMPARE(QString::fromStdString(prefs_.pathLaunch), chosen);
        // Read back by another registry object, as the next run would.
        platform::Registry fresh(config.filePath("lumigal").toStdString());
        Preferences stored{};
        PageSettings storedPage{};
        std::string help, error;
        QVERIFY2(LoadSettings(fresh, stored, storedPage, help, &error) == 0, error.c_str());
        QCOMPARE(QString::fromStdString(stored.pathLaunch), chosen);
        QCOMPARE(saves_, 0);  // not by the end of the window
    }

    // Every button by Tab and by its mnemonic; a page made with the keys alone.
    void keyboardOnlyPageCreation() {
        const QString dir = folder("keys");
        writeImage(dir + "/clavier.png", Qt::red);
        MessageRecorder messages;
        prefs_.launch = 1;
        auto w = makeWindow();
        w->setDirectory(dir);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        // Tab goes through every button.
        QList<QWidget*> reached;
        w->fileNameBox()->setFocus();
        for (int i = 0; i < 60; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reached << QApplication::focusWidget();
        }
        for (QToolButton* b : {w->selectFolderButton(), w->selectTreeButton(), w->createPageButton(),
                               w->quitButton()})
            QVERIFY2(reached.contains(b), qPrintable(b->text()));
        QVERIFY(reached.contains(w->findChild<QToolButton*>(QString::number(MainWindow::kHelp))));
        // Mnemonics: Alt+D presses « Dossier », Alt+S « Sous-dossiers ».
        QTest::keyClick(w.get(), Qt::Key_D, Qt::AltModifier);
        QTRY_VERIFY(w->selectFolderButton()->isChecked());
        QTest::keyClick(w.get(), Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(w->selectTreeButton()->isChecked());
        QTest::keyClick(w.get(), Qt::Key_D, Qt::AltModifier);
        QTest::keyClick(w.get(), Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(!w->selectFolderButton()->isChecked() && !w->selectTreeButton()->isChecked());
        // Type the name, Alt+C, type the page name and Enter.
        w->fileNameBox()->setFocus();
        QTest::keyClicks(w->fileNameBox(), QStringLiteral("clavier.png"));
        // The name completion's list, open under the box, takes its own Escape.
        if (QCompleter* completion = w->fileNameBox()->completer();
            completion && completion->popup()->isVisible())
            QTest::keyClick(completion->popup(), Qt::Key_Escape);
        QVERIFY(w->isVisible());
        whenPageDialogOpens([](QWidget* modal) {
            QWidget* name = modal->findChild<QLineEdit*>(QStringLiteral("edit1136"));
            name->setFocus();
            QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(name, QStringLiteral("clavier.htm"));
            // Enter makes the page.
            QTest::keyClick(name, Qt::Key_Return);
        });
        QTest::keyClick(w.get(), Qt::Key_C, Qt::AltModifier);
        const std::string page = prefs_.pathSave + "/clavier.htm";
        QTRY_VERIFY_WITH_TIMEOUT(opened_.size() == 1, 10000);
        QCOMPARE(opened_.front(), page);
        QVERIFY(readAll(page).contains("clavier.png"));
        QVERIFY(messages.messages.isEmpty());
        // « Créer » in the menu too, and Alt+Q quits.
        QVERIFY(w->findChild<QAction*>(QString::number(MainWindow::kCreatePage)));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w.get(), Qt::Key_Q, Qt::AltModifier);
        QTRY_VERIFY(!w->isVisible());
    }

    // A later copy's call brings the window back from the task bar.
    void callFromASecondCopyRaisesTheWindow() {
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        const QString socket = runningCopySocketPath(runtime.path().toStdString());
        auto w = makeWindow();
        RunningCopyListener listener(socket);
        QVERIFY(listener.listening());
        QObject::connect(&listener, &RunningCopyListener::called, w.get(),
                         &MainWindow::bringToFront);
        w->showMinimized();
        QTRY_VERIFY(w->isMinimized());
        QVERIFY(callRunningCopy(socket, 5000));
        QTRY_VERIFY(!w->isMinimized());
        QVERIFY(w->isVisible());
        // Nobody listening: the call gives up.
        QVERIFY(!callRunningCopy(runtime.filePath("absent.socket"), 200));
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
        QCOMPARE(browser.titles, QStringList{"Choix du dossier d'accueil des pages HTML"});
        browser.answer.reset();
        w->findChild<QToolButton*>(QStringLiteral("1320"))->click();
        QCOMPARE(w->destinationField()->text(), QStringLiteral("/srv/web"));
    }

    // What the desktop's opener gets has no fragment to drop: a page of the
    // user's that sends the browser to the manual's section, which exists.
    void helpReachesItsSection_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("context");
        QTest::newRow("F1 on the destination") << "F1" << int(MainWindow::kDestinationHelpContext);
        QTest::newRow("« Aide » button") << "button" << 0;
        QTest::newRow("menu") << "menu" << 0;
    }
    void helpReachesItsSection() {
        QFETCH(QString, how);
        QFETCH(int, context);
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        QList<QUrl> handed;
        setUrlOpener([&](const QUrl& url) {
            handed << url;
            return true;
        });
        const QString manual = QStringLiteral(LUMIGAL_MANUAL);
        {
            auto w = std::make_unique<MainWindow>(prefs_, page_, manual.toStdString(),
                                                  [] {});
            w->show();
            if (how == "F1") {
                w->destinationField()->setFocus();
                QTest::keyClick(w->destinationField(), Qt::Key_F1);
            }
            if (how == "button")
                w->findChild<QToolButton*>(QString::number(MainWindow::kHelp))->click();
            if (how == "menu")
                w->findChild<QAction*>(QString::number(MainWindow::kHelp))->trigger();
        }
        setUrlOpener({});
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
        QCOMPARE(handed.size(), 1);
        const QUrl url = handed.front();
        QVERIFY(url.isLocalFile());
        QVERIFY(!url.hasFragment());
        QCOMPARE(QFileInfo(url.toLocalFile()).absolutePath(), runtime.path());
        const QString redirect = QString::fromUtf8(readAll(url.toLocalFile().toStdString()));
        QUrl target = QUrl::fromLocalFile(manual);
        target.setFragment(QString::number(context));
        const QString expected = target.toString(QUrl::FullyEncoded).toHtmlEscaped();
        QVERIFY2(redirect.contains(QStringLiteral("content=\"0; url=%1\"").arg(expected)),
                 qPrintable(redirect));
        QVERIFY(redirect.contains(QStringLiteral("href=\"%1\"").arg(expected)));
        QVERIFY(readAll(manual.toStdString())
                    .contains(QStringLiteral("id=\"%1\"").arg(context).toUtf8()));
    }

};

QTEST_MAIN(TestPageRuns)
#include "page_runs_test.moc"
