// The thumbnail settings dialog: its state at opening, the format list,
// what OK stores (all or nothing), the number checks and their messages,
// the up-down fields, the colour choice, the folder browser and help.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QtTest>

#include "common/paths.h"
#include "test_support/dialog_test_support.h"
#include "dialogs/thumbnail_settings_dialog.h"
#include "dialogs/wrap_spin_edit.h"

using namespace lumigal;
using namespace lumigal::test;

namespace {

constexpr Colour kWhite = makeColour(255, 255, 255);
constexpr Colour kRed = makeColour(255, 0, 0);
constexpr Colour kNavy = makeColour(0, 0, 128);
constexpr Colour kOlive = makeColour(128, 128, 0);

struct Fixture {
    PageSettings page;
    Preferences prefs;
    Fixture() {
        page.width = 75;
        page.height = 60;
        page.nbThumbByLine = 10;
        page.onlyIfSuitable = 1;
        page.keepSameFormat = 1;
        page.newFormat = 3;
        page.table_border = 2;
        page.table_cellspace = 4;
        page.table_cellpadding = 6;
        page.table_bordercolor = kNavy;
        page.table_bordercolordark = kOlive;
        prefs.pathThumbnail = "/home/u/Vignettes";
        prefs.pathSave = "/home/u/Albums";
    }
};

WrapSpinEdit* spin(QWidget& d, int id) { return control<WrapSpinEdit>(d, "edit", id); }
QComboBox* formats(QWidget& d) { return control<QComboBox>(d, "combo", 1068); }

QColor swatch(QWidget& d, int id) { return label(d, id)->palette().color(QPalette::Window); }

}  // namespace

class TestThumbnailSettingsDialog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void opensWithTheStoredSettings();
    void opensOnTheFirstFormat_data();
    void opensOnTheFirstFormat();
    void formatRadiosEnableTheList();
    void okStoresTheFormatShown_data();
    void okStoresTheFormatShown();
    void okStoresEveryField();
    void invalidNumbersAreReported_data();
    void invalidNumbersAreReported();
    void uncheckedFieldsCountAsZero_data();
    void uncheckedFieldsCountAsZero();
    void tooLongFolderIsRefused();
    void numberFieldsTakeDigitsOnly();
    void upDownStepsWithWrap_data();
    void upDownStepsWithWrap();
    void borderColourZeroShowsWhite();
    void chosenColoursAreStoredAtOnce_data();
    void chosenColoursAreStoredAtOnce();
    void cancelledChooserChangesNothing();
    void browsedFolderIsStoredOnlyOnOk();
    void helpOpensContext109();
    void cancelChangesNothing();
    void proportionsFollowTheStyleUntilChanged_data();
    void proportionsFollowTheStyleUntilChanged();
};

void TestThumbnailSettingsDialog::opensWithTheStoredSettings() {
    Fixture f;
    ThumbnailSettingsDialog dialog(f.page, f.prefs, {});
    dialog.show();

    QCOMPARE(dialog.windowTitle(), QStringLiteral("Lumigal"));
    QCOMPARE(edit(dialog, 1136)->text(), QStringLiteral("75"));
    QCOMPARE(edit(dialog, 1137)->text(), QStringLiteral("60"));
    QCOMPARE(edit(dialog, 1138)->text(), QStringLiteral("/home/u/Vignettes"));
    QCOMPARE(edit(dialog, 1139)->text(), QStringLiteral("10"));
    QVERIFY(check(dialog, 1041)->isChecked());
    QCOMPARE(spin(dialog, 1359)->fieldText(), QStringLiteral("2"));
    QCOMPARE(spin(dialog, 1360)->fieldText(), QStringLiteral("4"));
    QCOMPARE(spin(dialog, 1361)->fieldText(), QStringLiteral("6"));
    QCOMPARE(swatch(dialog, 1362), toQColor(kNavy));
    QCOMPARE(swatch(dialog, 1363), toQColor(kOlive));
    QVERIFY(radio(dialog, 1161)->isChecked());
    QVERIFY(!radio(dialog, 1162)->isChecked());
    QVERIFY(!formats(dialog)->isEnabled());
    QCOMPARE(check(dialog, 1041)->text().remove(QLatin1Char('&')),
             QStringLiteral("Ne pas créer de vignette si la taille de l'original est\n"
                            "inférieure aux dimensions saisies."));
    QCOMPARE(button(dialog, 2)->text(), QStringLiteral("Annuler"));
    QVERIFY(button(dialog, 1)->isDefault());
    QCOMPARE(button(dialog, 1117)->iconSize(), QSize(13, 13));
    QVERIFY(!button(dialog, 1354)->icon().isNull());
    const QRect screen = dialog.screen()->geometry();
    QCOMPARE(dialog.pos(), centredPosition(screen, dialog.frameGeometry().size(), 0));

    // Nothing is stored by opening.
    Fixture unchanged;
    QCOMPARE(f.page, unchanged.page);
    QCOMPARE(f.prefs, unchanged.prefs);
}

