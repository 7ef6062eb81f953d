// The dialogs at twice the size (QT_SCALE_FACTOR=2) on a 1600 x 1000
// screen: every button stays on the screen, where the user can reach it.
#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "album/settings.h"
#include "dialogs/page_creation_dialog.h"
#include "dialogs/preferences_dialog.h"
#include "dialogs/thumbnail_settings_dialog.h"
#include "test_support/dialog_test_support.h"

using namespace lumigal;
using namespace lumigal::test;

class TestScale : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        quietOffscreenWarnings();
        QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), QSize(800, 500));
    }

    void buttonsStayOnTheScreen_data() {
        QTest::addColumn<int>("dialog");
        QTest::newRow("page creation") << 0;
        QTest::newRow("thumbnails") << 1;
        QTest::newRow("preferences") << 2;
    }
    void buttonsStayOnTheScreen() {
        QFETCH(int, dialog);
        Preferences prefs;
        PageSettings page;
        initialSettings(prefs, page, "/albums");
        std::unique_ptr<QDialog> shown;
        if (dialog == 0) shown = std::make_unique<PageCreationDialog>(page, prefs, "", 12, "/p");
        if (dialog == 1) shown = std::make_unique<ThumbnailSettingsDialog>(page, prefs, "");
        if (dialog == 2) shown = std::make_unique<PreferencesDialog>(prefs);
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown.get()));
        const QRect screen = shown->screen()->availableGeometry();
        QVERIFY2(screen.contains(shown->frameGeometry()),
                 qPrintable(QStringLiteral("%1x%2").arg(shown->width()).arg(shown->height())));
        int reachable = 0;
        for (QPushButton* button : shown->findChildren<QPushButton*>()) {
            // Those in the scrolled fields come into view as the focus reaches them.
            if (!button->isVisibleTo(shown.get()) || button->parentWidget()->inherits("QScrollArea") ||
                (shown->findChild<QScrollArea*>() &&
                 shown->findChild<QScrollArea*>()->widget()->isAncestorOf(button)))
                continue;
            const QRect at(button->mapToGlobal(QPoint(0, 0)), button->size());
            QVERIFY2(screen.contains(at), qPrintable(button->objectName()));
            QVERIFY2(shown->rect().contains(QRect(button->mapTo(shown.get(), QPoint(0, 0)),
                                                  button->size())),
                     qPrintable(button->objectName()));
            ++reachable;
        }
        QVERIFY(reachable >= 2);  // at least OK and Cancel
    }
};

int main(int argc, char** argv) {
    // A 1600 x 1000 screen at twice the size: 800 x 500 to the widgets.
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return 1;
    file.write(R"({"screens": [{"name": "ecran", "x": 0, "y": 0, "width": 1600,
                   "height": 1000, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toUtf8());
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestScale test;
    return QTest::qExec(&test, argc, argv);
}

#include "scale_test.moc"
