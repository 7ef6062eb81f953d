// The page creation dialog's style and sharing options: the modern page,
// the portable album, its web size and the location kept in its copies.
#include <QCheckBox>
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

QTEST_MAIN(TestPageSharingOptions)
#include "page_sharing_options_test.moc"
