// The page creation dialog: its state at opening, what OK stores, its
// messages, Cancel, the colour choice and the thumbnail settings button.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QtTest>

#include "common/paths.h"
#include "page_dialog_fixture.h"
#include "test_support/dialog_test_support.h"
#include "dialogs/elided_label.h"
#include "dialogs/page_creation_dialog.h"
#include "dialogs/thumbnail_settings_dialog.h"

using namespace lumigal;
using namespace lumigal::test;

namespace {

constexpr Colour kRed = makeColour(255, 0, 0);

const int kPositionRadios[] = {1161, 1162, 1278, 1280};

}  // namespace

class TestPageCreationDialog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void opensWithTheStoredLayout_data();
    void opensWithTheStoredLayout();
    void opensWithFixedNamesAndColours();
    void foundFilesLine_data();
    void foundFilesLine();
    void texts();
    void okStoresThePagePath_data();
    void okStoresThePagePath();
    void okStoresThePositionShown_data();
    void okStoresThePositionShown();
    void okStoresTheSwitchesShown();
    void okStoresBothKindsWhenBothAreShown();
    void clickingAKindClearsTheOther();
    void titleFallsBackAndIsCutAt255();
    void emptyFileNameIsRefused();
    void tooLongPathIsRefused();
    void cancelChangesNoSetting();
    void chosenColoursShowAndBecomePageValues_data();
    void chosenColoursShowAndBecomePageValues();
    void cancelledChooserChangesNothing();
    void secondOpeningStartsAfresh();
    void thumbnailButtonOpensTheThumbnailDialog();
};

void TestPageCreationDialog::opensWithTheStoredLayout_data() {
    QTest::addColumn<int>("details");
    QTest::addColumn<int>("thumbnail");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("center");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("tri");
    QTest::addColumn<int>("checkedRadio");

    QTest::newRow("all clear, position 0") << 0 << 0 << 0 << 0 << 0 << 0 << 1278;
    QTest::newRow("details, above") << 1 << 0 << 1 << 1 << 0 << 0 << 1162;
    QTest::newRow("thumbnail, below") << 0 << 1 << 2 << 0 << 1 << 0 << 1280;
    QTest::newRow("left, sorted") << 1 << 0 << 3 << 0 << 0 << 1 << 1161;
    QTest::newRow("right") << 0 << 1 << 4 << 1 << 1 << 1 << 1278;
    QTest::newRow("position 7 counts as right") << 0 << 0 << 7 << 0 << 0 << 0 << 1278;
    QTest::newRow("negative position counts as right") << 0 << 0 << -1 << 0 << 0 << 0 << 1278;
    QTest::newRow("both kinds stored") << 1 << 1 << 3 << 0 << 0 << 0 << 1161;
    QTest::newRow("flags other than 1 count as on") << 5 << 0 << 2 << 9 << 2 << 3 << 1280;
}

void TestPageCreationDialog::opensWithTheStoredLayout() {
    QFETCH(int, details);
    QFETCH(int, thumbnail);
    QFETCH(int, position);
    QFETCH(int, center);
    QFETCH(int, line);
    QFETCH(int, tri);
    QFETCH(int, checkedRadio);

    Fixture f;
    f.page.details = details;
    f.page.thumbnail = thumbnail;
    f.page.position = position;
    f.page.center = center;
    f.page.line = line;
    f.page.tri = tri;
    PageCreationDialog dialog(f.page, f.prefs, {}, 3, "/photos");
    dialog.show();

    QCOMPARE(radio(dialog, 1342)->isChecked(), details != 0);
    QCOMPARE(radio(dialog, 1358)->isChecked(), thumbnail != 0);
    QCOMPARE(check(dialog, 1350)->isChecked(), center != 0);
    QCOMPARE(check(dialog, 1351)->isChecked(), line != 0);
    QCOMPARE(check(dialog, 1352)->isChecked(), tri != 0);
    for (int id : kPositionRadios) QCOMPARE(radio(dialog, id)->isChecked(), id == checkedRadio);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Lumigal"));
}

