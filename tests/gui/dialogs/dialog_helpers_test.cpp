// The shared pieces of the dialogs: centring, the colour chooser, the
// message and help hooks, field parsing, the up-down field, radio groups,
// the eliding label and the pictures.
#include <QColorDialog>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QTemporaryDir>
#include <QtTest>

#include "test_support/dialog_test_support.h"
#include "dialogs/art.h"
#include "dialogs/elided_label.h"
#include "dialogs/field_text.h"
#include "dialogs/radio_group.h"
#include "dialogs/wrap_spin_edit.h"

using namespace lumigal;
using namespace lumigal::test;

class TestDialogHelpers : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void centredPosition_data();
    void centredPosition();
    void centreOnScreenMovesTheWindow();
    void colourConversion_data();
    void colourConversion();
    void pickColourOpensOnBlackWithWhiteCustomColours();
    void pickColourCancelledKeepsTheColour();
    void pickColourUsesTheHook();
    void messageHookAnswersEveryBox();
    void messageBoxShowsTheRecord_data();
    void messageBoxShowsTheRecord();
    void missingHelpFileIsReported();
    void helpWithoutABrowserIsReported_data();
    void helpWithoutABrowserIsReported();
    void parseUnsignedField_data();
    void parseUnsignedField();
    void truncateToCodePoints_data();
    void truncateToCodePoints();
    void wrapSteps_data();
    void wrapSteps();
    void radioGroupChecksOneOnClickOrArrow();
    void elidedLabelKeepsTheWholeText();
    void picturesAreCompiledIn();
};

void TestDialogHelpers::centredPosition_data() {
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QPoint>("position");
    QTest::newRow("even") << QRect(0, 0, 800, 600) << QSize(200, 100) << 0 << QPoint(300, 250);
    QTest::newRow("odd differences truncate")
        << QRect(0, 0, 801, 601) << QSize(200, 100) << 0 << QPoint(300, 250);
    QTest::newRow("offset shifts right")
        << QRect(0, 0, 800, 600) << QSize(200, 100) << 40 << QPoint(340, 250);
    QTest::newRow("larger than the screen truncates toward zero")
        << QRect(0, 0, 800, 600) << QSize(805, 603) << 0 << QPoint(-2, -1);
    QTest::newRow("second screen")
        << QRect(1920, 0, 1280, 1024) << QSize(280, 24) << 0 << QPoint(2420, 500);
}

void TestDialogHelpers::centredPosition() {
    QFETCH(QRect, screen);
    QFETCH(QSize, window);
    QFETCH(int, offset);
    QFETCH(QPoint, position);
    QCOMPARE(lumigal::centredPosition(screen, window, offset), position);
}

void TestDialogHelpers::centreOnScreenMovesTheWindow() {
    QWidget window;
    window.setFixedSize(210, 130);
    window.move(3, 4);
    window.show();
    const QSize before = window.size();
    centreOnScreen(&window);
    // The frame counts: the window manager's border is part of the window.
    const QRect screen = window.screen()->geometry();
    const QSize frame = window.frameGeometry().size();
    QVERIFY(frame.width() >= 210 && frame.height() >= 130);
    QCOMPARE(window.pos(), QPoint(screen.x() + (screen.width() - frame.width()) / 2,
                                  screen.y() + (screen.height() - frame.height()) / 2));
    QCOMPARE(window.size(), before);
}

void TestDialogHelpers::colourConversion_data() {
    QTest::addColumn<Colour>("colour");
    QTest::addColumn<QColor>("qcolor");
    QTest::newRow("black") << Colour(0) << QColor(0, 0, 0);
    QTest::newRow("red is the low byte") << Colour(0x0000FF) << QColor(255, 0, 0);
    QTest::newRow("green") << Colour(0x00FF00) << QColor(0, 255, 0);
    QTest::newRow("blue is the third byte") << Colour(0xFF0000) << QColor(0, 0, 255);
    QTest::newRow("mixed") << Colour(0x336699) << QColor(0x99, 0x66, 0x33);
}

void TestDialogHelpers::colourConversion() {
    QFETCH(Colour, colour);
    QFETCH(QColor, qcolor);
    QCOMPARE(toQColor(colour), qcolor);
    QCOMPARE(toColour(qcolor), colour);
}