void TestThumbnailSettingsDialog::opensOnTheFirstFormat_data() {
    QTest::addColumn<int>("keepSameFormat");
    QTest::addColumn<int>("newFormat");
    QTest::addColumn<bool>("listEnabled");
    QTest::newRow("keep, stored PNG") << 1 << 3 << false;
    QTest::newRow("convert to JPEG") << 0 << 2 << true;
    QTest::newRow("convert to GIF") << 0 << 1 << true;
    QTest::newRow("flag 5 counts as keep") << 5 << 0 << false;
}

void TestThumbnailSettingsDialog::opensOnTheFirstFormat() {
    QFETCH(int, keepSameFormat);
    QFETCH(int, newFormat);
    QFETCH(bool, listEnabled);
    Fixture f;
    f.page.keepSameFormat = keepSameFormat;
    f.page.newFormat = newFormat;
    ThumbnailSettingsDialog dialog(f.page, f.prefs, {});
    dialog.show();

    QCOMPARE(radio(dialog, 1161)->isChecked(), keepSameFormat != 0);
    QCOMPARE(radio(dialog, 1162)->isChecked(), keepSameFormat == 0);
    QCOMPARE(formats(dialog)->isEnabled(), listEnabled);
    QCOMPARE(formats(dialog)->currentIndex(), 0);
    QCOMPARE(formats(dialog)->currentText(), QStringLiteral("Bitmap BMP"));
    const QStringList entries = {"Bitmap BMP", "Compuserve GIF", "JPEG",
                                 "Portable Network Graphic"};
    QStringList shown;
    for (int i = 0; i < formats(dialog)->count(); ++i) shown << formats(dialog)->itemText(i);
    QCOMPARE(shown, entries);
}

void TestThumbnailSettingsDialog::formatRadiosEnableTheList() {
    Fixture f;
    ThumbnailSettingsDialog dialog(f.page, f.prefs, {});
    dialog.show();
    QVERIFY(!formats(dialog)->isEnabled());
    radio(dialog, 1162)->click();
    QVERIFY(formats(dialog)->isEnabled());
    radio(dialog, 1161)->click();
    QVERIFY(!formats(dialog)->isEnabled());
    QVERIFY(!radio(dialog, 1162)->isChecked());
}

void TestThumbnailSettingsDialog::okStoresTheFormatShown_data() {
    QTest::addColumn<int>("keepSameFormat");
    QTest::addColumn<int>("newFormat");
    QTest::addColumn<int>("clickRadio");   // 0: none
    QTest::addColumn<int>("chooseIndex");  // -1: leave the list alone
    QTest::addColumn<int>("storedKeep");
    QTest::addColumn<int>("storedFormat");

    QTest::newRow("convert with BMP shown stores 0") << 1 << 2 << 1162 << -1 << 0 << 0;
    QTest::newRow("JPEG chosen stores 2") << 0 << 2 << 0 << 2 << 0 << 2;
    QTest::newRow("reopened on BMP stores 0") << 0 << 3 << 0 << -1 << 0 << 0;
    QTest::newRow("PNG chosen") << 0 << 0 << 0 << 3 << 0 << 3;
    QTest::newRow("keep leaves the format") << 1 << 3 << 0 << -1 << 1 << 3;
    QTest::newRow("keep chosen after a list choice") << 0 << 1 << 1161 << 2 << 1 << 1;
}

