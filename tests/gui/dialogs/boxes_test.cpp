// The progress, wait and about boxes, the first two also as the observers
// of a real page generation and a real folder scan, and « Annuler » stopping
// both.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "album/page_writer.h"
#include "common/selected_files.h"
#include "imaging/image_library.h"
#include "test_support/dialog_test_support.h"
#include "dialogs/about_box.h"
#include "dialogs/elided_label.h"
#include "dialogs/progress_box.h"
#include "platform/system_version.h"
#include "dialogs/wait_box.h"
#include "selection/folder_scan.h"

using namespace lumigal;
using namespace lumigal::test;

namespace {

QProgressBar* bar(QWidget& box) { return control<QProgressBar>(box, "progress", 1262); }
QString text(QWidget& box, int id) {
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("static%1").arg(id)))
        return label->text();
    return control<ElidedLabel>(box, "static", id)->text();
}

void writeImage(const QString& path, const QColor& colour) {
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path, "PNG"));
}

}  // namespace

class TestBoxes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        quietOffscreenWarnings();
        lumigal::startImageLibrary();  // as the program's main does
    }
    void progressBoxOpens();
    void progressBoxFollowsTheObserverCalls();
    void progressBoxDuringARealGeneration();
    void progressBoxReportsAPageThatCannotBeWritten();
    void progressBoxTimeLeft_data();
    void progressBoxTimeLeft();
    void cancelKeepsThePreviousPage_data();
    void cancelKeepsThePreviousPage();
    void cancelStopsTheScan();
    void workBoxesCannotBeClosedByTheUser();
    void waitBoxOpens();
    void waitBoxDuringARealScan();
    void aboutBoxTexts();
    void aboutBoxAlwaysReturnsOne_data();
    void aboutBoxAlwaysReturnsOne();
};

void TestBoxes::progressBoxOpens() {
    QWidget owner;
    owner.show();
    ProgressBox box(&owner);
    QVERIFY(box.isVisible());
    // The owner takes no input while the work runs; « Annuler » is offered.
    QCOMPARE(box.windowModality(), Qt::WindowModal);
    QCOMPARE(control<QPushButton>(box, "button", 2)->text(), QStringLiteral("&Annuler"));
    QVERIFY(control<QPushButton>(box, "button", 2)->isEnabled());
    QVERIFY(!box.cancelled());
    QCOMPARE(box.windowTitle(), QStringLiteral("Lumigal"));
    QCOMPARE(text(box, 1328), QStringLiteral("Merci de patienter quelques instants..."));
    QVERIFY(!control<ElidedLabel>(box, "static", 233)->isVisible());
    QCOMPARE(bar(box)->minimum(), 0);
    QCOMPARE(bar(box)->maximum(), 100);
    QCOMPARE(bar(box)->value(), 0);
    const QRect screen = box.screen()->geometry();
    QCOMPARE(box.pos(), centredPosition(screen, box.frameGeometry().size(), 0));

    box.setRange(3);
    QCOMPARE(bar(box)->maximum(), 3);
    QCOMPARE(bar(box)->value(), 0);
}

void TestBoxes::progressBoxFollowsTheObserverCalls() {
    ProgressBox box;
    box.setRange(3);
    ProgressObserver& observer = box;
    auto* label = control<ElidedLabel>(box, "static", 233);

    observer.started(3);
    QVERIFY(label->isVisible());
    QCOMPARE(bar(box)->maximum(), 3);
    QCOMPARE(control<QLabel>(box, "static", 1330)->text(), QStringLiteral("Image 0 sur 3"));

    observer.setLabel("/photos/été/a.png");
    QCOMPARE(label->text(), QStringLiteral("/photos/été/a.png"));

    observer.setPosition(1);
    QCOMPARE(bar(box)->value(), 1);
    QCOMPARE(control<QLabel>(box, "static", 1330)->text(), QStringLiteral("Image 2 sur 3"));
    QVERIFY(control<QLabel>(box, "static", 1331)->text().startsWith(
        QStringLiteral("Temps restant : environ ")));

    observer.imageFailed("/photos/b.png", "illisible");
    QCOMPARE(box.imageFailures().size(), std::size_t(1));
    QCOMPARE(box.imageFailures()[0].path, std::string("/photos/b.png"));
    QCOMPARE(box.imageFailures()[0].reason, std::string("illisible"));
}

