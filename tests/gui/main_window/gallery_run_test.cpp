// A gallery made from the window: the folder shown, its sub-folder an album
// of its own, the index opened in the browser, and no path of this machine
// in the pages.
#include "main_window_fixture.h"

using namespace lumigal;
using namespace lumigal::test;

namespace {

// Ticks « Galerie » and accepts the page dialog with `fileName`.
void acceptAsGallery(const QString& fileName) {
    whenPageDialogOpens([fileName](QWidget* modal) {
        QVERIFY(modal);
        edit(*modal, 1136)->setText(fileName);
        check(*modal, 1407)->setChecked(true);
        button(*modal, 1)->click();
    });
}

// The pages written under `folder`, relative to it.
QStringList pagesIn(const QString& folder) {
    QStringList pages;
    QDirIterator it(folder, {QStringLiteral("*.html")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) pages << QDir(folder).relativeFilePath(it.next());
    pages.sort();
    return pages;
}

}  // namespace

class TestGalleryRun : public QObject, MainWindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { startCase(); }
    void cleanupTestCase() { endCase(); }
    void init() { resetSettings(); }

    void galleryOfTheFolderShown_data() {
        QTest::addColumn<bool>("tree");  // « Sous-dossiers » rather than « Dossier »
        QTest::newRow("Dossier") << false;
        QTest::newRow("Sous-dossiers") << true;
    }
    void galleryOfTheFolderShown() {
        QFETCH(bool, tree);
        const QString source = folder(QStringLiteral("voyage-%1").arg(tree));
        writeImage(source + "/port.png", Qt::red);
        writeImage(source + "/phare.png", Qt::blue);
        QDir().mkpath(source + "/Plage de sable");
        writeImage(source + "/Plage de sable/dune.png", Qt::yellow);
        const QString out = folder(QStringLiteral("galerie-%1").arg(tree));
        prefs_.pathSave = out.toStdString();
        prefs_.launch = 1;
        Answers answers;
        auto w = makeWindow();
        w->setDirectory(source);
        (tree ? w->selectTreeButton() : w->selectFolderButton())->setChecked(true);
        acceptAsGallery(QStringLiteral("index.html"));
        w->createPage();
        QVERIFY2(answers.messages.isEmpty(), qPrintable(answers.identifiers().join(',')));
        QCOMPARE(page_.gallery, 1u);  // stored for the next time
        const std::string index = out.toStdString() + "/index.html";
        QCOMPARE(opened_, std::vector<std::string>{index});

        const QStringList pages = pagesIn(out);
        QVERIFY2(pages.contains(QStringLiteral("index.html")), qPrintable(pages.join(' ')));
        QStringList subAlbum = pages.filter(QRegularExpression(QStringLiteral("^[^/]+/index\\.html$")));
        QCOMPARE(subAlbum.size(), 1);
        const QByteArray top = readAll(index);
        QVERIFY(top.contains(QUrl::toPercentEncoding(subAlbum.front(), "/")));  // the index leads to the album
        QVERIFY(top.contains("port") && top.contains("phare"));
        QVERIFY(readAll((out + "/" + subAlbum.front()).toStdString()).contains("dune"));
        for (const QString& page : pages) {
            const QByteArray html = readAll((out + "/" + page).toStdString());
            QVERIFY2(!html.contains(tmp_.path().toUtf8()), qPrintable(page));
            QVERIFY2(!html.contains("file:"), qPrintable(page));
        }
        QVERIFY(!w->selectFolderButton()->isChecked() && !w->selectTreeButton()->isChecked());
    }
};

QTEST_MAIN(TestGalleryRun)
#include "gallery_run_test.moc"