void TestThumbnailSettingsDialog::okStoresTheFormatShown() {
    QFETCH(int, keepSameFormat);
    QFETCH(int, newFormat);
    QFETCH(int, clickRadio);
    QFETCH(int, chooseIndex);
    QFETCH(int, storedKeep);
    QFETCH(int, storedFormat);
    Fixture f;
    f.page.keepSameFormat = keepSameFormat;
    f.page.newFormat = newFormat;
    ThumbnailSettingsDialog dialog(f.page, f.prefs, {});
    dialog.show();
    if (chooseIndex >= 0) {
        radio(dialog, 1162)->click();
        formats(dialog)->setCurrentIndex(chooseIndex);
    }
    if (clickRadio != 0) radio(dialog, clickRadio)->click();
    button(dialog, 1)->click();

    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(f.page.keepSameFormat, std::uint32_t(storedKeep));
    QCOMPARE(f.page.newFormat, storedFormat);
}

void TestThumbnailSettingsDialog::okStoresEveryField() {
    Fixture f;
    ThumbnailSettingsDialog dialog(f.page, f.prefs, {});
    dialog.show();
    edit(dialog, 1136)->setText(QStringLiteral("0"));  // zero is a valid number
    edit(dialog, 1137)->setText(QStringLiteral("16384"));  // the largest image side
    edit(dialog, 1138)->setText(QStringLiteral("/tmp/vignettes neuves"));
    edit(dialog, 1139)->setText(QStringLiteral("3"));
    check(dialog, 1041)->click();
    spin(dialog, 1359)->setFieldText(QStringLiteral("150"));  // typing is not limited to 100
    spin(dialog, 1360)->setFieldText(QStringLiteral("0"));
    spin(dialog, 1361)->setFieldText(QStringLiteral("12"));
    button(dialog, 1)->click();

    Fixture expected;
    expected.page.width = 0;
    expected.page.height = 16384u;
    expected.page.nbThumbByLine = 3;
    expected.page.onlyIfSuitable = 0;
    expected.page.table_border = 150;
    expected.page.table_cellspace = 0;
    expected.page.table_cellpadding = 12;
    expected.prefs.pathThumbnail = "/tmp/vignettes neuves";
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(f.page, expected.page);
    QCOMPARE(f.prefs, expected.prefs);
}

void TestThumbnailSettingsDialog::invalidNumbersAreReported_data() {
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("perRow");
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<QString>("text");
    const QString widthText =
        QStringLiteral("La largeur de la miniature est incorrecte.\nMerci de la modifier.");
    const QString heightText =
        QStringLiteral("La hauteur de la miniature est incorrecte.\nMerci de la modifier.");
    const QString perRowText =
        QStringLiteral("Le nombre de miniatures par ligne est incorrect.\nMerci de le modifier.");
    QTest::newRow("width empty, height empty too")
        << ""
        << ""
        << "10" << ThumbnailSettingsDialog::kWidthInvalid << widthText;
    QTest::newRow("height empty") << "75"
                                  << ""
                                  << "10" << ThumbnailSettingsDialog::kHeightInvalid << heightText;
    QTest::newRow("per row empty") << "75"
                                   << "75"
                                   << "" << ThumbnailSettingsDialog::kPerRowInvalid << perRowText;
    QTest::newRow("width beyond 32 bits")
        << "4294967296"
        << "75"
        << "1" << ThumbnailSettingsDialog::kWidthInvalid << widthText;
    const QString widthTooLarge = QStringLiteral(
        "La largeur de la miniature est trop grande : au plus 16384 pixels.\nMerci de la modifier.");
    const QString heightTooLarge = QStringLiteral(
        "La hauteur de la miniature est trop grande : au plus 16384 pixels.\nMerci de la modifier.");
    QTest::newRow("width over the largest image side")
        << "99999"
        << "75"
        << "1" << ThumbnailSettingsDialog::kWidthInvalid << widthTooLarge;
    QTest::newRow("width just over")
        << "16385"
        << "16384"
        << "1" << ThumbnailSettingsDialog::kWidthInvalid << widthTooLarge;
    QTest::newRow("height over, width at the bound")
        << "16384"
        << "99999"
        << "1" << ThumbnailSettingsDialog::kHeightInvalid << heightTooLarge;
    QTest::newRow("height before per row")
        << "1"
        << "99999999999"
        << "" << ThumbnailSettingsDialog::kHeightInvalid << heightText;
}

