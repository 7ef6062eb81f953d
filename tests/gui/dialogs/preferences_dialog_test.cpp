// The preferences dialog: its state at opening, what OK stores, the folder
// browsers and their titles, the path limit, and Cancel.
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "common/paths.h"
#include "test_support/dialog_test_support.h"
#include "dialogs/preferences_dialog.h"

using namespace lumigal;
using namespace lumigal::test;

namespace {

Preferences storedPreferences() {
    Preferences prefs;
    prefs.installPath = "/opt/lumigal";
    prefs.pathLaunch = "/home/u/Images";
    prefs.pathSave = "/home/u/Albums";
    prefs.pathThumbnail = "/home/u/Albums/Vignettes";
    prefs.bip = 1;
    prefs.launch = 0;
    return prefs;
}

QString labelText(QWidget& d, int id) {
    return control<QLabel>(d, "static", id)->text().remove(QLatin1Char('&'));
}

}  // namespace

class TestPreferencesDialog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void opensWithTheStoredPreferences_data();
    void opensWithTheStoredPreferences();
    void texts();
    void okWithoutChangesKeepsEverything();
    void okStoresWhatIsShown();
    void foldersAreNeitherCheckedNorCreated();
    void browsersFillTheirFields_data();
    void browsersFillTheirFields();
    void browsedFolderThenCancelChangesNothing();
    void tooLongFolderIsRefused_data();
    void tooLongFolderIsRefused();
};

void TestPreferencesDialog::opensWithTheStoredPreferences_data() {
    QTest::addColumn<int>("bip");
    QTest::addColumn<int>("launch");
    QTest::newRow("beep only") << 1 << 0;
    QTest::newRow("browser only") << 0 << 1;
    QTest::newRow("both, stored as 2 and 3") << 2 << 3;
    QTest::newRow("neither") << 0 << 0;
}

void TestPreferencesDialog::opensWithTheStoredPreferences() {
    QFETCH(int, bip);
    QFETCH(int, launch);
    Preferences prefs = storedPreferences();
    prefs.bip = bip;
    prefs.launch = launch;
    PreferencesDialog dialog(prefs);
    dialog.show();
    QCOMPARE(edit(dialog, 1137)->text(), QStringLiteral("/home/u/Images"));
    QCOMPARE(edit(dialog, 1136)->text(), QStringLiteral("/home/u/Albums"));
    QCOMPARE(edit(dialog, 1138)->text(), QStringLiteral("/home/u/Albums/Vignettes"));
    QCOMPARE(check(dialog, 1335)->isChecked(), bip != 0);
    QCOMPARE(check(dialog, 1288)->isChecked(), launch != 0);
    const QRect screen = dialog.screen()->geometry();
    QCOMPARE(dialog.pos(), centredPosition(screen, dialog.frameGeometry().size(), 0));
}

void TestPreferencesDialog::texts() {
    Preferences prefs = storedPreferences();
    PreferencesDialog dialog(prefs);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Lumigal"));
    QCOMPARE(labelText(dialog, 233), QStringLiteral("Paramétrage de Lumigal"));
    QCOMPARE(labelText(dialog, 1328), QStringLiteral("Dossier de lancement par défaut\u00A0:"));
    QCOMPARE(labelText(dialog, 1329), QStringLiteral("Dossier de production par défaut\u00A0:"));
    QCOMPARE(labelText(dialog, 1165), QStringLiteral("Dossier d'accueil des vignettes\u00A0:"));
    QCOMPARE(check(dialog, 1335)->text().remove(QLatin1Char('&')),
             QStringLiteral("Emettre un bip après la conversion"));
    QCOMPARE(check(dialog, 1288)->text().remove(QLatin1Char('&')),
             QStringLiteral("Lancer le butineur en fin de création"));
    QCOMPARE(button(dialog, 1)->text(), QStringLiteral("OK"));
    QCOMPARE(button(dialog, 2)->text(), QStringLiteral("&Annuler"));
    QVERIFY(button(dialog, 1)->isDefault());
    for (int id : {1300, 1117, 1315}) {
        QVERIFY(!button(dialog, id)->icon().isNull());
        QCOMPARE(button(dialog, id)->iconSize(), QSize(16, 16));
    }
}

void TestPreferencesDialog::okWithoutChangesKeepsEverything() {
    Preferences prefs = storedPreferences();
    PreferencesDialog dialog(prefs);
    dialog.show();
    button(dialog, 1)->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(prefs, storedPreferences());
}

void TestPreferencesDialog::okStoresWhatIsShown() {
    Preferences prefs = storedPreferences();
    prefs.bip = 5;  // any non-zero flag is stored back as 1
    PreferencesDialog dialog(prefs);
    dialog.show();
    edit(dialog, 1136)->clear();
    edit(dialog, 1137)->setText(QStringLiteral("/média/photos"));
    edit(dialog, 1138)->setText(QStringLiteral("relative/vignettes"));
    check(dialog, 1288)->click();
    button(dialog, 1)->click();

    Preferences expected = storedPreferences();
    expected.pathSave = "";
    expected.pathLaunch = "/média/photos";
    expected.pathThumbnail = "relative/vignettes";
    expected.bip = 1;
    expected.launch = 1;
    QCOMPARE(prefs, expected);
}