void TestBoxes::progressBoxDuringARealGeneration() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    SelectedFileList files;
    for (const char* name : {"c.png", "a.png", "b.png"}) {
        const QString path = folder.filePath(QString::fromLatin1(name));
        writeImage(path, Qt::blue);
        files.add(path.toStdString());
    }
    const QString broken = folder.filePath(QStringLiteral("broken.png"));
    {
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not an image at all");
    }
    files.add(broken.toStdString());

    PageSettings page;
    page.pagePath = folder.filePath(QStringLiteral("page.htm")).toStdString();
    page.pageTitle = "Lumigal";
    page.tri = 1;
    Preferences prefs;
    MessageRecorder messages;
    ProgressBox box;
    box.setRange(files.selectedFileCount());

    QCOMPARE(GenerateAlbumPage(files.selectedFileCount(), page, prefs, files, box), 0);
    QVERIFY(messages.messages.isEmpty());
    QVERIFY(control<ElidedLabel>(box, "static", 233)->isVisible());
    // Sorted order: a, b, broken, c. The bar ends on the last index.
    QCOMPARE(control<ElidedLabel>(box, "static", 233)->text(),
             folder.filePath(QStringLiteral("c.png")));
    QCOMPARE(bar(box)->maximum(), 4);
    QCOMPARE(bar(box)->value(), 3);
    QCOMPARE(box.imageFailures().size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(box.imageFailures()[0].path), broken);
}

void TestBoxes::progressBoxReportsAPageThatCannotBeWritten() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    SelectedFileList files;
    files.add(folder.filePath(QStringLiteral("a.png")).toStdString());
    PageSettings page;
    page.pagePath = folder.filePath(QStringLiteral("missing/page.htm")).toStdString();
    Preferences prefs;
    MessageRecorder messages;
    QWidget owner;
    ProgressBox box(&owner);

    QCOMPARE(GenerateAlbumPage(1, page, prefs, files, box), 1);
    QCOMPARE(messages.identifiers(), QStringList{ProgressBox::kPageFailed});
    QCOMPARE(
        messages.messages.first().text,
        QStringLiteral("Impossible de créer %1 : dossier introuvable")
            .arg(QString::fromStdString(page.pagePath)));
    QCOMPARE(messages.messages.first().icon, QMessageBox::Critical);
    QCOMPARE(messages.messages.first().caption, QStringLiteral("Lumigal"));
}

void TestBoxes::progressBoxTimeLeft_data() {
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<int>("done");
    QTest::addColumn<int>("total");
    QTest::addColumn<QString>("line");
    QTest::newRow("nothing done yet") << qint64(5000) << 0 << 300 << QString();
    QTest::newRow("all done") << qint64(9000) << 300 << 300 << "Temps restant : environ 0 s";
    QTest::newRow("rounded up") << qint64(1001) << 1 << 2 << "Temps restant : environ 2 s";
    QTest::newRow("minutes") << qint64(2000) << 10 << 310 << "Temps restant : environ 1 min 00 s";
    QTest::newRow("minutes and seconds")
        << qint64(500) << 1 << 300 << "Temps restant : environ 2 min 30 s";
    QTest::newRow("hours") << qint64(10000) << 1 << 400 << "Temps restant : environ 1 h 06 min";
}

void TestBoxes::progressBoxTimeLeft() {
    QFETCH(qint64, elapsedMs);
    QFETCH(int, done);
    QFETCH(int, total);
    QFETCH(QString, line);
    QCOMPARE(ProgressBox::timeLeftLine(elapsedMs, done, total), line);
}

namespace {
// A progress box whose « Annuler » is pressed once image `stopAt` is done.
class StoppingBox : public ProgressBox {
public:
    explicit StoppingBox(int stopAt) : stopAt_(stopAt) {}
    void setPosition(int index) override {
        ProgressBox::setPosition(index);
        if (index == stopAt_) control<QPushButton>(*this, "button", 2)->click();
    }
    int stopAt_;
};

}  // namespace