void TestThumbnailSettingsDialog::invalidNumbersAreReported() {
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QString, perRow);
    QFETCH(QString, identifier);
    QFETCH(QString, text);
    Fixture f;
    MessageRecorder messages;
    ThumbnailSettingsDialog dialog(f.page, f.prefs, {});
    dialog.show();
    // Other changes made before OK must not be stored either.
    radio(dialog, 1162)->click();
    formats(dialog)->setCurrentIndex(2);
    check(dialog, 1041)->click();
    edit(dialog, 1138)->setText(QStringLiteral("/elsewhere"));
    spin(dialog, 1359)->setFieldText(QStringLiteral("9"));
    edit(dialog, 1136)->setText(width);
    edit(dialog, 1137)->setText(height);
    edit(dialog, 1139)->setText(perRow);
    QWidget* focused = dialog.focusWidget();
    button(dialog, 1)->click();

    QCOMPARE(messages.identifiers(), QStringList{identifier});
    QCOMPARE(messages.messages.first().text, text);
    QCOMPARE(messages.messages.first().caption, QStringLiteral("Lumigal"));
    QCOMPARE(messages.messages.first().icon, QMessageBox::Critical);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.focusWidget(), focused);  // the focus is not moved
    Fixture unchanged;
    QCOMPARE(f.page, unchanged.page);
    QCOMPARE(f.prefs, unchanged.prefs);

    // Corrected, the same dialog then stores everything.
    edit(dialog, 1136)->setText(QStringLiteral("80"));
    edit(dialog, 1137)->setText(QStringLiteral("70"));
    edit(dialog, 1139)->setText(QStringLiteral("5"));
    button(dialog, 1)->click();
    QCOMPARE(messages.messages.size(), 1);
    QCOMPARE(f.page.width, 80u);
    QCOMPARE(f.page.newFormat, 2);
    QCOMPARE(f.page.table_border, 9u);
    QCOMPARE(f.prefs.pathThumbnail, std::string("/elsewhere"));
}

void TestThumbnailSettingsDialog::uncheckedFieldsCountAsZero_data() {
    QTest::addColumn<QString>("border");
    QTest::addColumn<QString>("space");
    QTest::addColumn<QString>("padding");
    QTest::addColumn<uint>("storedBorder");
    QTest::addColumn<uint>("storedSpace");
    QTest::addColumn<uint>("storedPadding");
    QTest::newRow("all empty") << ""
                               << ""
                               << "" << 0u << 0u << 0u;
    QTest::newRow("padding letters") << "1"
                                     << "2"
                                     << "abc" << 1u << 2u << 0u;
    QTest::newRow("padding with a unit") << "3"
                                         << "4"
                                         << "5px" << 3u << 4u << 0u;
    QTest::newRow("padding with blanks") << "3"
                                         << "4"
                                         << " 7 " << 3u << 4u << 7u;
}