void TestPageCreationDialog::opensWithFixedNamesAndColours() {
    Fixture f;
    PageCreationDialog dialog(f.page, f.prefs, {}, 3, "/photos");
    dialog.show();

    QCOMPARE(edit(dialog, 1136)->text(), QStringLiteral("LUM000.htm"));
    QCOMPARE(edit(dialog, 1137)->text(), QStringLiteral("Lumigal"));
    QCOMPARE(dialog.focusWidget(), edit(dialog, 1136));
    // The page values are reset at once, whatever the previous page had.
    QCOMPARE(f.page, f.afterOpening());
    // Swatch and previews: white background, black title and information.
    QCOMPARE(label(dialog, 1346)->palette().color(QPalette::Window), QColor(Qt::white));
    for (int id : {1348, 1349}) {
        QCOMPARE(label(dialog, id)->palette().color(QPalette::Window), QColor(Qt::white));
        QCOMPARE(label(dialog, id)->palette().color(QPalette::WindowText), QColor(Qt::black));
    }
    // Centred on the screen.
    const QRect screen = dialog.screen()->geometry();
    QCOMPARE(dialog.pos(), centredPosition(screen, dialog.frameGeometry().size(), 0));
}

void TestPageCreationDialog::foundFilesLine_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("line");
    QTest::newRow("one") << 1 << "/photos/2000"
                         << QStringLiteral("1 fichier trouvé dans le dossier /photos/2000");
    QTest::newRow("twelve") << 12 << "/photos"
                            << QStringLiteral("12 fichiers trouvés dans le dossier /photos");
    QTest::newRow("zero is plural")
        << 0 << "/x" << QStringLiteral("0 fichiers trouvés dans le dossier /x");
    QTest::newRow("accented folder")
        << 2 << QStringLiteral("/été/vacances")
        << QStringLiteral("2 fichiers trouvés dans le dossier /été/vacances");
}

void TestPageCreationDialog::foundFilesLine() {
    QFETCH(int, count);
    QFETCH(QString, folder);
    QFETCH(QString, line);
    Fixture f;
    PageCreationDialog dialog(f.page, f.prefs, {}, count, folder.toStdString());
    QCOMPARE(control<ElidedLabel>(dialog, "static", 233)->text(), line);
}

void TestPageCreationDialog::texts() {
    Fixture f;
    PageCreationDialog dialog(f.page, f.prefs, {}, 1, "/p");
    const QList<QPair<QAbstractButton*, QString>> buttons = {
        {radio(dialog, 1342),
         QStringLiteral("Mettre les détails des fichiers (nom, taille, format...)")},
        {radio(dialog, 1358),
         QStringLiteral("Afficher des Images vignettes + liens sur les images réelles")},
        {radio(dialog, 1161), QStringLiteral("Texte à gauche")},
        {radio(dialog, 1162), QStringLiteral("Texte au-dessus")},
        {radio(dialog, 1278), QStringLiteral("Texte à droite")},
        {radio(dialog, 1280), QStringLiteral("Texte en-dessous")},
        {check(dialog, 1350), QStringLiteral("Centrer images et textes dans la page")},
        {check(dialog, 1351), QStringLiteral("Ligne de séparation entre chaque image")},
        {check(dialog, 1352), QStringLiteral("Trier alphabétiquement les images")},
        {button(dialog, 1118), QStringLiteral("Vignettes")},
        {button(dialog, 2), QStringLiteral("Annuler")},
    };
    for (const auto& [widget, text] : buttons) QCOMPARE(withoutMnemonic(widget->text()), text);
    QCOMPARE(label(dialog, 1348)->text(), QStringLiteral("\nTitre de la feuille"));
    QCOMPARE(label(dialog, 1349)->text(), QStringLiteral("\nInformations sur les images"));
    QVERIFY(button(dialog, 1)->isDefault());
    QVERIFY(!button(dialog, 2)->isDefault());
    QCOMPARE(button(dialog, 1)->text(), QStringLiteral("&Créer la page"));
    QVERIFY(!button(dialog, 1)->icon().isNull());
    QCOMPARE(button(dialog, 1)->iconSize(), QSize(47, 47));
    for (int id : {1117, 1300, 1315}) {
        QVERIFY(!button(dialog, id)->icon().isNull());
        QCOMPARE(button(dialog, id)->iconSize(), QSize(16, 16));
    }
}

void TestPageCreationDialog::okStoresThePagePath_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    QTest::newRow("folder with trailing separator") << "|out|"
                                                    << "a.htm"
                                                    << "|out|a.htm";
    QTest::newRow("name typed with two separators") << "|out"
                                                    << "||b.htm"
                                                    << "|out|b.htm";
    QTest::newRow("default name") << "|albums|out"
                                  << "LUM000.htm"
                                  << "|albums|out|LUM000.htm";
    QTest::newRow("no extension added") << "|out"
                                        << "page"
                                        << "|out|page";
    QTest::newRow("any character kept") << "|out"
                                        << "été 2000 (1).html"
                                        << "|out|été 2000 (1).html";
    QTest::newRow("runs inside the folder") << "||out|||sub"
                                            << "c.htm"
                                            << "|out|sub|c.htm";
}

