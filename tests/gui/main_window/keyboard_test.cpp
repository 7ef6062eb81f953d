// The keyboard in every window of the program: each mnemonic used once per
// window, Enter confirms and Escape cancels each dialog, Tab goes through
// the main window in the order of its layout, and every control shows
// where the focus is.
#include <QAbstractItemView>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QVBoxLayout>
#include <QImage>
#include <QMessageBox>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <memory>

#include "album/settings.h"
#include "dialogs/about_box.h"
#include "dialogs/page_creation_dialog.h"
#include "dialogs/preferences_dialog.h"
#include "dialogs/progress_box.h"
#include "dialogs/thumbnail_settings_dialog.h"
#include "dialogs/wait_box.h"
#include "locale/french_translations.h"
#include "main_window/main_window.h"
#include "test_support/dialog_test_support.h"
#include "test_support/mnemonics.h"

using namespace lumigal;
using namespace lumigal::test;

namespace {

struct Settings {
    Preferences prefs;
    PageSettings page;
    Settings() {
        initialSettings(prefs, page, "/albums");
        page.pageFolder = "/albums";
    }
};

// Every window of the program, made on `s`, by name.
using Maker = std::function<std::unique_ptr<QWidget>(Settings& s)>;
struct Window {
    const char* name;
    Maker make;
};

const Window kWindows[] = {
    {"page creation",
     [](Settings& s) { return std::make_unique<PageCreationDialog>(s.page, s.prefs, "", 3, "/p"); }},
    {"thumbnails, classic page",
     [](Settings& s) {
         return std::make_unique<ThumbnailSettingsDialog>(s.page, s.prefs, "", kStyleClassic);
     }},
    {"thumbnails, modern page",
     [](Settings& s) {
         return std::make_unique<ThumbnailSettingsDialog>(s.page, s.prefs, "", kStyleModern);
     }},
    {"preferences", [](Settings& s) { return std::make_unique<PreferencesDialog>(s.prefs); }},
    {"about", [](Settings&) { return std::make_unique<AboutBox>(); }},
    {"progress", [](Settings&) { return std::make_unique<ProgressBox>(); }},
    {"wait", [](Settings&) { return std::make_unique<WaitBox>(); }},
    {"main window",
     [](Settings& s) {
         return std::make_unique<MainWindow>(s.prefs, s.page, "/nowhere/Lumigal.html", [] {});
     }},
};

// Whether `widget` looks different with the keyboard's focus on it.
bool focusShows(QWidget* window, QWidget* widget) {
    window->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
    const QImage without = widget->grab().toImage();
    widget->setFocus(Qt::TabFocusReason);
    // As after a Tab key: styles draw the focus for the keyboard's user.
    window->setAttribute(Qt::WA_KeyboardFocusChange);
    QApplication::processEvents();
    return widget->grab().toImage() != without;
}

}  // namespace