void TestThumbnailSettingsDialog::uncheckedFieldsCountAsZero() {
    QFETCH(QString, border);
    QFETCH(QString, space);
    QFETCH(QString, padding);
    QFETCH(uint, storedBorder);
    QFETCH(uint, storedSpace);
    QFETCH(uint, storedPadding);
    Fixture f;
    MessageRecorder messages;
    ThumbnailSettingsDialog dialog(f.page, f.prefs, {});
    dialog.show();
    spin(dialog, 1359)->setFieldText(border);
    spin(dialog, 1360)->setFieldText(space);
    spin(dialog, 1361)->setFieldText(padding);
    button(dialog, 1)->click();
    QVERIFY(messages.messages.isEmpty());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(f.page.table_border, storedBorder);
    QCOMPARE(f.page.table_cellspace, storedSpace);
    QCOMPARE(f.page.table_cellpadding, storedPadding);
}

void TestThumbnailSettingsDialog::tooLongFolderIsRefused() {
    Fixture f;
    MessageRecorder messages;
    ThumbnailSettingsDialog dialog(f.page, f.prefs, {});
    dialog.show();
    edit(dialog, 1138)->setText(QString(int(kMaxPath) + 1, QLatin1Char('v')));
    button(dialog, 1)->click();
    QCOMPARE(messages.identifiers(), QStringList{ThumbnailSettingsDialog::kFolderTooLong});
    QVERIFY(dialog.isVisible());
    Fixture unchanged;
    QCOMPARE(f.prefs, unchanged.prefs);

    edit(dialog, 1138)->setText(QString(int(kMaxPath), QLatin1Char('v')));
    button(dialog, 1)->click();
    QCOMPARE(messages.messages.size(), 1);
    QCOMPARE(f.prefs.pathThumbnail.size(), kMaxPath);
}

void TestThumbnailSettingsDialog::numberFieldsTakeDigitsOnly() {
    Fixture f;
    ThumbnailSettingsDialog dialog(f.page, f.prefs, {});
    dialog.show();
    for (int id : {1136, 1137, 1139}) {
        edit(dialog, id)->clear();
        QTest::keyClicks(edit(dialog, id), QStringLiteral("1a2-3 4"));
        QCOMPARE(edit(dialog, id)->text(), QStringLiteral("1234"));
    }
    for (int id : {1359, 1360}) {
        spin(dialog, id)->setFieldText(QString());
        QTest::keyClicks(spin(dialog, id), QStringLiteral("5x6"));
        QCOMPARE(spin(dialog, id)->fieldText(), QStringLiteral("56"));
    }
    // The padding field also accepts other characters.
    spin(dialog, 1361)->setFieldText(QString());
    QTest::keyClicks(spin(dialog, 1361), QStringLiteral("5x6"));
    QCOMPARE(spin(dialog, 1361)->fieldText(), QStringLiteral("5x6"));
}

void TestThumbnailSettingsDialog::upDownStepsWithWrap_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("result");
    QTest::newRow("border 100 up wraps to 1") << 1359 << "100" << int(Qt::Key_Up) << "1";
    QTest::newRow("border 1 down wraps to 100") << 1359 << "1" << int(Qt::Key_Down) << "100";
    QTest::newRow("spacing 41 up") << 1360 << "41" << int(Qt::Key_Up) << "42";
    QTest::newRow("spacing 0 up gives 1") << 1360 << "0" << int(Qt::Key_Up) << "1";
    QTest::newRow("padding 0 down gives 100") << 1361 << "0" << int(Qt::Key_Down) << "100";
    QTest::newRow("padding text up gives 1") << 1361 << "abc" << int(Qt::Key_Up) << "1";
    QTest::newRow("typed 150 up wraps to 1") << 1359 << "150" << int(Qt::Key_Up) << "1";
    QTest::newRow("typed 150 down gives 100") << 1359 << "150" << int(Qt::Key_Down) << "100";
}