void TestPageCreationDialog::okStoresThePagePath() {
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, path);
    Fixture f;
    f.page.pageFolder = native(folder.toStdString());
    PageCreationDialog dialog(f.page, f.prefs, {}, 1, "/p");
    dialog.show();
    edit(dialog, 1136)->setText(QString::fromStdString(native(name.toStdString())));
    button(dialog, 1)->click();

    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(QString::fromStdString(f.page.pagePath),
             QString::fromStdString(native(path.toStdString())));
    QCOMPARE(QString::fromStdString(f.page.pageTitle), QStringLiteral("Lumigal"));
}

void TestPageCreationDialog::okStoresThePositionShown_data() {
    QTest::addColumn<int>("clicked");
    QTest::addColumn<int>("position");
    QTest::newRow("au-dessus") << 1162 << 1;
    QTest::newRow("en-dessous") << 1280 << 2;
    QTest::newRow("à gauche") << 1161 << 3;
    QTest::newRow("à droite") << 1278 << 4;
}

void TestPageCreationDialog::okStoresThePositionShown() {
    QFETCH(int, clicked);
    QFETCH(int, position);
    Fixture f;
    f.page.position = 3;
    PageCreationDialog dialog(f.page, f.prefs, {}, 1, "/p");
    dialog.show();
    radio(dialog, clicked)->click();
    for (int id : kPositionRadios) QCOMPARE(radio(dialog, id)->isChecked(), id == clicked);
    button(dialog, 1)->click();
    QCOMPARE(f.page.position, position);
}

void TestPageCreationDialog::okStoresTheSwitchesShown() {
    Fixture f;
    f.page.center = 1;
    f.page.line = 0;
    f.page.tri = 7;
    f.page.details = 0;
    f.page.thumbnail = 1;
    PageCreationDialog dialog(f.page, f.prefs, {}, 1, "/p");
    dialog.show();
    check(dialog, 1350)->click();  // off
    check(dialog, 1351)->click();  // on
    radio(dialog, 1342)->click();  // details instead of thumbnails
    button(dialog, 1)->click();

    PageSettings expected = f.afterOpening();
    expected.center = 0;
    expected.line = 1;
    expected.tri = 1;  // stored as shown: 0 or 1
    expected.details = 1;
    expected.thumbnail = 0;
    expected.pagePath = native("|albums|out|LUM000.htm");
    expected.pageTitle = "Lumigal";
    QCOMPARE(f.page, expected);
}

void TestPageCreationDialog::okStoresBothKindsWhenBothAreShown() {
    Fixture f;
    f.page.details = 1;
    f.page.thumbnail = 1;
    PageCreationDialog dialog(f.page, f.prefs, {}, 1, "/p");
    dialog.show();
    button(dialog, 1)->click();
    QCOMPARE(f.page.details, 1u);
    QCOMPARE(f.page.thumbnail, 1u);
}

void TestPageCreationDialog::clickingAKindClearsTheOther() {
    Fixture f;
    f.page.details = 1;
    f.page.thumbnail = 1;
    PageCreationDialog dialog(f.page, f.prefs, {}, 1, "/p");
    dialog.show();
    radio(dialog, 1358)->click();
    QVERIFY(!radio(dialog, 1342)->isChecked());
    QVERIFY(radio(dialog, 1358)->isChecked());
    radio(dialog, 1358)->click();  // clicking the checked one keeps it checked
    QVERIFY(radio(dialog, 1358)->isChecked());
    button(dialog, 1)->click();
    QCOMPARE(f.page.details, 0u);
    QCOMPARE(f.page.thumbnail, 1u);
}

void TestPageCreationDialog::titleFallsBackAndIsCutAt255() {
    {
        Fixture f;
        PageCreationDialog dialog(f.page, f.prefs, {}, 1, "/p");
        dialog.show();
        edit(dialog, 1137)->clear();
        button(dialog, 1)->click();
        QCOMPARE(f.page.pageTitle, std::string("Lumigal"));
    }
    {
        Fixture f;
        PageCreationDialog dialog(f.page, f.prefs, {}, 1, "/p");
        dialog.show();
        // 255 characters are kept, whatever their size in bytes.
        const QString title = QStringLiteral("é\U0001F600").repeated(150);
        edit(dialog, 1137)->setText(title);
        button(dialog, 1)->click();
        QCOMPARE(QString::fromStdString(f.page.pageTitle),
                 QStringLiteral("é\U0001F600").repeated(127) + QStringLiteral("é"));
    }
}

