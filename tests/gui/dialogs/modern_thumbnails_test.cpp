// The thumbnail dialog shows the thumbnails of the page's style: the
// classic page's stored ones, the modern page's own (JPEG, 280 x 280,
// proportions kept) until the user chooses others for it.
#include <QComboBox>
#include <QAbstractButton>
#include <QtTest>

#include "album/settings.h"
#include "dialogs/page_creation_dialog.h"
#include "dialogs/thumbnail_settings_dialog.h"
#include "test_support/dialog_test_support.h"

using namespace lumigal;
using namespace lumigal::test;

namespace {

struct Fixture {
    Preferences prefs;
    PageSettings page;
    Fixture() { initialSettings(prefs, page, "/albums"); }  // BMP, 75 x 75, exact
};

QComboBox* formats(QWidget& dialog) { return control<QComboBox>(dialog, "combo", 1068); }

}  // namespace

class TestModernThumbnails : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { quietOffscreenWarnings(); }

    void showsWhatTheStyleUses_data() {
        QTest::addColumn<uint>("style");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("size");
        QTest::addColumn<bool>("proportions");
        QTest::newRow("classic") << uint(kStyleClassic) << "Bitmap BMP" << "75x75" << false;
        QTest::newRow("modern") << uint(kStyleModern) << "JPEG" << "280x280" << true;
    }
    void showsWhatTheStyleUses() {
        QFETCH(uint, style);
        QFETCH(QString, format);
        QFETCH(QString, size);
        QFETCH(bool, proportions);
        Fixture f;
        const PageSettings before = f.page;
        ThumbnailSettingsDialog dialog(f.page, f.prefs, "", style);
        dialog.show();
        QVERIFY(radio(dialog, 1162)->isChecked());  // « Convertir en : »
        QCOMPARE(formats(dialog)->currentText(), format);
        QCOMPARE(edit(dialog, 1136)->text() + "x" + edit(dialog, 1137)->text(), size);
        QCOMPARE(check(dialog, 1401)->isChecked(), proportions);
        // OK without a change keeps the page following its style.
        button(dialog, 1)->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.page, before);
    }

    // A choice for the modern page is its own: the classic page keeps BMP
    // and 75 x 75.
    void modernChoiceLeavesTheClassicPage() {
        Fixture f;
        ThumbnailSettingsDialog dialog(f.page, f.prefs, "", kStyleModern);
        dialog.show();
        formats(dialog)->setCurrentIndex(3);  // Portable Network Graphic
        edit(dialog, 1136)->setText("320");
        edit(dialog, 1137)->setText("240");
        button(dialog, 1)->click();
        QCOMPARE(thumbnailFormat(f.page, kStyleModern), (ThumbnailFormat{false, 3}));
        QCOMPARE(thumbnailSize(f.page, kStyleModern), (StyleThumbnailSize{320, 240}));
        QCOMPARE(thumbnailFormat(f.page, kStyleClassic), (ThumbnailFormat{false, 0}));
        QCOMPARE(thumbnailSize(f.page, kStyleClassic), (StyleThumbnailSize{75, 75}));
    }

    // « Vignettes » in the page dialog opens on the style shown there, even
    // before OK has stored it.
    // A gallery is modern whatever the style left ticked.
    void pageDialogHandsOnTheStyleShown_data() {
        QTest::addColumn<int>("clicked");  // « Page moderne » or « Galerie »
        QTest::addColumn<QString>("expected");
        QTest::newRow("modern page") << 1403 << "JPEG 280";
        QTest::newRow("gallery, classic left ticked") << 1407 << "JPEG 280";
    }
    void pageDialogHandsOnTheStyleShown() {
        QFETCH(int, clicked);
        Fixture f;
        PageCreationDialog dialog(f.page, f.prefs, "", 3, "/p");
        dialog.show();
        dialog.findChild<QAbstractButton*>(
                  QStringLiteral("%1%2").arg(clicked == 1407 ? "check" : "radio").arg(clicked))
            ->click();
        QString shown;
        whenModalOpens([&](QWidget* modal) {
            if (modal) shown = formats(*modal)->currentText() + " " + edit(*modal, 1136)->text();
        });
        button(dialog, 1118)->click();
        QTEST(shown, "expected");
        QCOMPARE(f.page.style, kStyleClassic);  // not stored before OK
    }
};

QTEST_MAIN(TestModernThumbnails)
#include "modern_thumbnails_test.moc"