void TestBoxes::cancelKeepsThePreviousPage_data() {
    QTest::addColumn<int>("mode");  // 0 thumbnails, 1 details, 2 plain
    QTest::addColumn<int>("workers");
    QTest::newRow("thumbnails, one worker") << 0 << 1;
    QTest::newRow("thumbnails, two workers") << 0 << 2;
    QTest::newRow("details") << 1 << 1;
    QTest::newRow("plain") << 2 << 1;
}

void TestBoxes::cancelKeepsThePreviousPage() {
    QFETCH(int, mode);
    QFETCH(int, workers);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString images = folder.filePath(QStringLiteral("images"));
    const QString thumbs = folder.filePath(QStringLiteral("vignettes"));
    QVERIFY(QDir().mkpath(images) && QDir().mkpath(thumbs));
    SelectedFileList files;
    for (int i = 0; i < 6; ++i) {
        const QString path = QStringLiteral("%1/i%2.png").arg(images).arg(i);
        writeImage(path, QColor::fromHsv(i * 50, 200, 200));
        files.add(path.toStdString());
    }
    PageSettings page;
    page.pagePath = folder.filePath(QStringLiteral("page.htm")).toStdString();
    page.pageTitle = "Lumigal";
    page.thumbnail = mode == 0 ? 1 : 0;
    page.details = mode == 1 ? 1 : 0;
    page.width = 4;
    page.height = 3;
    Preferences prefs;
    prefs.pathThumbnail = thumbs.toStdString();
    const QByteArray previous = "<html>la page d'avant</html>";
    {
        QFile old(QString::fromStdString(page.pagePath));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(previous);
    }
    MessageRecorder messages;
    StoppingBox box(1);
    box.setRange(files.selectedFileCount());
    AlbumRunOptions run;
    run.workers = workers;

    QCOMPARE(GenerateAlbumPage(files.selectedFileCount(), page, prefs, files, box, run), 2);
    QVERIFY(box.cancelled());
    QVERIFY(!control<QPushButton>(box, "button", 2)->isEnabled());
    QVERIFY(messages.messages.isEmpty());
    QFile kept(QString::fromStdString(page.pagePath));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), previous);
    QCOMPARE(filesIn(folder.path()), QStringList{"page.htm"});  // no temporary left
    QVERIFY(bar(box)->value() < files.selectedFileCount() - 1);
    if (mode != 0) return;
    // The thumbnails made stay, each named in the record as ours.
    const QStringList made = filesIn(thumbs);
    QVERIFY(made.contains(QStringLiteral(".lumigal-vignettes")));
    QFile record(thumbs + QStringLiteral("/.lumigal-vignettes"));
    QVERIFY(record.open(QIODevice::ReadOnly));
    const QByteArray recorded = record.readAll();
    QVERIFY(made.size() >= 3);  // two thumbnails at least, and the record
    for (const QString& name : made)
        if (!name.startsWith(QLatin1Char('.'))) QVERIFY2(recorded.contains(name.toUtf8()), qPrintable(name));
}

void TestBoxes::cancelStopsTheScan() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    for (const char* name : {"a.jpg", "b.gif", "c.png", "d.png"}) {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    class StoppingWaitBox : public WaitBox {
    public:
        void fileAdded(const std::string& path, int count) override {
            WaitBox::fileAdded(path, count);
            if (count == 2) control<QPushButton>(*this, "button", 2)->click();
        }
    };
    for (bool tree : {false, true}) {
        StoppingWaitBox box;
        SelectedFileList list;
        const std::string top = folder.path().toStdString();
        if (tree) {
            ScanFolderTree(&box, top, ScanFormats{}, list);
        } else {
            ScanFolder(&box, top, ScanFormats{}, list);
        }
        QVERIFY(box.cancelled());
        QCOMPARE(list.selectedFileCount(), 2);
    }
}

