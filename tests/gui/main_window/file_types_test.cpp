// The file types of the main window: the type to choose for the images a
// folder holds, and the "nothing found" message that names it when the
// chosen type leaves every image of the folder out.
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "album/settings.h"
#include "main_window/main_window.h"
#include "test_support/dialog_test_support.h"

using namespace lumigal;
using namespace lumigal::test;

namespace {

ScanFormats only(std::initializer_list<bool ScanFormats::*> families) {
    ScanFormats formats{false, false, false, false, false, false, false, false, false, false};
    for (bool ScanFormats::*family : families) formats.*family = true;
    return formats;
}

}  // namespace

class TestFileTypes : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { quietOffscreenWarnings(); }

    void familiesAndTheTypeToChoose() {
        using S = ScanFormats;
        struct Case {
            std::vector<std::string> paths;
            ScanFormats families;
            const char* type;
        };
        const Case cases[] = {
            {{"/p/a.HEIC", "/p/b.heif"}, only({&S::heic}), "HEIC HEIF - High Efficiency Image File"},
            {{"/p/a.tif", "/p/x.y/b.tiff"}, only({&S::tiff}), "TIF TIFF - Tagged Image File Format"},
            {{"/p/a.webp", "/p/b.heic"}, only({&S::webp, &S::heic}),
             "Images récentes (AVIF, HEIC, WEBP)"},
            {{"/p/a.heic", "/p/b.jpg"}, only({&S::heic, &S::jpeg}),
             "Tous (BMP, DIB, GIF, JPEG, PNG, XBM, WebP, HEIC, AVIF, TIFF)"},
            {{"/p/a.jpeg"}, only({&S::jpeg}), "JPE JPG JPEG - Joint Photographic Experts Group"},
        };
        // The video types take videos (and images only for the second).
        ScanFormats videos, both;
        QVERIFY(MainWindow::formatsForType(13, videos) && MainWindow::formatsForType(14, both));
        QVERIFY(videos.videos.mp4 && videos.videos.avi && !videos.jpeg && !videos.heic);
        QVERIFY(both.videos.mov && both.videos.webm && both.jpeg && both.tiff);
        ScanFormats first;
        QVERIFY(MainWindow::formatsForType(1, first) && !first.videos.any());
        QCOMPARE(MainWindow::fileTypeTexts().at(12), QStringLiteral("Vidéos (MP4, MOV, M4V, 3GP, WebM, MKV, AVI)"));
        for (const Case& c : cases) {
            const ScanFormats found = MainWindow::familiesOf(c.paths);
            QVERIFY(found.heic == c.families.heic && found.tiff == c.families.tiff &&
                    found.webp == c.families.webp && found.jpeg == c.families.jpeg &&
                    found.png == c.families.png && found.bmp == c.families.bmp);
            QCOMPARE(MainWindow::typeToChoose(found), QString::fromUtf8(c.type));
        }
    }

    // Phone photos under a type that leaves them out: the message says how
    // many there are and which type takes them; under the first type they
    // are found.
    void nothingFoundNamesTheType_data() {
        QTest::addColumn<int>("type");  // index in the list, from 0
        QTest::addColumn<QString>("message");
        QTest::newRow("PNG chosen")
            << 5
            << QStringLiteral("Aucun fichier trouvé...\n\n3 images du dossier ne sont pas du type "
                              "de fichiers choisi : pour les prendre, choisissez le type « Tous "
                              "(BMP, DIB, GIF, JPEG, PNG, XBM, WebP, HEIC, AVIF, TIFF) ».");
        QTest::newRow("the first type") << 0 << QString();
    }
    void nothingFoundNamesTheType() {
        QFETCH(int, type);
        QFETCH(QString, message);
        QTemporaryDir dir;
        for (const char* name : {"IMG_0001.HEIC", "IMG_0002.heic", "scan.tif", "notes.txt"}) {
            QFile file(dir.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("not an image");
        }
        Preferences prefs;
        PageSettings page;
        initialSettings(prefs, page, dir.path().toStdString());
        prefs.pathLaunch = prefs.pathSave = dir.path().toStdString();
        MainWindow w(prefs, page, "", [] {});
        w.show();
        auto* types = w.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        types->setCurrentIndex(type);
        emit types->activated(type);
        w.selectFolderButton()->setChecked(true);
        MessageRecorder messages;
        bool dialogOpened = false;
        QTimer poll;  // the page dialog, once the wait box has gone
        connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->findChild<QLineEdit*>(QStringLiteral("edit1136"))) return;
            dialogOpened = true;
            dialog->reject();
        });
        poll.start(5);
        w.createPage();
        if (message.isEmpty()) {
            QVERIFY(dialogOpened);  // three files found: the page dialog came
            QVERIFY(messages.messages.isEmpty());
            // Cancelled: « Dossier » is up again for the next command.
            QVERIFY(!w.selectFolderButton()->isChecked());
        } else {
            QCOMPARE(messages.identifiers(), QStringList{QStringLiteral("nothingFound")});
            QCOMPARE(messages.messages.front().text, message);
        }
    }

    // A folder whose images are all in its sub-folders: « Dossier » says
    // where they are, and a gallery (which takes the tree) finds them.
    void imagesOnlyInSubFoldersAreFound_data() {
        QTest::addColumn<quint32>("gallery");
        QTest::addColumn<bool>("dialogOpens");
        QTest::newRow("single page: the message names the way") << 0u << false;
        QTest::newRow("gallery: the tree is taken") << 1u << true;
    }
    void imagesOnlyInSubFoldersAreFound() {
        QFETCH(quint32, gallery);
        QFETCH(bool, dialogOpens);
        QTemporaryDir dir;
        for (const char* name : {"2024/a.png", "2024/b.png", "2025/c.png"}) {
            const QString path = dir.filePath(QString::fromLatin1(name));
            QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
            QVERIFY(QImage(4, 4, QImage::Format_RGB32).save(path));
        }
        Preferences prefs;
        PageSettings page;
        initialSettings(prefs, page, dir.path().toStdString());
        prefs.pathLaunch = prefs.pathSave = dir.path().toStdString();
        page.gallery = gallery;
        MainWindow w(prefs, page, "", [] {});
        w.show();
        w.selectFolderButton()->setChecked(true);
        MessageRecorder messages;
        bool dialogOpened = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->findChild<QLineEdit*>(QStringLiteral("edit1136"))) return;
            dialogOpened = true;
            dialog->reject();
        });
        poll.start(5);
        w.createPage();
        QCOMPARE(dialogOpened, dialogOpens);
        if (dialogOpens) {
            QVERIFY(messages.messages.isEmpty());
        } else {
            QCOMPARE(messages.identifiers(), QStringList{QStringLiteral("nothingFound")});
            const QString text = messages.messages.front().text;
            QVERIFY2(text.contains(QStringLiteral("sous-dossiers (3 trouvées)")), qPrintable(text));
            QVERIFY2(text.contains(QStringLiteral("« Sous-dossiers »")), qPrintable(text));
        }
    }
};

QTEST_MAIN(TestFileTypes)
#include "file_types_test.moc"