void TestPageCreationDialog::emptyFileNameIsRefused() {
    Fixture f;
    MessageRecorder messages;
    PageCreationDialog dialog(f.page, f.prefs, {}, 1, "/p");
    dialog.show();
    radio(dialog, 1161)->click();
    edit(dialog, 1137)->setFocus();
    edit(dialog, 1136)->clear();
    button(dialog, 1)->click();

    QCOMPARE(messages.identifiers(), QStringList{PageCreationDialog::kNameMissing});
    const MessageRecord& message = messages.messages.first();
    QCOMPARE(message.text,
             QStringLiteral("Vous n'avez pas saisi le nom du fichier HTML à créer !"));
    QCOMPARE(message.caption, QStringLiteral("Lumigal"));
    QCOMPARE(message.icon, QMessageBox::Warning);
    QCOMPARE(message.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.focusWidget(), edit(dialog, 1136));
    QCOMPARE(f.page, f.afterOpening());
}

void TestPageCreationDialog::tooLongPathIsRefused() {
    Fixture f;
    f.page.pageFolder = native("|") + std::string(kMaxPath - 6, 'd');
    MessageRecorder messages;
    PageCreationDialog dialog(f.page, f.prefs, {}, 1, "/p");
    dialog.show();
    edit(dialog, 1136)->setText(QStringLiteral("abcd"));  // exactly at the limit
    button(dialog, 1)->click();
    QVERIFY(messages.messages.isEmpty());
    QCOMPARE(f.page.pagePath.size(), kMaxPath);

    Fixture g;
    g.page.pageFolder = f.page.pageFolder;
    PageCreationDialog longer(g.page, g.prefs, {}, 1, "/p");
    longer.show();
    edit(longer, 1136)->setText(QStringLiteral("abcde"));  // one byte beyond
    button(longer, 1)->click();
    QCOMPARE(messages.identifiers(), QStringList{PageCreationDialog::kPathTooLong});
    QVERIFY(longer.isVisible());
    QCOMPARE(g.page, g.afterOpening());
}

void TestPageCreationDialog::cancelChangesNoSetting() {
    Fixture f;
    PageCreationDialog dialog(f.page, f.prefs, {}, 1, "/p");
    dialog.show();
    edit(dialog, 1136)->setText(QStringLiteral("other.htm"));
    edit(dialog, 1137)->setText(QStringLiteral("Autre"));
    radio(dialog, 1161)->click();
    check(dialog, 1350)->click();
    radio(dialog, 1358)->click();
    button(dialog, 2)->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(f.page, f.afterOpening());

    // Escape cancels too.
    Fixture g;
    PageCreationDialog escaped(g.page, g.prefs, {}, 1, "/p");
    escaped.show();
    check(escaped, 1351)->click();
    QTest::keyClick(&escaped, Qt::Key_Escape);
    QVERIFY(!escaped.isVisible());
    QCOMPARE(escaped.result(), int(QDialog::Rejected));
    QCOMPARE(g.page, g.afterOpening());
}

void TestPageCreationDialog::chosenColoursShowAndBecomePageValues_data() {
    QTest::addColumn<int>("buttonId");
    QTest::addColumn<Colour>("background");
    QTest::addColumn<Colour>("text");
    QTest::addColumn<Colour>("information");
    QTest::newRow("background") << 1117 << kRed << kBlack << kBlack;
    QTest::newRow("title") << 1300 << kWhite << kRed << kBlack;
    QTest::newRow("information") << 1315 << kWhite << kBlack << kRed;
}