class TestKeyboard : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        installFrenchTranslations();
        quietOffscreenWarnings();
        // Screen readers' view of the widgets, as one is running.
        QAccessible::setActive(true);
    }

    void everyMnemonicOnce_data() {
        QTest::addColumn<int>("window");
        for (const Window& w : kWindows) QTest::newRow(w.name) << int(&w - kWindows);
    }
    void everyMnemonicOnce() {
        QFETCH(int, window);
        Settings s;
        const std::unique_ptr<QWidget> shown = kWindows[window].make(s);
        shown->show();
        const QStringList shared = sharedMnemonics(shown.get());
        QVERIFY2(shared.isEmpty(), qPrintable(shared.join(QLatin1Char('\n'))));
    }

    // The walk itself finds a key used twice, and only then.
    void sharedMnemonicIsFound() {
        QDialog dialog;
        auto* layout = new QVBoxLayout(&dialog);
        auto* field = new QLineEdit(&dialog);
        auto* label = new QLabel(QStringLiteral("&Marge intérieure :"), &dialog);
        label->setBuddy(field);
        layout->addWidget(label);
        layout->addWidget(field);
        layout->addWidget(new QCheckBox(QStringLiteral("Garder les pro&portions"), &dialog));
        layout->addWidget(new QPushButton(QStringLiteral("Fish && &chips"), &dialog));
        QVERIFY(sharedMnemonics(&dialog).isEmpty());
        layout->addWidget(new QPushButton(QStringLiteral("&Mettre"), &dialog));
        QCOMPARE(sharedMnemonics(&dialog).size(), 1);
        QVERIFY(sharedMnemonics(&dialog).front().startsWith(QStringLiteral("Alt+M")));
    }

    void messageBoxMnemonicsOnce() {
        const MessageRecord question{QStringLiteral("q"),
                                     QMessageBox::Question,
                                     QStringLiteral("Lumigal"),
                                     QStringLiteral("La page existe déjà. La remplacer ?"),
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No,
                                     {{QMessageBox::Yes, QStringLiteral("&Oui")},
                                      {QMessageBox::No, QStringLiteral("&Non")}}};
        QStringList shared{QStringLiteral("box never shown")};
        whenModalOpens([&](QWidget* modal) { shared = sharedMnemonics(modal); });
        MessageBoxHandler::show(nullptr, question);
        QVERIFY2(shared.isEmpty(), qPrintable(shared.join(QLatin1Char('\n'))));
    }

    // Enter in a field confirms with what the dialog shows; Escape cancels.
    void enterConfirmsEscapeCancels_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        for (int w = 0; w < 4; ++w) {
            QTest::addRow("%s, Enter", kWindows[w].name) << w << int(Qt::Key_Return)
                                                        << int(QDialog::Accepted);
            QTest::addRow("%s, Escape", kWindows[w].name) << w << int(Qt::Key_Escape)
                                                         << int(QDialog::Rejected);
        }
    }
    void enterConfirmsEscapeCancels() {
        QFETCH(int, window);
        QFETCH(int, key);
        QFETCH(int, result);
        Settings s;
        std::unique_ptr<QWidget> made = kWindows[window].make(s);
        auto* dialog = qobject_cast<QDialog*>(made.get());
        QVERIFY(dialog);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QLineEdit* field = dialog->findChildren<QLineEdit*>().value(0);
        QVERIFY(field);
        field->setFocus();
        const bool pageDialog = qobject_cast<PageCreationDialog*>(dialog) != nullptr;
        if (pageDialog) {
            // The title typed last, as a user does before pressing Enter.
            QLineEdit* title = edit(*dialog, 1137);
            title->setFocus();
            title->selectAll();
            QTest::keyClicks(title, QStringLiteral("Vacances"));
            field = title;
        }
        QTest::keyClick(field, static_cast<Qt::Key>(key));
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), result);
        if (pageDialog && result == QDialog::Accepted) {
            QCOMPARE(s.page.pageTitle, std::string("Vacances"));
            QCOMPARE(s.page.pagePath, std::string("/albums/LUM000.htm"));
        }
    }

    // A picture button says what it does: a text with its key, and a name
    // for screen readers.
    void pictureButtonsSayWhatTheyDo_data() {
        QTest::addColumn<int>("window");
        for (int w = 0; w < 4; ++w) QTest::newRow(kWindows[w].name) << w;
    }
    void pictureButtonsSayWhatTheyDo() {
        QFETCH(int, window);
        Settings s;
        const std::unique_ptr<QWidget> shown = kWindows[window].make(s);
        int pictures = 0;
        for (QPushButton* button : shown->findChildren<QPushButton*>()) {
            if (button->icon().isNull()) continue;
            ++pictures;
            QVERIFY2(!mnemonicOf(button->text()).isNull(), qPrintable(button->objectName()));
            QVERIFY2(!button->accessibleName().isEmpty(), qPrintable(button->objectName()));
        }
        QVERIFY(pictures > 0);
    }

    // The grouped radio buttons are radio buttons to screen readers, in
    // their groups: one accessible parent per group, holding no other radio.
    void radioButtonsAreRadioButtons_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<QList<int>>("groups");  // control numbers, 0 between groups
        QTest::newRow("page creation")
            << 0 << QList<int>{1342, 1358, 0, 1161, 1162, 1278, 1280, 0, 1402, 1403};
        QTest::newRow("thumbnails") << 1 << QList<int>{1161, 1162};
    }
    void radioButtonsAreRadioButtons() {
        QFETCH(int, window);
        QFETCH(QList<int>, groups);
        Settings s;
        s.page.details = 1;
        s.page.thumbnail = 1;  // both checked: the program may set any combination
        const std::unique_ptr<QWidget> shown = kWindows[window].make(s);
        shown->show();
        QList<QList<QAccessibleInterface*>> members{{}};
        for (int id : groups) {
            if (id == 0) {
                members.append(QList<QAccessibleInterface*>());
                continue;
            }
            QRadioButton* button = radio(*shown, id);
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(button);
            QVERIFY(face);
            QCOMPARE(face->role(), QAccessible::RadioButton);
            QVERIFY(face->state().checkable);
            QCOMPARE(bool(face->state().checked), button->isChecked());
            QCOMPARE(face->text(QAccessible::Name),
                     QString(button->text()).remove(QLatin1Char('&')));
            members.back().append(face);
        }
        for (const QList<QAccessibleInterface*>& group : members) {
            QAccessibleInterface* parent = group.front()->parent();
            QVERIFY(parent);
            int radios = 0;
            for (int i = 0; i < parent->childCount(); ++i) {
                QAccessibleInterface* child = parent->child(i);
                if (child && child->role() == QAccessible::RadioButton) ++radios;
            }
            for (QAccessibleInterface* member : group)
                QCOMPARE(member->parent()->object(), parent->object());
            QCOMPARE(radios, int(group.size()));
        }
        // Pressed through the screen reader: that radio alone is checked.
        QAccessibleInterface* second = members.front().at(1);
        second->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(!radio(*shown, groups.front())->isChecked());
        QVERIFY(second->state().checked);
    }

    // Tab from the top goes through the main window as it is laid out: the
    // folder bar, the side bar and the list, the name and type, the
    // selection and action buttons, the destination, and Quitter.
    void tabFollowsTheLayout() {
        Settings s;
        QTemporaryDir dir;
        s.prefs.pathLaunch = dir.path().toStdString();
        MainWindow w(s.prefs, s.page, "/nowhere/Lumigal.html", [] {});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("treeView"));
        QWidget* first = w.findChild<QWidget*>(QStringLiteral("lookInCombo"));
        QVERIFY(first);
        first->setFocus(Qt::TabFocusReason);
        QStringList order;
        for (QWidget* at = first; order.size() < 40; at = QApplication::focusWidget()) {
            const QString name = at->objectName();
            if (!order.isEmpty() && name == order.front()) break;
            order << name;
            QTest::keyClick(at, Qt::Key_Tab);
        }
        const QStringList expected = {
            "lookInCombo", "backButton", "toParentButton", "newFolderButton",
            "listModeButton", "detailModeButton", "sidebar", "treeView", "fileNameEdit",
            "fileTypeCombo", QString::number(MainWindow::kSelectFolder),
            QString::number(MainWindow::kSelectTree), QString::number(MainWindow::kHelp),
            QString::number(MainWindow::kCreatePage), "1319", "1320",
            QString::number(MainWindow::kQuit)};
        QCOMPARE(order.join(QLatin1Char(' ')), expected.join(QLatin1Char(' ')));
    }

    // The main window's own keys land on their control.
    void mainWindowKeysReachTheirControl_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("focused");
        QTest::newRow("Alt+T: the destination") << int(Qt::Key_T) << "1319";
        QTest::newRow("Alt+N: the file name") << int(Qt::Key_N) << "fileNameEdit";
    }
    void mainWindowKeysReachTheirControl() {
        QFETCH(int, key);
        Settings s;
        QTemporaryDir dir;
        s.prefs.pathLaunch = dir.path().toStdString();
        MainWindow w(s.prefs, s.page, "/nowhere/Lumigal.html", [] {});
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QWidget* list = w.findChild<QWidget*>(QStringLiteral("treeView"));
        QVERIFY(list);
        list->setFocus();
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), Qt::AltModifier);
        QFETCH(QString, focused);
        QTRY_COMPARE(QApplication::focusWidget()->objectName(), focused);
    }

    // Every control reached by Tab shows that it has the focus.
    void focusIsVisible() {
        Settings s;
        QTemporaryDir dir;
        QImage(8, 8, QImage::Format_RGB32).save(dir.filePath("a.png"));
        s.prefs.pathLaunch = dir.path().toStdString();
        MainWindow w(s.prefs, s.page, "/nowhere/Lumigal.html", [] {});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::qWait(50);  // the folder read
        QStringList hidden;
        for (QWidget* widget : w.findChildren<QWidget*>()) {
            if (!widget->isVisible() || !widget->isEnabled() ||
                !(widget->focusPolicy() & Qt::TabFocus) || widget->focusProxy())
                continue;
            if (qobject_cast<QAbstractItemView*>(widget->parentWidget())) continue;  // editors
            if (!focusShows(&w, widget)) hidden << widget->objectName() + "/" +
                                                     widget->metaObject()->className();
        }
        QVERIFY2(hidden.isEmpty(), qPrintable(hidden.join(QLatin1String(", "))));
    }
};

QTEST_MAIN(TestKeyboard)
#include "keyboard_test.moc"