void TestDialogHelpers::pickColourOpensOnBlackWithWhiteCustomColours() {
    QWidget owner;
    // Leftovers of an earlier chooser must not survive into the next one.
    QColorDialog::setCustomColor(3, Qt::red);
    bool inspected = false;
    whenModalOpens([&](QWidget* modal) {
        auto* chooser = qobject_cast<QColorDialog*>(modal);
        QVERIFY(chooser != nullptr);
        QCOMPARE(chooser->currentColor(), QColor(Qt::black));
        for (int i = 0; i < QColorDialog::customCount(); ++i)
            QCOMPARE(QColorDialog::customColor(i), QColor(Qt::white));
        chooser->setCurrentColor(QColor(0x12, 0x34, 0x56));
        chooser->accept();
        inspected = true;
    });
    Colour colour = 0x00FF00;
    QVERIFY(pickColour(&owner, colour));
    QVERIFY(inspected);
    QCOMPARE(colour, makeColour(0x12, 0x34, 0x56));
}

void TestDialogHelpers::pickColourCancelledKeepsTheColour() {
    whenModalOpens([](QWidget* modal) {
        auto* chooser = qobject_cast<QColorDialog*>(modal);
        QVERIFY(chooser != nullptr);
        chooser->setCurrentColor(Qt::yellow);
        chooser->reject();
    });
    Colour colour = 0x123456;
    QVERIFY(!pickColour(nullptr, colour));
    QCOMPARE(colour, Colour(0x123456));
}

void TestDialogHelpers::pickColourUsesTheHook() {
    ColourChooserStub stub;
    stub.answers = {Colour(0xABCDEF), std::nullopt};
    Colour colour = 1;
    QVERIFY(pickColour(nullptr, colour));
    QCOMPARE(colour, Colour(0xABCDEF));
    QVERIFY(!pickColour(nullptr, colour));
    QCOMPARE(colour, Colour(0xABCDEF));
    QCOMPARE(stub.calls, 2);
}

void TestDialogHelpers::messageHookAnswersEveryBox() {
    MessageRecorder recorder;
    QWidget parent;
    MessageBoxHandler::warning(&parent, QStringLiteral("one"), QStringLiteral("premier"));
    MessageBoxHandler::critical(nullptr, QStringLiteral("two"), QStringLiteral("second"));
    MessageBoxHandler::information(nullptr, QStringLiteral("three"), QStringLiteral("troisième"));
    QCOMPARE(recorder.identifiers(), (QStringList{"one", "two", "three"}));
    QCOMPARE(recorder.messages[0].icon, QMessageBox::Warning);
    QCOMPARE(recorder.messages[1].icon, QMessageBox::Critical);
    QCOMPARE(recorder.messages[2].icon, QMessageBox::Information);
    for (const MessageRecord& m : recorder.messages) QCOMPARE(m.caption, QStringLiteral("Lumigal"));
    QCOMPARE(recorder.messages[2].text, QStringLiteral("troisième"));
}

// Without a hook: the box shows the record's texts, buttons and default,
// or the caller's own box answers; the button that closed it comes back.
void TestDialogHelpers::messageBoxShowsTheRecord_data() {
    QTest::addColumn<bool>("ownBox");
    QTest::addColumn<int>("closedWith");
    QTest::newRow("message box, Yes") << false << static_cast<int>(QMessageBox::Yes);
    QTest::newRow("message box, No") << false << static_cast<int>(QMessageBox::No);
    QTest::newRow("own box, Ignore") << true << static_cast<int>(QMessageBox::Ignore);
    QTest::newRow("own box, Abort") << true << static_cast<int>(QMessageBox::Abort);
}

void TestDialogHelpers::messageBoxShowsTheRecord() {
    QFETCH(bool, ownBox);
    QFETCH(int, closedWith);
    const MessageRecord message{QStringLiteral("question"),
                                QMessageBox::Question,
                                QStringLiteral("Légende"),
                                QStringLiteral("<b>pas gras</b>"),
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No,
                                {{QMessageBox::Yes, QStringLiteral("&Oui")}}};
    QStringList seen;
    MessageBoxHandler::Presenter presenter;
    if (ownBox) {
        presenter = [&](QWidget*, const MessageRecord& shown) {
            seen << shown.identifier << shown.text;
            return static_cast<QMessageBox::StandardButton>(closedWith);
        };
    } else {
        whenModalOpens([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr) return;
            seen << box->windowTitle() << box->text()
                 << QString::number(static_cast<int>(box->textFormat()))
                 << box->button(QMessageBox::Yes)->text() << box->defaultButton()->text();
            box->button(static_cast<QMessageBox::StandardButton>(closedWith))->click();
        });
    }
    QCOMPARE(static_cast<int>(MessageBoxHandler::show(nullptr, message, presenter)), closedWith);
    const QStringList expected =
        ownBox ? QStringList{"question", "<b>pas gras</b>"}
               : QStringList{"Légende", "<b>pas gras</b>",
                             QString::number(static_cast<int>(Qt::PlainText)), "&Oui",
                             QMessageBox(QMessageBox::Question, {}, {}, QMessageBox::No)
                                 .button(QMessageBox::No)
                                 ->text()};
    QCOMPARE(seen, expected);
}

