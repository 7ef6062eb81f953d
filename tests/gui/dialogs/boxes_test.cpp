// The progress, wait and about boxes, the first two also as the observers
// of a real page generation and a real folder scan.
#include <QDir>
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
#include "dialogs/system_version.h"
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

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

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
    void workBoxesCannotBeClosedByTheUser();
    void waitBoxOpens();
    void waitBoxDuringARealScan();
    void aboutBoxTexts();
    void aboutBoxAlwaysReturnsOne_data();
    void aboutBoxAlwaysReturnsOne();
    void systemVersionLine_data();
    void systemVersionLine();
    void kernelRelease_data();
    void kernelRelease();
    void runningSystemIsNamed();
};

void TestBoxes::progressBoxOpens() {
    QWidget owner;
    owner.show();
    PaintCounter ownerPaints(&owner);
    ProgressBox box(&owner);
    QVERIFY(ownerPaints.paints > 0);  // the owner was repainted first
    QVERIFY(box.isVisible());
    QVERIFY(!box.isModal());
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
    PaintCounter labelPaints(label);
    PaintCounter barPaints(bar(box));

    observer.started(3);
    QVERIFY(label->isVisible());
    QCOMPARE(bar(box)->maximum(), 3);

    const int paintsBefore = labelPaints.paints;
    observer.setLabel("/photos/été/a.png");
    QCOMPARE(label->text(), QStringLiteral("/photos/été/a.png"));
    QVERIFY(labelPaints.paints > paintsBefore);  // repainted at once, no event loop ran

    const int barPaintsBefore = barPaints.paints;
    observer.setPosition(2);
    QCOMPARE(bar(box)->value(), 2);
    QVERIFY(barPaints.paints > barPaintsBefore);

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
    // The wait box's buttons do nothing.
    for (int id : {1, 2}) QVERIFY(!control<QPushButton>(wait, "button", id)->isEnabled());
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

    // Every call shows the count and the path, repainted at once.
    class Recorder : public WaitBox {
    public:
        QStringList lines;
        void fileAdded(const std::string& path, int count) override {
            auto* label = findChild<QLabel*>(QStringLiteral("static1328"));
            PaintCounter paints(label);
            WaitBox::fileAdded(path, count);
            lines << label->text() + QLatin1Char(' ') +
                         findChild<ElidedLabel*>(QStringLiteral("static1329"))->text();
            if (paints.paints == 0) lines << QStringLiteral("not repainted");
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
    SystemVersion version{"Linux", 6, 1, 0, "18-amd64"};
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
    AboutBox box(SystemVersion{"Linux", 6, 1, 0, ""});
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

void TestBoxes::systemVersionLine_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<uint>("major");
    QTest::addColumn<uint>("minor");
    QTest::addColumn<uint>("build");
    QTest::addColumn<QString>("servicePack");
    QTest::addColumn<QString>("line");
    QTest::newRow("NT 4.0 with its build and service pack")
        << "Windows" << 4u << 0u << 1381u << "Service Pack 6"
        << "Windows 4.0 Build 1381 Service Pack 6";
    QTest::newRow("5.0 has no build") << "Windows" << 5u << 0u << 2195u << "Service Pack 1"
                                      << "Windows 5.0";
    QTest::newRow("4.10 has no build") << "Windows" << 4u << 10u << 1998u << ""
                                       << "Windows 4.10";
    QTest::newRow("Linux 6.1") << "Linux" << 6u << 1u << 0u << "18-amd64"
                               << "Linux 6.1";
    QTest::newRow("Linux 4.0 follows the same rule") << "Linux" << 4u << 0u << 9u << "rc1"
                                                     << "Linux 4.0 Build 9 rc1";
}

void TestBoxes::systemVersionLine() {
    QFETCH(QString, name);
    QFETCH(uint, major);
    QFETCH(uint, minor);
    QFETCH(uint, build);
    QFETCH(QString, servicePack);
    QFETCH(QString, line);
    const SystemVersion version{name.toStdString(), major, minor, build, servicePack.toStdString()};
    QCOMPARE(QString::fromStdString(lumigal::systemVersionLine(version)), line);
}

void TestBoxes::kernelRelease_data() {
    QTest::addColumn<QString>("release");
    QTest::addColumn<uint>("major");
    QTest::addColumn<uint>("minor");
    QTest::addColumn<uint>("build");
    QTest::addColumn<QString>("rest");
    QTest::newRow("Debian") << "6.1.0-18-amd64" << 6u << 1u << 0u << "18-amd64";
    QTest::newRow("two numbers") << "6.18-custom" << 6u << 18u << 0u << "custom";
    QTest::newRow("plain") << "5.15.133" << 5u << 15u << 133u << "";
    QTest::newRow("empty") << "" << 0u << 0u << 0u << "";
    QTest::newRow("garbage") << "abc" << 0u << 0u << 0u << "abc";
    QTest::newRow("huge number stays bounded")
        << "99999999999999.2" << 999999999u << 0u << 0u << "99999.2";
}

void TestBoxes::kernelRelease() {
    QFETCH(QString, release);
    QFETCH(uint, major);
    QFETCH(uint, minor);
    QFETCH(uint, build);
    QFETCH(QString, rest);
    const SystemVersion version = parseKernelRelease("Linux", release.toStdString());
    QCOMPARE(version.name, std::string("Linux"));
    QCOMPARE(version.major, major);
    QCOMPARE(version.minor, minor);
    QCOMPARE(version.build, build);
    QCOMPARE(QString::fromStdString(version.servicePack), rest);
}

void TestBoxes::runningSystemIsNamed() {
    const SystemVersion version = runningSystemVersion();
    const QStringList numbers = QSysInfo::kernelVersion().split(QLatin1Char('.'));
    QVERIFY(numbers.size() >= 2);
    QCOMPARE(QString::fromStdString(version.name), QStringLiteral("Linux"));
    QCOMPARE(version.major, numbers[0].toUInt());
    QCOMPARE(QString::fromStdString(lumigal::systemVersionLine(version)),
             QStringLiteral("Linux %1.%2").arg(numbers[0]).arg(version.minor));
}

QTEST_MAIN(TestBoxes)
#include "boxes_test.moc"
