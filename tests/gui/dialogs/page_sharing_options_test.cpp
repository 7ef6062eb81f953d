// The page creation dialog's style and sharing options: the modern page,
// the portable album, its web size and the location kept in its copies;
// the gallery, the order of the photos and the photos per page.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QtTest>

#include "dialogs/page_creation_dialog.h"
#include "page_dialog_fixture.h"
#include "test_support/dialog_test_support.h"

using namespace lumigal;
using namespace lumigal::test;

class TestPageSharingOptions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void styleAndSharingOpenAsStoredAndOkStoresThem_data();
    void styleAndSharingOpenAsStoredAndOkStoresThem();
    void keepLocationOpensAsStoredAndOnlyOkStoresIt_data();
    void keepLocationOpensAsStoredAndOnlyOkStoresIt();
    void galleryOptionsOpenAsStoredAndOkStoresThem_data();
    void galleryOptionsOpenAsStoredAndOkStoresThem();
    void galleryOptionsHaveTheirOwnKeys_data();
    void galleryOptionsHaveTheirOwnKeys();
    void singlePageChoicesAreDisabledForAGallery_data();
    void singlePageChoicesAreDisabledForAGallery();
};

void TestPageSharingOptions::styleAndSharingOpenAsStoredAndOkStoresThem_data() {
    QTest::addColumn<quint32>("style");
    QTest::addColumn<quint32>("portable");
    QTest::addColumn<quint32>("webSize");
    QTest::addColumn<int>("clickStyle");  // radio to click, 0: none
    QTest::addColumn<bool>("clickPortable");
    QTest::addColumn<int>("typedWebSize");  // -1: left as it is
    QTest::addColumn<quint32>("storedStyle");
    QTest::addColumn<quint32>("storedPortable");
    QTest::addColumn<quint32>("storedWebSize");
    QTest::newRow("first values kept") << kStyleClassic << 0u << 0u << 0 << false << -1 << kStyleClassic
                                       << 0u << 0u;
    QTest::newRow("modern portable kept") << kStyleModern << 1u << 2048u << 0 << false << -1 << kStyleModern
                                          << 1u << 2048u;
    QTest::newRow("to modern, portable, 1600") << kStyleClassic << 0u << 0u << 1403 << true << 1600
                                               << kStyleModern << 1u << 1600u;
    QTest::newRow("back to classic, not portable") << kStyleModern << 1u << 800u << 1402 << true << -1
                                                   << kStyleClassic << 0u << 800u;
    QTest::newRow("stored size too large") << kStyleClassic << 1u << 999999u << 0 << false << -1
                                           << kStyleClassic << 1u << 16384u;
}

void TestPageSharingOptions::styleAndSharingOpenAsStoredAndOkStoresThem() {
    QFETCH(quint32, style);
    QFETCH(quint32, portable);
    QFETCH(quint32, webSize);
    QFETCH(int, clickStyle);
    QFETCH(bool, clickPortable);
    QFETCH(int, typedWebSize);
    Fixture f;
    f.page.style = style;
    f.page.portable = portable;
    f.page.webSize = webSize;
    PageCreationDialog dialog(f.page, f.prefs, {}, 1, "/p");
    dialog.show();
    QCOMPARE(radio(dialog, 1403)->isChecked(), style == kStyleModern);
    QCOMPARE(radio(dialog, 1402)->isChecked(), style != kStyleModern);
    QCOMPARE(check(dialog, 1404)->isChecked(), portable != 0);
    QSpinBox* size = control<QSpinBox>(dialog, "edit", 1405);
    QCOMPARE(size->isEnabled(), portable != 0);  // a web size only means something for a portable album
    for (int id : {1402, 1403, 1404, 1405}) {
        QWidget* w = dialog.findChild<QWidget*>(QStringLiteral("%1%2").arg(id == 1404 ? "check" : id == 1405 ? "edit" : "radio").arg(id));
        QVERIFY2(!w->whatsThis().isEmpty(), "every new control explains itself");
    }
    if (clickStyle) radio(dialog, clickStyle)->click();
    if (clickPortable) check(dialog, 1404)->click();
    QCOMPARE(size->isEnabled(), check(dialog, 1404)->isChecked());
    if (typedWebSize >= 0) size->setValue(typedWebSize);
    button(dialog, 1)->click();
    QTEST(f.page.style, "storedStyle");
    QTEST(f.page.portable, "storedPortable");
    QTEST(f.page.webSize, "storedWebSize");
}

void TestPageSharingOptions::keepLocationOpensAsStoredAndOnlyOkStoresIt_data() {
    QTest::addColumn<quint32>("stored");
    QTest::addColumn<quint32>("portable");
    QTest::addColumn<int>("closeWith");  // button 1: OK, 2: Annuler
    QTest::addColumn<quint32>("storedAfter");
    QTest::newRow("set, OK") << 0u << 1u << 1 << 1u;
    QTest::newRow("cleared, OK") << 1u << 1u << 1 << 0u;
    QTest::newRow("set, Annuler") << 0u << 1u << 2 << 0u;
    QTest::newRow("cleared, Annuler") << 1u << 1u << 2 << 1u;
    QTest::newRow("not portable: set by the keyboard once enabled") << 0u << 0u << 1 << 1u;
}