void TestThumbnailSettingsDialog::upDownStepsWithWrap() {
    QFETCH(int, id);
    QFETCH(QString, start);
    QFETCH(int, key);
    QFETCH(QString, result);
    Fixture f;
    ThumbnailSettingsDialog dialog(f.page, f.prefs, {});
    dialog.show();
    spin(dialog, id)->setFieldText(start);
    QTest::keyClick(spin(dialog, id), Qt::Key(key));
    QCOMPARE(spin(dialog, id)->fieldText(), result);
}

void TestThumbnailSettingsDialog::borderColourZeroShowsWhite() {
    Fixture f;
    f.page.table_bordercolor = 0;
    f.page.table_bordercolordark = 0;
    ThumbnailSettingsDialog dialog(f.page, f.prefs, {});
    dialog.show();
    QCOMPARE(swatch(dialog, 1362), QColor(Qt::white));
    QCOMPARE(swatch(dialog, 1363), QColor(Qt::white));
    button(dialog, 1)->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(f.page.table_bordercolor, 0u);
    QCOMPARE(f.page.table_bordercolordark, 0u);
    QCOMPARE(ThumbnailSettingsDialog::swatchColour(0), kWhite);
    QCOMPARE(ThumbnailSettingsDialog::swatchColour(kRed), kRed);
}

void TestThumbnailSettingsDialog::chosenColoursAreStoredAtOnce_data() {
    QTest::addColumn<int>("buttonId");
    QTest::addColumn<int>("swatchId");
    QTest::addColumn<bool>("dark");
    QTest::newRow("border") << 1117 << 1362 << false;
    QTest::newRow("dark border") << 1300 << 1363 << true;
}

void TestThumbnailSettingsDialog::chosenColoursAreStoredAtOnce() {
    QFETCH(int, buttonId);
    QFETCH(int, swatchId);
    QFETCH(bool, dark);
    Fixture f;
    ColourChooserStub chooser;
    chooser.answers = {kRed};
    ThumbnailSettingsDialog dialog(f.page, f.prefs, {});
    dialog.show();
    button(dialog, buttonId)->click();
    QCOMPARE(swatch(dialog, swatchId), QColor(Qt::red));
    const QImage shown = label(dialog, swatchId)->grab().toImage();
    QCOMPARE(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::red));
    QCOMPARE(dark ? f.page.table_bordercolordark : f.page.table_bordercolor, kRed);
    QCOMPARE(dark ? f.page.table_bordercolor : f.page.table_bordercolordark, dark ? kNavy : kOlive);

    // Cancel does not undo a chosen colour.
    button(dialog, 2)->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dark ? f.page.table_bordercolordark : f.page.table_bordercolor, kRed);
}

void TestThumbnailSettingsDialog::cancelledChooserChangesNothing() {
    Fixture f;
    ColourChooserStub chooser;  // no answer: cancelled
    ThumbnailSettingsDialog dialog(f.page, f.prefs, {});
    dialog.show();
    button(dialog, 1117)->click();
    button(dialog, 1300)->click();
    QCOMPARE(chooser.calls, 2);
    QCOMPARE(swatch(dialog, 1362), toQColor(kNavy));
    QCOMPARE(swatch(dialog, 1363), toQColor(kOlive));
    Fixture unchanged;
    QCOMPARE(f.page, unchanged.page);
}

void TestThumbnailSettingsDialog::browsedFolderIsStoredOnlyOnOk() {
    FolderBrowserStub browser;
    browser.answer = QStringLiteral("/data/petites images");
    {
        Fixture f;
        ThumbnailSettingsDialog dialog(f.page, f.prefs, {});
        dialog.show();
        button(dialog, 1354)->click();
        QCOMPARE(browser.titles, QStringList{QStringLiteral("Dossier de production par défaut\u00A0:")});
        QCOMPARE(edit(dialog, 1138)->text(), QStringLiteral("/data/petites images"));
        QCOMPARE(f.prefs.pathThumbnail, std::string("/home/u/Vignettes"));
        button(dialog, 1)->click();
        QCOMPARE(f.prefs.pathThumbnail, std::string("/data/petites images"));
    }
    {
        Fixture f;
        ThumbnailSettingsDialog dialog(f.page, f.prefs, {});
        dialog.show();
        button(dialog, 1354)->click();
        button(dialog, 2)->click();
        QCOMPARE(f.prefs.pathThumbnail, std::string("/home/u/Vignettes"));
    }
    {
        Fixture f;
        browser.answer.reset();  // cancelled browser
        ThumbnailSettingsDialog dialog(f.page, f.prefs, {});
        dialog.show();
        button(dialog, 1354)->click();
        QCOMPARE(edit(dialog, 1138)->text(), QStringLiteral("/home/u/Vignettes"));
    }
}