void TestPageCreationDialog::chosenColoursShowAndBecomePageValues() {
    QFETCH(int, buttonId);
    QFETCH(Colour, background);
    QFETCH(Colour, text);
    QFETCH(Colour, information);

    Fixture f;
    ColourChooserStub chooser;
    chooser.answers = {kRed};
    PageCreationDialog dialog(f.page, f.prefs, {}, 1, "/p");
    dialog.show();
    button(dialog, buttonId)->click();

    QCOMPARE(chooser.calls, 1);
    QCOMPARE(f.page.page_bgcolor, background);
    QCOMPARE(f.page.page_textcolor, text);
    QCOMPARE(f.page.page_infocolor, information);
    QCOMPARE(label(dialog, 1346)->palette().color(QPalette::Window), toQColor(background));
    QCOMPARE(label(dialog, 1348)->palette().color(QPalette::Window), toQColor(background));
    QCOMPARE(label(dialog, 1349)->palette().color(QPalette::Window), toQColor(background));
    QCOMPARE(label(dialog, 1348)->palette().color(QPalette::WindowText), toQColor(text));
    QCOMPARE(label(dialog, 1349)->palette().color(QPalette::WindowText), toQColor(information));
    // The preview is drawn in the chosen colours.
    const QImage swatch = label(dialog, 1346)->grab().toImage();
    QCOMPARE(swatch.pixelColor(swatch.width() / 2, swatch.height() / 2), toQColor(background));

    // A colour chosen stays in the page values when the dialog is cancelled.
    button(dialog, 2)->click();
    QCOMPARE(f.page.page_bgcolor, background);
    QCOMPARE(f.page.page_textcolor, text);
    QCOMPARE(f.page.page_infocolor, information);
}

void TestPageCreationDialog::cancelledChooserChangesNothing() {
    Fixture f;
    ColourChooserStub chooser;
    chooser.answers = {kRed, std::nullopt};
    PageCreationDialog dialog(f.page, f.prefs, {}, 1, "/p");
    dialog.show();
    button(dialog, 1300)->click();  // red title
    button(dialog, 1300)->click();  // cancelled: stays red
    button(dialog, 1117)->click();  // no answer left: cancelled
    QCOMPARE(chooser.calls, 3);
    QCOMPARE(f.page.page_textcolor, kRed);
    QCOMPARE(f.page.page_bgcolor, kWhite);
    QCOMPARE(label(dialog, 1348)->palette().color(QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(label(dialog, 1346)->palette().color(QPalette::Window), QColor(Qt::white));
}

void TestPageCreationDialog::secondOpeningStartsAfresh() {
    Fixture f;
    ColourChooserStub chooser;
    chooser.answers = {kRed, kTeal, kRed};
    {
        PageCreationDialog first(f.page, f.prefs, {}, 1, "/p");
        first.show();
        for (int id : {1117, 1300, 1315}) button(first, id)->click();
        edit(first, 1136)->setText(QStringLiteral("first.htm"));
        edit(first, 1137)->setText(QStringLiteral("Première"));
        button(first, 1)->click();
        QCOMPARE(f.page.page_bgcolor, kRed);
        QCOMPARE(f.page.pageTitle, std::string("Première"));
    }
    PageCreationDialog second(f.page, f.prefs, {}, 1, "/p");
    second.show();
    QCOMPARE(edit(second, 1136)->text(), QStringLiteral("LUM000.htm"));
    QCOMPARE(edit(second, 1137)->text(), QStringLiteral("Lumigal"));
    QCOMPARE(f.page.page_bgcolor, kWhite);
    QCOMPARE(f.page.page_textcolor, kBlack);
    QCOMPARE(f.page.page_infocolor, kBlack);
    QCOMPARE(label(second, 1346)->palette().color(QPalette::Window), QColor(Qt::white));
}

void TestPageCreationDialog::thumbnailButtonOpensTheThumbnailDialog() {
    Fixture f;
    PageCreationDialog dialog(f.page, f.prefs, "/help/Lumigal.html", 1, "/p");
    dialog.show();
    edit(dialog, 1136)->setText(QStringLiteral("kept.htm"));

    bool opened = false;
    whenModalOpens(
        [&](QWidget* modal) {
            auto* thumbnails = qobject_cast<ThumbnailSettingsDialog*>(modal);
            QVERIFY(thumbnails != nullptr);
            QCOMPARE(thumbnails->parentWidget(), &dialog);
            // Confirmed there: its values are stored at once.
            control<QLineEdit>(*thumbnails, "edit", 1136)->setText(QStringLiteral("120"));
            control<QPushButton>(*thumbnails, "button", 1)->click();
            opened = true;
        },
        QDialog::Accepted);
    button(dialog, 1118)->click();

    QVERIFY(opened);
    QCOMPARE(f.page.width, 120u);
    QVERIFY(dialog.isVisible());
    QCOMPARE(edit(dialog, 1136)->text(), QStringLiteral("kept.htm"));

    // Confirmed thumbnail settings stay when the page dialog is cancelled.
    button(dialog, 2)->click();
    QCOMPARE(f.page.width, 120u);
}

QTEST_MAIN(TestPageCreationDialog)
#include "page_creation_dialog_test.moc"