void TestDialogHelpers::missingHelpFileIsReported() {
    MessageRecorder recorder;
    openHelp(nullptr, "/nowhere/Lumigal.html", 109);
    openHelp(nullptr, "", 109);
    QCOMPARE(recorder.identifiers(), (QStringList{"helpFileMissing", "helpFileMissing"}));
    QVERIFY(recorder.messages[0].text.contains(QStringLiteral("/nowhere/Lumigal.html")));
    QCOMPARE(helpAnchor(109), QStringLiteral("109"));
}

void TestDialogHelpers::parseUnsignedField_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<uint>("value");
    QTest::newRow("zero") << "0" << true << 0u;
    QTest::newRow("number") << "75" << true << 75u;
    QTest::newRow("leading zeros") << "007" << true << 7u;
    QTest::newRow("blanks around") << "  12 " << true << 12u;
    QTest::newRow("largest") << "4294967295" << true << 4294967295u;
    QTest::newRow("one beyond") << "4294967296" << false << 0u;
    QTest::newRow("far beyond") << "123456789012345678901234567890" << false << 0u;
    QTest::newRow("empty") << "" << false << 0u;
    QTest::newRow("blank") << "   " << false << 0u;
    QTest::newRow("sign") << "-1" << false << 0u;
    QTest::newRow("plus") << "+1" << false << 0u;
    QTest::newRow("trailing letters") << "12px" << false << 0u;
    QTest::newRow("inner blank") << "1 2" << false << 0u;
    QTest::newRow("other digits") << QStringLiteral("١٢") << false << 0u;
}

void TestDialogHelpers::parseUnsignedField() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(uint, value);
    const std::optional<std::uint32_t> parsed = lumigal::parseUnsignedField(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid) QCOMPARE(*parsed, value);
}

void TestDialogHelpers::truncateToCodePoints_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("result");
    QTest::newRow("short") << "abc" << 5 << "abc";
    QTest::newRow("cut") << "abcdef" << 4 << "abcd";
    QTest::newRow("accents count once") << QStringLiteral("ééééé") << 3 << QStringLiteral("ééé");
    QTest::newRow("a pair is one character")
        << QStringLiteral("a\U0001F600b") << 2 << QStringLiteral("a\U0001F600");
    QTest::newRow("a pair is never split")
        << QStringLiteral("\U0001F600\U0001F600") << 1 << QStringLiteral("\U0001F600");
}

void TestDialogHelpers::truncateToCodePoints() {
    QFETCH(QString, text);
    QFETCH(int, limit);
    QFETCH(QString, result);
    QCOMPARE(lumigal::truncateToCodePoints(text, limit), result);
}

void TestDialogHelpers::wrapSteps_data() {
    QTest::addColumn<QString>("current");
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("result");
    QTest::newRow("up") << "5" << 1 << 6;
    QTest::newRow("down") << "5" << -1 << 4;
    QTest::newRow("100 up wraps to 1") << "100" << 1 << 1;
    QTest::newRow("1 down wraps to 100") << "1" << -1 << 100;
    QTest::newRow("page up across the top") << "95" << 10 << 5;
    QTest::newRow("page down across the bottom") << "3" << -10 << 93;
    QTest::newRow("0 up") << "0" << 1 << 1;
    QTest::newRow("0 down") << "0" << -1 << 100;
    QTest::newRow("above the range up") << "250" << 1 << 1;
    QTest::newRow("above the range down") << "250" << -1 << 100;
    QTest::newRow("not a number up") << "x" << 1 << 1;
    QTest::newRow("empty down") << "" << -1 << 100;
}

void TestDialogHelpers::wrapSteps() {
    QFETCH(QString, current);
    QFETCH(int, steps);
    QFETCH(int, result);
    QCOMPARE(WrapSpinEdit::stepped(current, steps), result);
}

