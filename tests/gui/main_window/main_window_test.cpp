// The main window and its create-page command, offscreen: the initial
// state, the refusal to confirm, each message of the command, the quoted
// multiple selection, the scans, two pages in a row, the saving at the end
// and after a dialog's OK, the work in the background and its cancelling,
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
// with Rejected if it is still open. The watch ends with the dialog; the
// caller may end it sooner (the dialog never came) by deleting it.
QPointer<QTimer> whenPageDialogOpens(std::function<void(QWidget*)> inspect) {
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

void writeBytes(const std::string& path, const QByteArray& data) {
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
void whenProgressBoxOpens(std::function<void(QDialog*)> act) {
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
QString imageFolder(const QString& path, int count) {
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
        installFrenchTranslations();
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
        QCOMPARE(w->nameFilters().size(), 12);
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
        QVERIFY(!MainWindow::formatsForType(13, unchanged));
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