void TestPageSharingOptions::keepLocationOpensAsStoredAndOnlyOkStoresIt() {
    QFETCH(quint32, stored);
    QFETCH(quint32, portable);
    QFETCH(int, closeWith);
    Fixture f;
    f.page.keepLocation = stored;
    f.page.portable = portable;
    PageCreationDialog dialog(f.page, f.prefs, {}, 1, "/p");
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCheckBox* keep = check(dialog, 1406);
    QCOMPARE(withoutMnemonic(keep->text()), QStringLiteral("Garder le lieu de prise de vue"));
    QVERIFY(!keep->whatsThis().isEmpty());
    QCOMPARE(keep->isChecked(), stored != 0);
    QCOMPARE(keep->isEnabled(), portable != 0);
    if (!portable) {
        check(dialog, 1404)->click();
        QVERIFY(keep->isEnabled());
    }
    // Its own key: Alt+U lands on it and toggles it.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_U, Qt::AltModifier);
    QTRY_COMPARE(keep->isChecked(), stored == 0);
    button(dialog, closeWith)->click();
    QTEST(f.page.keepLocation, "storedAfter");
}

void TestPageSharingOptions::galleryOptionsOpenAsStoredAndOkStoresThem_data() {
    QTest::addColumn<quint32>("gallery");
    QTest::addColumn<quint32>("sortOrder");
    QTest::addColumn<quint32>("reverse");
    QTest::addColumn<quint32>("perPage");
    QTest::addColumn<int>("shownPerPage");
    QTest::addColumn<bool>("clickGallery");
    QTest::addColumn<int>("chosenOrder");   // -1: left as it is
    QTest::addColumn<bool>("clickReverse");
    QTest::addColumn<int>("typedPerPage");  // -1: left as it is
    QTest::addColumn<int>("closeWith");     // button 1: OK, 2: Annuler
    QTest::addColumn<quint32>("storedGallery");
    QTest::addColumn<quint32>("storedOrder");
    QTest::addColumn<quint32>("storedReverse");
    QTest::addColumn<quint32>("storedPerPage");
    QTest::newRow("first values: the gallery's 100 a page")
        << 0u << kSortOfTri << 0u << kPerPageOfStyle << 100 << false << -1 << false << -1 << 1
        << 0u << kSortOfTri << 0u << 100u;
    QTest::newRow("gallery by date, reversed, 25 kept")
        << 1u << kSortByDate << 1u << 25u << 25 << false << -1 << false << -1 << 1
        << 1u << kSortByDate << 1u << 25u;
    QTest::newRow("ticked, by name, reversed, 40")
        << 0u << kSortOfTri << 0u << kPerPageOfStyle << 100 << true << int(kSortByName) << true << 40 << 1
        << 1u << kSortByName << 1u << 40u;
    QTest::newRow("all on one page shown as 0")
        << 1u << kSortNone << 0u << kOnePage << 0 << false << -1 << false << -1 << 1
        << 1u << kSortNone << 0u << kOnePage;
    QTest::newRow("0 typed: all on one page")
        << 1u << kSortByName << 0u << 50u << 50 << false << -1 << false << 0 << 1
        << 1u << kSortByName << 0u << kOnePage;
    QTest::newRow("unticked, the order kept")
        << 1u << kSortByDate << 1u << 30u << 30 << true << -1 << false << -1 << 1
        << 0u << kSortByDate << 1u << 30u;
    QTest::newRow("order out of range, too many a page")
        << 1u << 9u << 0u << 999999u << 10000 << false << -1 << false << -1 << 1
        << 1u << kSortOfTri << 0u << 10000u;
    QTest::newRow("Annuler keeps them")
        << 0u << kSortByDate << 0u << 20u << 20 << true << int(kSortNone) << true << 60 << 2
        << 0u << kSortByDate << 0u << 20u;
}