void TestDialogHelpers::radioGroupChecksOneOnClickOrArrow() {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    QRadioButton* buttons[3];
    for (auto*& button : buttons)
        layout->addWidget(button = new QRadioButton(QStringLiteral("r"), &window));
    new RadioGroup({buttons[0], buttons[1], buttons[2]}, &window);
    // The program may show any combination.
    buttons[0]->setChecked(true);
    buttons[2]->setChecked(true);
    window.show();
    QVERIFY(buttons[0]->isChecked() && buttons[2]->isChecked());

    buttons[1]->click();
    QVERIFY(!buttons[0]->isChecked() && buttons[1]->isChecked() && !buttons[2]->isChecked());
    buttons[1]->click();
    QVERIFY(buttons[1]->isChecked());

    QTest::keyClick(buttons[1], Qt::Key_Down);
    QVERIFY(!buttons[1]->isChecked() && buttons[2]->isChecked());
    QTest::keyClick(buttons[2], Qt::Key_Down);  // wraps to the first
    QVERIFY(buttons[0]->isChecked() && !buttons[2]->isChecked());
    QTest::keyClick(buttons[0], Qt::Key_Up);
    QVERIFY(buttons[2]->isChecked() && !buttons[0]->isChecked());
}

void TestDialogHelpers::elidedLabelKeepsTheWholeText() {
    ElidedLabel label;
    const QString path = QStringLiteral("/un/très/long/chemin/") + QString(300, QLatin1Char('x')) +
                         QStringLiteral("/fin.png");
    label.setText(path);
    label.resize(200, label.sizeHint().height());
    label.show();
    QCOMPARE(label.text(), path);
    QVERIFY(label.shownText().size() < path.size());
    QVERIFY(label.shownText().endsWith(QStringLiteral("fin.png")));
    QCOMPARE(label.toolTip(), path);
    label.setText(QStringLiteral("court"));
    QCOMPARE(label.shownText(), QStringLiteral("court"));
    QVERIFY(label.toolTip().isEmpty());
}

void TestDialogHelpers::picturesAreCompiledIn() {
    const struct {
        Art art;
        QSize size;
    } pictures[] = {{Art::Folder, {16, 16}},      {Art::ColourPie, {16, 16}},
                    {Art::ColourPie, {13, 13}},   {Art::PageGrid, {32, 32}},
                    {Art::ProgramIcon, {32, 32}}, {Art::ProgramIcon, {256, 256}},
                    {Art::OkSign, {47, 47}}};
    for (const auto& picture : pictures) {
        const QPixmap pixmap = artPixmap(picture.art, picture.size);
        QVERIFY(!pixmap.isNull());
        QCOMPARE(pixmap.size(), picture.size);
        // Drawn, not empty: some pixel is opaque.
        const QImage image = pixmap.toImage();
        bool opaque = false;
        for (int y = 0; y < image.height() && !opaque; ++y)
            for (int x = 0; x < image.width() && !opaque; ++x)
                opaque = qAlpha(image.pixel(x, y)) > 200;
        QVERIFY(opaque);
    }
}

// The desktop's opener (xdg-open) hands the manual to a browser, or fails
// when none is set up: that failure comes after openHelp has returned, and
// it is told.
void TestDialogHelpers::helpWithoutABrowserIsReported_data() {
    QTest::addColumn<int>("exitCode");
    QTest::newRow("a browser took it") << 0;
    QTest::newRow("no browser") << 3;
    QTest::newRow("the browser failed") << 4;
}

void TestDialogHelpers::helpWithoutABrowserIsReported() {
    QFETCH(int, exitCode);
    QTemporaryDir bin;
    const QString handed = bin.filePath(QStringLiteral("handed"));
    QFile opener(bin.filePath(QStringLiteral("xdg-open")));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write(QStringLiteral("#!/bin/sh\necho \"$1\" > '%1'\nexit %2\n")
                     .arg(handed)
                     .arg(exitCode)
                     .toUtf8());
    opener.close();
    opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile manual(bin.filePath(QStringLiteral("Lumigal.html")));
    QVERIFY(manual.open(QIODevice::WriteOnly));
    manual.close();
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8() + ":" + path);
    MessageRecorder messages;
    openHelp(nullptr, manual.fileName().toStdString(), 200);
    qputenv("PATH", path);
    QTRY_VERIFY(QFileInfo::exists(handed));
    if (exitCode == 0) {
        QTest::qWait(200);  // the opener's end reaches the program
        QVERIFY(messages.messages.isEmpty());
    } else {
        QTRY_COMPARE(messages.identifiers(), QStringList{QStringLiteral("helpFileNotOpened")});
        QVERIFY(messages.messages.front().text.contains(manual.fileName()));
    }
}

QTEST_MAIN(TestDialogHelpers)
#include "dialog_helpers_test.moc"