void TestPreferencesDialog::foldersAreNeitherCheckedNorCreated() {
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const QString missing = temporary.filePath(QStringLiteral("pas encore/là"));
    Preferences prefs = storedPreferences();
    MessageRecorder messages;
    PreferencesDialog dialog(prefs);
    dialog.show();
    edit(dialog, 1136)->setText(missing);
    edit(dialog, 1138)->setText(missing);
    button(dialog, 1)->click();
    QVERIFY(messages.messages.isEmpty());
    QCOMPARE(QString::fromStdString(prefs.pathSave), missing);
    QCOMPARE(QString::fromStdString(prefs.pathThumbnail), missing);
    QVERIFY(!QDir(missing).exists());
    QVERIFY(!QDir(temporary.filePath(QStringLiteral("pas encore"))).exists());
}

void TestPreferencesDialog::browsersFillTheirFields_data() {
    QTest::addColumn<int>("buttonId");
    QTest::addColumn<int>("fieldId");
    QTest::addColumn<QString>("title");
    QTest::newRow("launch") << 1300 << 1137 << QStringLiteral("Dossier de lancement par défaut\u00A0:");
    QTest::newRow("save") << 1117 << 1136 << QStringLiteral("Dossier de production par défaut\u00A0:");
    QTest::newRow("thumbnails") << 1315 << 1138
                                << QStringLiteral("Dossier d'accueil des vignettes\u00A0:");
}

void TestPreferencesDialog::browsersFillTheirFields() {
    QFETCH(int, buttonId);
    QFETCH(int, fieldId);
    QFETCH(QString, title);
    FolderBrowserStub browser;
    browser.answer = QStringLiteral("/choisi");
    Preferences prefs = storedPreferences();
    PreferencesDialog dialog(prefs);
    dialog.show();
    const QStringList before = {edit(dialog, 1136)->text(), edit(dialog, 1137)->text(),
                                edit(dialog, 1138)->text()};
    button(dialog, buttonId)->click();
    QCOMPARE(browser.titles, QStringList{title});
    QCOMPARE(edit(dialog, fieldId)->text(), QStringLiteral("/choisi"));
    const int ids[] = {1136, 1137, 1138};
    for (int i = 0; i < 3; ++i)
        if (ids[i] != fieldId) QCOMPARE(edit(dialog, ids[i])->text(), before[i]);
    QCOMPARE(prefs, storedPreferences());  // nothing stored before OK

    // A cancelled browser leaves the field as it is.
    browser.answer.reset();
    button(dialog, buttonId)->click();
    QCOMPARE(edit(dialog, fieldId)->text(), QStringLiteral("/choisi"));
}

void TestPreferencesDialog::browsedFolderThenCancelChangesNothing() {
    FolderBrowserStub browser;
    browser.answer = QStringLiteral("/ailleurs");
    Preferences prefs = storedPreferences();
    PreferencesDialog dialog(prefs);
    dialog.show();
    for (int id : {1300, 1117, 1315}) button(dialog, id)->click();
    check(dialog, 1335)->click();
    button(dialog, 2)->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(prefs, storedPreferences());

    PreferencesDialog escaped(prefs);
    escaped.show();
    edit(escaped, 1136)->setText(QStringLiteral("/x"));
    QTest::keyClick(&escaped, Qt::Key_Escape);
    QCOMPARE(escaped.result(), int(QDialog::Rejected));
    QCOMPARE(prefs, storedPreferences());
}

void TestPreferencesDialog::tooLongFolderIsRefused_data() {
    QTest::addColumn<int>("fieldId");
    QTest::addColumn<QString>("label");
    QTest::newRow("launch") << 1137 << QStringLiteral("Dossier de lancement par défaut");
    QTest::newRow("save") << 1136 << QStringLiteral("Dossier de production par défaut");
    QTest::newRow("thumbnails") << 1138 << QStringLiteral("Dossier d'accueil des vignettes");
}

void TestPreferencesDialog::tooLongFolderIsRefused() {
    QFETCH(int, fieldId);
    QFETCH(QString, label);
    MessageRecorder messages;
    Preferences prefs = storedPreferences();
    PreferencesDialog dialog(prefs);
    dialog.show();
    check(dialog, 1288)->click();
    // Two-byte characters: the limit counts bytes.
    edit(dialog, fieldId)->setText(QString(int(kMaxPath) / 2 + 1, QChar(u'é')));
    button(dialog, 1)->click();

    QCOMPARE(messages.identifiers(), QStringList{PreferencesDialog::kFolderTooLong});
    QVERIFY(messages.messages.first().text.contains(label));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.focusWidget(), edit(dialog, fieldId));
    QCOMPARE(prefs, storedPreferences());
}

QTEST_MAIN(TestPreferencesDialog)
#include "preferences_dialog_test.moc"
