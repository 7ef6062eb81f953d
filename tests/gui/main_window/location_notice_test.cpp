// What the window tells once a portable album is written: how many copies
// lost where they were taken, in the notice that the page is written or in
// a box of its own before the browser opens.
#include <QBuffer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "album/settings.h"
#include "imaging/image_library.h"
#include "main_window/create_page_command.h"
#include "main_window/main_window.h"
#include "test_support/dialog_test_support.h"

using namespace lumigal;
using namespace lumigal::test;

namespace {

// A JPEG whose EXIF names a place (a GPS latitude reference).
QByteArray jpegWithPlace(Qt::GlobalColor colour) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    const auto u16 = [&](unsigned v) {
        tiff += char(v & 0xff);
        tiff += char(v >> 8);
    };
    const auto u32 = [&](unsigned v) { u16(v & 0xffff); u16(v >> 16); };
    u16(1);  // IFD0: the GPS pointer
    u16(0x8825); u16(4); u32(1); u32(26);
    u32(0);
    u16(1);  // GPS IFD at 26: GPSLatitudeRef "N"
    u16(0x0001); u16(2); u32(2); u32('N');
    u32(0);
    const QByteArray body = QByteArray("Exif\0\0", 6) + tiff;
    const int length = body.size() + 2;
    const QByteArray app1 = QByteArray("\xff\xe1") + char(length >> 8) + char(length & 0xff) + body;
    return jpeg.left(2) + app1 + jpeg.mid(2);
}

void write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Presses OK in the page dialog as soon as it is the modal window.
void acceptPageDialog(const QString& fileName) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, fileName] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->findChild<QLineEdit*>(QStringLiteral("edit1136"))) return;
        timer->stop();
        timer->deleteLater();
        dialog->findChild<QLineEdit*>(QStringLiteral("edit1136"))->setText(fileName);
        dialog->findChild<QPushButton*>(QStringLiteral("button1"))->click();
    });
    timer->start();
}

}  // namespace

class TestLocationNotice : public QObject {
    Q_OBJECT
    QTemporaryDir tmp_;

private slots:
    void initTestCase() {
        lumigal::startImageLibrary();
        quietOffscreenWarnings();
        QVERIFY(tmp_.isValid());
        createpage::setPageOpener([](const std::string&) {});
    }
    void cleanupTestCase() { createpage::setPageOpener({}); }

    void sentence_data() {
        QTest::addColumn<int>("copies");
        QTest::addColumn<QString>("line");
        QTest::newRow("none") << 0 << QString();
        QTest::newRow("one") << 1 << QStringLiteral("Lieu de prise de vue retiré d'une copie.");
        QTest::newRow("three") << 3 << QStringLiteral("Lieu de prise de vue retiré de 3 copies.");
    }
    void sentence() {
        QFETCH(int, copies);
        QTEST(createpage::locationsRemovedLine(copies), "line");
    }

    void toldAfterTheAlbumIsWritten_data() {
        QTest::addColumn<quint32>("keepLocation");
        QTest::addColumn<quint32>("launch");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("told");
        QTest::newRow("browser opened: a box of its own")
            << 0u << 1u << QStringList{createpage::kLocationsRemoved} << true;
        QTest::newRow("no browser: in the written notice")
            << 0u << 0u << QStringList{createpage::kPageWritten} << true;
        QTest::newRow("locations kept: nothing said") << 1u << 1u << QStringList{} << false;
    }
    void toldAfterTheAlbumIsWritten() {
        QFETCH(quint32, keepLocation);
        QFETCH(quint32, launch);
        QFETCH(bool, told);
        const QString name = QString::fromLatin1(QTest::currentDataTag()).left(8).remove(' ');
        const QString source = tmp_.filePath(name + "/photos");
        const QString pages = tmp_.filePath(name + "/album");
        QVERIFY(QDir().mkpath(source) && QDir().mkpath(pages));
        write(source + "/a.jpg", jpegWithPlace(Qt::red));
        write(source + "/b.jpg", jpegWithPlace(Qt::blue));
        QImage plain(20, 20, QImage::Format_RGB32);
        plain.fill(Qt::green);
        QVERIFY(plain.save(source + "/c.png"));

        Preferences prefs;
        PageSettings page;
        initialSettings(prefs, page, tmp_.path().toStdString());
        prefs.pathLaunch = source.toStdString();
        prefs.pathSave = pages.toStdString();
        prefs.pathThumbnail = tmp_.filePath(name + "/thumbs").toStdString();
        prefs.bip = 0;
        prefs.launch = launch;
        page.portable = 1;
        page.keepLocation = keepLocation;
        MessageRecorder messages;
        auto w = std::make_unique<MainWindow>(prefs, page, std::string("/nowhere/Lumigal.html"),
                                              [] {});
        w->show();
        w->setDirectory(source);
        w->selectFolderButton()->setChecked(true);
        acceptPageDialog(QStringLiteral("album.htm"));
        w->createPage();
        QVERIFY(QFile::exists(pages + "/album.htm"));
        QTEST(messages.identifiers(), "boxes");
        const QString sentence = QStringLiteral("Lieu de prise de vue retiré de 2 copies.");
        QCOMPARE(!messages.messages.isEmpty() && messages.messages.last().text.contains(sentence),
                 told);
    }
};

QTEST_MAIN(TestLocationNotice)
#include "location_notice_test.moc"