void TestBoxes::workBoxesCannotBeClosedByTheUser() {
    ProgressBox progress;
    WaitBox wait;
    for (QDialog* box : {static_cast<QDialog*>(&progress), static_cast<QDialog*>(&wait)}) {
        QTest::keyClick(box, Qt::Key_Escape);
        QVERIFY(box->isVisible());
        QVERIFY(!box->close());
        QVERIFY(box->isVisible());
        QVERIFY(!(box->windowFlags() & Qt::WindowCloseButtonHint));
    }
    // The wait box has nothing to confirm; « Annuler » is there to stop.
    QVERIFY(!control<QPushButton>(wait, "button", 1)->isEnabled());
    QVERIFY(control<QPushButton>(wait, "button", 2)->isEnabled());
}

void TestBoxes::waitBoxOpens() {
    WaitBox box;
    QVERIFY(box.isVisible());
    QCOMPARE(box.windowTitle(), QStringLiteral("Lumigal"));
    QCOMPARE(text(box, 233), QStringLiteral("Recherche en cours..."));
    QCOMPARE(text(box, 1328), QStringLiteral("Merci de patienter quelques instants..."));
    QCOMPARE(text(box, 1329), QString());
    const QRect screen = box.screen()->geometry();
    QCOMPARE(box.pos(), centredPosition(screen, box.frameGeometry().size(), 0));
}

void TestBoxes::waitBoxDuringARealScan() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    for (const char* name : {"un.jpg", "deux.gif", "notes.txt", "trois.png"}) {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    // Every call shows the count and the path.
    class Recorder : public WaitBox {
    public:
        QStringList lines;
        void fileAdded(const std::string& path, int count) override {
            auto* label = findChild<QLabel*>(QStringLiteral("static1328"));
            WaitBox::fileAdded(path, count);
            lines << label->text() + QLatin1Char(' ') +
                         findChild<ElidedLabel*>(QStringLiteral("static1329"))->text();
        }
    } box;

    SelectedFileList list;
    const int found = ScanFolder(&box, folder.path().toStdString(), ScanFormats{}, list);
    QCOMPARE(found, 3);
    QCOMPARE(box.lines.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QString path = QString::fromStdString(list.selectedFiles()[std::size_t(i)]);
        QCOMPARE(box.lines[i], QStringLiteral("Fichier #%1 %2").arg(i + 1).arg(path));
    }
    QCOMPARE(WaitBox::countLine(12), QStringLiteral("Fichier #12"));
}

void TestBoxes::aboutBoxTexts() {
    platform::SystemVersion version{"Linux", 6, 1, 0, "18-amd64"};
    AboutBox box(version);
    box.show();
    QCOMPARE(box.windowTitle(), QStringLiteral("Lumigal"));
    QCOMPARE(
        text(box, 202),
        QStringLiteral("Visualisation de fichiers graphiques pour le Web pour Windows 9x, 2000 "
                       "et Windows NT\nVersion 1.16 - Mars 2000"));
    QCOMPARE(text(box, 1291), QStringLiteral("Linux 6.1"));
    QVERIFY(box.findChild<QGroupBox*>() != nullptr);
    QCOMPARE(box.findChild<QGroupBox*>()->title(), QStringLiteral("Contacts"));
    const QRect screen = box.screen()->geometry();
    QCOMPARE(box.pos(), centredPosition(screen, box.frameGeometry().size(), 0));
}

void TestBoxes::aboutBoxAlwaysReturnsOne_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("OK") << 0;
    QTest::newRow("Escape") << 1;
    QTest::newRow("close box") << 2;
}

void TestBoxes::aboutBoxAlwaysReturnsOne() {
    QFETCH(int, how);
    AboutBox box(platform::SystemVersion{"Linux", 6, 1, 0, ""});
    whenModalOpens(
        [how](QWidget* modal) {
            QVERIFY(qobject_cast<AboutBox*>(modal) != nullptr);
            if (how == 0) control<QPushButton>(*modal, "button", 1)->click();
            if (how == 1) QTest::keyClick(modal, Qt::Key_Escape);
            if (how == 2) modal->close();
        },
        0);  // would give 0 if the box had not closed itself
    QCOMPARE(box.exec(), 1);
}

QTEST_MAIN(TestBoxes)
#include "boxes_test.moc"