void TestPageSharingOptions::galleryOptionsOpenAsStoredAndOkStoresThem() {
    QFETCH(quint32, gallery);
    QFETCH(quint32, sortOrder);
    QFETCH(quint32, reverse);
    QFETCH(quint32, perPage);
    QFETCH(bool, clickGallery);
    QFETCH(int, chosenOrder);
    QFETCH(bool, clickReverse);
    QFETCH(int, typedPerPage);
    QFETCH(int, closeWith);
    Fixture f;
    f.page.style = kStyleClassic;
    f.page.gallery = gallery;
    f.page.sortOrder = sortOrder;
    f.page.reverseOrder = reverse;
    f.page.perPage = perPage;
    PageCreationDialog dialog(f.page, f.prefs, {}, 1, "/p");
    dialog.show();
    QCheckBox* galleryBox = check(dialog, 1407);
    auto* order = control<QComboBox>(dialog, "combo", 1408);
    QCheckBox* reversed = check(dialog, 1409);
    auto* perPageBox = control<QSpinBox>(dialog, "edit", 1410);
    QCOMPARE(withoutMnemonic(galleryBox->text()), QStringLiteral("Galerie\u00A0: un album par dossier"));
    QCOMPARE(galleryBox->isChecked(), gallery != 0);
    QCOMPARE(quint32(order->currentIndex()), sortOrder <= kSortNone ? sortOrder : kSortOfTri);
    QCOMPARE(reversed->isChecked(), reverse != 0);
    QTEST(perPageBox->value(), "shownPerPage");
    for (QWidget* w : {static_cast<QWidget*>(galleryBox), static_cast<QWidget*>(order),
                       static_cast<QWidget*>(reversed), static_cast<QWidget*>(perPageBox)})
        QVERIFY2(!w->whatsThis().isEmpty(), qPrintable(w->objectName()));
    if (clickGallery) galleryBox->click();
    // The classic page keeps « Trier »: the order is for galleries (and
    // modern pages), the photos per page for galleries, which are portable.
    const bool ticked = galleryBox->isChecked();
    QCOMPARE(perPageBox->isEnabled(), ticked);
    QCOMPARE(order->isEnabled(), ticked);
    QCOMPARE(check(dialog, 1406)->isEnabled(), ticked || check(dialog, 1404)->isChecked());
    if (chosenOrder >= 0) order->setCurrentIndex(chosenOrder);
    if (clickReverse) reversed->click();
    if (typedPerPage >= 0) perPageBox->setValue(typedPerPage);
    button(dialog, closeWith)->click();
    QTEST(f.page.gallery, "storedGallery");
    QTEST(f.page.sortOrder, "storedOrder");
    QTEST(f.page.reverseOrder, "storedReverse");
    QTEST(f.page.perPage, "storedPerPage");
}

void TestPageSharingOptions::galleryOptionsHaveTheirOwnKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("focused");
    QTest::newRow("Alt+A") << int(Qt::Key_A) << "check1407";
    QTest::newRow("Alt+Y") << int(Qt::Key_Y) << "combo1408";
    QTest::newRow("Alt+Z") << int(Qt::Key_Z) << "check1409";
    QTest::newRow("Alt+J") << int(Qt::Key_J) << "edit1410";
}

void TestPageSharingOptions::galleryOptionsHaveTheirOwnKeys() {
    QFETCH(int, key);
    Fixture f;
    f.page.gallery = 1;
    PageCreationDialog dialog(f.page, f.prefs, {}, 1, "/p");
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), Qt::AltModifier);
    QFETCH(QString, focused);
    QTRY_COMPARE(QApplication::focusWidget()->objectName(), focused);
}

void TestPageSharingOptions::singlePageChoicesAreDisabledForAGallery_data() {
    QTest::addColumn<quint32>("gallery");
    QTest::addColumn<int>("clicks");  // times « Galerie » is clicked
    QTest::newRow("opened as a gallery") << 1u << 0;
    QTest::newRow("opened as a page") << 0u << 0;
    QTest::newRow("ticked") << 0u << 1;
    QTest::newRow("ticked then unticked") << 0u << 2;
    QTest::newRow("unticked") << 1u << 1;
}

void TestPageSharingOptions::singlePageChoicesAreDisabledForAGallery() {
    QFETCH(quint32, gallery);
    QFETCH(int, clicks);
    Fixture f;
    f.page.gallery = gallery;
    PageCreationDialog dialog(f.page, f.prefs, {}, 1, "/p");
    QCheckBox* galleryBox = check(dialog, 1407);
    for (int i = 0; i < clicks; ++i) galleryBox->click();
    const bool ticked = galleryBox->isChecked();
    QCOMPARE(ticked, ((gallery != 0) + clicks) % 2 == 1);
    // Layout, style and sharing of single pages: shown, but off for a gallery.
    for (const char* name : {"radio1342", "radio1358", "radio1161", "radio1162", "radio1278", "radio1280",
                             "check1350", "check1351", "check1352", "radio1402", "radio1403", "check1404"}) {
        QWidget* w = dialog.findChild<QWidget*>(QString::fromLatin1(name));
        QVERIFY2(w, name);
        QVERIFY2(w->isEnabled() == !ticked, name);
    }
    // What a gallery uses stays on.
    for (const char* name : {"edit1136", "edit1137", "edit1405", "check1406", "combo1408", "button1300"}) {
        QWidget* w = dialog.findChild<QWidget*>(QString::fromLatin1(name));
        QVERIFY2(w, name);
        QVERIFY2(w->isEnabled() || !ticked, name);
    }
}

QTEST_MAIN(TestPageSharingOptions)
#include "page_sharing_options_test.moc"