void TestThumbnailSettingsDialog::helpOpensContext109() {
    Fixture f;
    HelpStub help;
    ThumbnailSettingsDialog dialog(f.page, f.prefs, "/opt/lumigal/Lumigal.html");
    dialog.show();
    button(dialog, 1283)->click();
    QCOMPARE(help.requests.size(), std::size_t(1));
    QCOMPARE(help.requests[0].path, std::string("/opt/lumigal/Lumigal.html"));
    QCOMPARE(help.requests[0].context, 109);
    QVERIFY(dialog.isVisible());
}

void TestThumbnailSettingsDialog::cancelChangesNothing() {
    Fixture f;
    ThumbnailSettingsDialog dialog(f.page, f.prefs, {});
    dialog.show();
    edit(dialog, 1136)->setText(QStringLiteral("300"));
    edit(dialog, 1138)->setText(QStringLiteral("/autre"));
    radio(dialog, 1162)->click();
    check(dialog, 1041)->click();
    spin(dialog, 1361)->setFieldText(QStringLiteral("44"));
    button(dialog, 2)->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    Fixture unchanged;
    QCOMPARE(f.page, unchanged.page);
    QCOMPARE(f.prefs, unchanged.prefs);
}

void TestThumbnailSettingsDialog::proportionsFollowTheStyleUntilChanged_data() {
    QTest::addColumn<quint32>("style");
    QTest::addColumn<quint32>("stored");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<bool>("click");
    QTest::addColumn<quint32>("kept");
    QTest::newRow("classic, as the style") << kStyleClassic << kProportionsOfStyle << false << false
                                           << kProportionsOfStyle;
    QTest::newRow("modern, as the style") << kStyleModern << kProportionsOfStyle << true << false
                                          << kProportionsOfStyle;
    QTest::newRow("classic, checked") << kStyleClassic << kProportionsOfStyle << false << true
                                      << kProportionsKept;
    QTest::newRow("modern, cleared") << kStyleModern << kProportionsOfStyle << true << true
                                     << kProportionsExact;
    QTest::newRow("modern, stored exact") << kStyleModern << kProportionsExact << false << false
                                          << kProportionsExact;
    QTest::newRow("classic, stored kept, cleared") << kStyleClassic << kProportionsKept << true << true
                                                   << kProportionsExact;
}

void TestThumbnailSettingsDialog::proportionsFollowTheStyleUntilChanged() {
    QFETCH(quint32, style);
    QFETCH(quint32, stored);
    QFETCH(bool, shown);
    QFETCH(bool, click);
    QFETCH(quint32, kept);
    Fixture f;
    f.page.style = style;
    f.page.keepProportions = stored;
    ThumbnailSettingsDialog dialog(f.page, f.prefs, {});
    dialog.show();
    QCOMPARE(check(dialog, 1401)->isChecked(), shown);
    QVERIFY(!check(dialog, 1401)->text().isEmpty() && !check(dialog, 1401)->whatsThis().isEmpty());
    if (click) check(dialog, 1401)->click();
    button(dialog, 1)->click();
    QCOMPARE(f.page.keepProportions, kept);
}

QTEST_MAIN(TestThumbnailSettingsDialog)
#include "thumbnail_settings_dialog_test.moc"
