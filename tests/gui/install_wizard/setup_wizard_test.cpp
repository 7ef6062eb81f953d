// The setup wizard, offscreen: the way through the five pages, the buttons
// of each page, Back, Cancel and the exit code of every way out; the
// background's painting; uninst's questions.
#include "install_wizard/setup_wizard.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "album/settings.h"
#include "install_wizard/abandon_box.h"
#include "install_wizard/background_window.h"
#include "install_wizard/file_error_box.h"
#include "install_wizard/finish_page.h"
#include "install_wizard/folder_page.h"
#include "install/folders.h"
#include "install/installation.h"
#include "install_wizard/options_page.h"
#include "install_wizard/setup_boxes.h"
#include "install_wizard/uninstall_flow.h"
#include "install/xdg_dirs.h"
#include "platform/registry.h"
#include "test_support/sandbox.h"
#include "test_support/mnemonics.h"
#include "test_support/scripted_boxes.h"

using namespace lumigal::install;
namespace Box = lumigal::install::test::Box;
using lumigal::install::test::ScriptedBoxes;
using Outcome = SetupWizard::Outcome;

namespace {

// The state of the wizard's buttons: which are shown and usable.
struct Buttons {
    bool back;    // Back enabled
    bool next;    // Next (or the options page's commit button) shown and enabled
    bool finish;  // Finish shown and enabled
};

bool usable(QAbstractButton* button) { return button->isVisible() && button->isEnabled(); }

Buttons buttonsOf(SetupWizard& wizard) {
    return {
        wizard.button(QWizard::BackButton)->isEnabled(),
        usable(wizard.button(QWizard::NextButton)) || usable(wizard.button(QWizard::CommitButton)),
        usable(wizard.button(QWizard::FinishButton))};
}

}  // namespace

class SetupWizardTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void buttonsOfEachPage();
    void cancelOnEachPage_data();
    void cancelOnEachPage();
    void backOnEachPage();
    void folderPageChecksTheFolder();
    void browsersChangeOnlyWhenAFolderIsPicked();
    void optionsDecideTheSummaryAndTheInstallation();
    void finishOpensTheReadMeThenStartsTheProgram_data();
    void finishOpensTheReadMeThenStartsTheProgram();
    void quitOnAFileEndsAtOnce();
    void titleFonts();
    void backgroundRampIsStretchedOverTheWindow();
    void centreWindowCentresEvenLargeWindows();
    void uninstallAsksFirst();
    void boxesShowTheirMessages();
    void everyMnemonicOnce();

private:
    void writePayload(const QStringList& leaveOut = {});
    void makeWizard();
    void next();
    void cancel() { wizard->button(QWizard::CancelButton)->click(); }
    int countShown(const QString& box) const;
    void goTo(int page);

    std::unique_ptr<lumigal::install::test::Sandbox> sandbox;
    std::string setupFolder;
    std::string installFolder;
    SetupEnvironment environment;
    InstallState state;
    ScriptedBoxes boxes;
    QStringList shellCalls;
    std::unique_ptr<BackgroundWindow> background;
    std::unique_ptr<SetupWizard> wizard;
};

void SetupWizardTest::init() {
    sandbox = std::make_unique<lumigal::install::test::Sandbox>();
    setupFolder = sandbox->path("setup") + "/";
    installFolder = sandbox->home() + "/.local/opt/Lumigal";
    lumigal::install::test::makeFolders(setupFolder);
    writePayload();
    environment = SetupEnvironment{};
    environment.defaultFolder = QString::fromStdString(installFolder);
    environment.setupFolder = setupFolder;
    environment.startMenuRoot = startMenuRoot();
    environment.desktopFolder = desktopFolder();
    environment.menuFolders = XdgProgramManager::userFolders();
    environment.settingsFolder = sandbox->config() + "/lumigal";
    state = InstallState{};
    boxes.reset();
    shellCalls.clear();
    boxes.openDocument = [this](const QString& path) { shellCalls << "open " + path; };
    boxes.startProgram = [this](const QString& path) { shellCalls << "start " + path; };
    // No box ever waits for a user. Unless a test says otherwise: the
    // install folder is created, the Start-menu folder is the root itself,
    // and any other box gets its accepting answer, a file error "Quitter".
    for (const char* box : {Box::EmptyFolder, Box::CreateFolder, Box::Abandon,
                            Box::ConfirmUninstall, Box::UninstallDone}) {
        boxes.setAutomaticAnswer(box, {true, {}});
    }
    boxes.setAutomaticAnswer(Box::FileError, {false, {}});
    boxes.setAutomaticAnswer(Box::InstallFolderBrowser, {false, {}});
    boxes.setAutomaticAnswer(Box::StartMenuBrowser,
                             {true, QString::fromStdString(*environment.startMenuRoot)});
    makeWizard();
}

void SetupWizardTest::cleanup() {
    wizard.reset();
    background.reset();
    sandbox.reset();
}

void SetupWizardTest::writePayload(const QStringList& leaveOut) {
    const std::pair<const char*, std::string> files[] = {
        {"Lumigal._", "#!/bin/sh\necho Lumigal 1.16\n"},
        {"lumigal-batch._", "#!/bin/sh\necho lumigal-batch\n"},
        {"uninst._", "#!/bin/sh\necho uninst, version 1.16\n"},
        {"Lumigal.htm_", "<html><body>Aide de Lumigal</body></html>\n"},
        {"Lumigal.pn_", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(40, 'p')},
        {"whatsnewe.tx_", "Lisez-moi : Lumigal 1.16\n"}};
    for (const auto& [name, content] : files) {
        std::filesystem::remove(setupFolder + name);
        if (!leaveOut.contains(QString::fromLatin1(name))) {
            lumigal::install::test::writeSzdd(setupFolder + name, content);
        }
    }
}

void SetupWizardTest::makeWizard() {
    wizard.reset();
    background = std::make_unique<BackgroundWindow>();
    wizard = std::make_unique<SetupWizard>(state, environment, background.get());
    wizard->show();
    QVERIFY(QTest::qWaitForWindowExposed(wizard.get()));
}

void SetupWizardTest::next() {
    QAbstractButton* nextButton = wizard->button(QWizard::NextButton);
    QAbstractButton* commit = wizard->button(QWizard::CommitButton);
    QAbstractButton* button = commit->isVisible() ? commit : nextButton;
    QVERIFY2(usable(button), "no usable Next button");
    button->click();
}

int SetupWizardTest::countShown(const QString& box) const {
    int count = 0;
    for (const ScriptedBoxes::Shown& shown : boxes.log()) count += shown.box == box;
    return count;
}

void SetupWizardTest::goTo(int page) {
    while (wizard->currentId() < page) {
        const int before = wizard->currentId();
        next();
        QCOMPARE_GT(wizard->currentId(), before);
    }
}

void SetupWizardTest::buttonsOfEachPage() {
    struct Expected {
        int page;
        Buttons buttons;
    };
    const Expected expected[] = {
        {SetupWizard::WelcomeId, {false, true, false}},
        {SetupWizard::FolderId, {true, true, false}},
        {SetupWizard::OptionsId, {true, true, false}},
        {SetupWizard::ReadyId, {false, true, false}},
        {SetupWizard::FinishId, {true, false, true}},
    };
    // While the installation step runs: Back, and Finish greyed.
    Buttons duringInstallation{false, true, true};
    writePayload({"Lumigal.htm_"});
    boxes.queueAnswer(Box::FileError, {true, {}});
    boxes.queueAnswer(Box::FileError, {true, {}});
    boxes.onShown = [&](const QString& box, const QString&) {
        if (box != Box::FileError) return;
        duringInstallation = buttonsOf(*wizard);
        duringInstallation.finish = wizard->button(QWizard::FinishButton)->isVisible() &&
                                    !wizard->button(QWizard::FinishButton)->isEnabled();
    };
    for (const Expected& step : expected) {
        goTo(step.page);
        QCOMPARE(wizard->currentId(), step.page);
        const Buttons buttons = buttonsOf(*wizard);
        QCOMPARE(buttons.back, step.buttons.back);
        QCOMPARE(buttons.next, step.buttons.next);
        QCOMPARE(buttons.finish, step.buttons.finish);
        QVERIFY(usable(wizard->button(QWizard::CancelButton)));
    }
    QCOMPARE(duringInstallation.back, true);
    QCOMPARE(duringInstallation.next, false);
    QCOMPARE(duringInstallation.finish, true);
}

void SetupWizardTest::cancelOnEachPage_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("abandonOk");
    QTest::addColumn<bool>("escapeKey");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("backgroundEnded");
    const auto ended = static_cast<int>(Outcome::AbandonedEnded);
    const auto kept = static_cast<int>(Outcome::AbandonedKept);
    const auto atOnce = static_cast<int>(Outcome::EndedAtOnce);
    QTest::newRow("welcome, OK") << 0 << true << false << ended << 1 << true;
    QTest::newRow("welcome, Escape") << 0 << false << false << kept << 1 << false;
    QTest::newRow("welcome, Escape key") << 0 << true << true << ended << 1 << true;
    QTest::newRow("folder, OK") << 1 << true << false << ended << 1 << true;
    QTest::newRow("folder, Escape") << 1 << false << false << kept << 1 << false;
    QTest::newRow("options, OK") << 2 << true << false << atOnce << 0 << true;
    QTest::newRow("options, Escape") << 2 << false << false << atOnce << 0 << false;
    QTest::newRow("ready, OK") << 3 << true << false << atOnce << 0 << true;
    QTest::newRow("ready, Escape key") << 3 << true << true << atOnce << 0 << true;
    QTest::newRow("finish, OK") << 4 << true << false << atOnce << 0 << true;
    QTest::newRow("finish, Escape") << 4 << false << false << atOnce << 0 << false;
}

void SetupWizardTest::cancelOnEachPage() {
    QFETCH(int, page);
    QFETCH(bool, abandonOk);
    QFETCH(bool, escapeKey);
    QFETCH(int, outcome);
    QFETCH(int, exitCode);
    QFETCH(bool, backgroundEnded);
    goTo(page);
    boxes.queueAnswer(Box::Abandon, {abandonOk, {}});
    if (escapeKey) {
        QTest::keyClick(wizard.get(), Qt::Key_Escape);
    } else {
        cancel();
    }
    QCOMPARE(countShown(Box::Abandon), 1);
    QCOMPARE(static_cast<int>(wizard->outcome()), outcome);
    QCOMPARE(wizard->exitCode(), exitCode);
    QCOMPARE(background->ended(), backgroundEnded);
    QVERIFY(!wizard->isVisible());
    QCOMPARE(wizard->result(), static_cast<int>(QDialog::Rejected));
    // Before the ready page's Next nothing is copied.
    QCOMPARE(lumigal::install::test::exists(installFolder + "/Lumigal"), page == 4);
}

void SetupWizardTest::backOnEachPage() {
    goTo(SetupWizard::FolderId);
    wizard->button(QWizard::BackButton)->click();
    QCOMPARE(wizard->currentId(), static_cast<int>(SetupWizard::WelcomeId));

    goTo(SetupWizard::OptionsId);
    auto* folderPage = qobject_cast<FolderPage*>(wizard->page(SetupWizard::FolderId));
    wizard->button(QWizard::BackButton)->click();
    QCOMPARE(wizard->currentId(), static_cast<int>(SetupWizard::FolderId));
    QCOMPARE(folderPage->folderField()->text(), QString::fromStdString(installFolder));

    goTo(SetupWizard::FinishId);
    const std::string program = installFolder + "/Lumigal";
    QVERIFY(lumigal::install::test::exists(program));
    std::filesystem::remove(program);
    auto* progress = wizard->page(SetupWizard::ReadyId)->findChild<QLabel*>("text1003");
    const QString lastProgress = progress->text();
    QCOMPARE(lastProgress, QString::fromStdString("Copy from: " + setupFolder + "whatsnewe.tx_"));

    wizard->button(QWizard::BackButton)->click();
    QCOMPARE(wizard->currentId(), static_cast<int>(SetupWizard::ReadyId));
    QCOMPARE(progress->text(), lastProgress);
    QVERIFY(!wizard->button(QWizard::BackButton)->isEnabled());
    // Next runs the whole installation step again.
    next();
    QCOMPARE(wizard->currentId(), static_cast<int>(SetupWizard::FinishId));
    QVERIFY(lumigal::install::test::exists(program));
}

void SetupWizardTest::folderPageChecksTheFolder() {
    goTo(SetupWizard::FolderId);
    QLineEdit* field = qobject_cast<FolderPage*>(wizard->currentPage())->folderField();
    QCOMPARE(field->text(), QString::fromStdString(installFolder));

    // Empty field: the box, and the page stays.
    field->clear();
    next();
    QCOMPARE(countShown(Box::EmptyFolder), 1);
    QCOMPARE(boxes.log().last().text, QStringLiteral("Please select the install folder"));
    QCOMPARE(wizard->currentId(), static_cast<int>(SetupWizard::FolderId));

    // A folder that does not exist, and No: nothing is made.
    const std::string missing = sandbox->path("apps/one/two");
    field->setText(QString::fromStdString(sandbox->path("apps//one///two")));
    boxes.queueAnswer(Box::CreateFolder, {false, {}});
    next();
    QCOMPARE(wizard->currentId(), static_cast<int>(SetupWizard::FolderId));
    QCOMPARE(boxes.log().last().text,
             QString::fromStdString(missing + " does not exists.\nDo you want to create it?"));
    QVERIFY(!lumigal::install::test::exists(sandbox->path("apps")));

    // Yes: every level is made, and the folder is used with single separators.
    boxes.queueAnswer(Box::CreateFolder, {true, {}});
    next();
    QCOMPARE(wizard->currentId(), static_cast<int>(SetupWizard::OptionsId));
    QVERIFY(std::filesystem::is_directory(missing));
    QCOMPARE(state.installFolder, missing);
    QCOMPARE(state.createdFolders,
             (std::vector<std::string>{sandbox->path("apps"), sandbox->path("apps/one"), missing}));

    // An existing writable folder: no question, and the test file is gone.
    wizard->button(QWizard::BackButton)->click();
    const int questions = countShown(Box::CreateFolder);
    next();
    QCOMPARE(wizard->currentId(), static_cast<int>(SetupWizard::OptionsId));
    QCOMPARE(countShown(Box::CreateFolder), questions);
    QVERIFY(std::filesystem::is_empty(missing));
}

void SetupWizardTest::browsersChangeOnlyWhenAFolderIsPicked() {
    goTo(SetupWizard::FolderId);
    auto* page = qobject_cast<FolderPage*>(wizard->currentPage());
    auto* browse = page->findChild<QAbstractButton*>("button1002");
    boxes.queueAnswer(Box::InstallFolderBrowser, {false, {}});
    browse->click();
    QCOMPARE(page->folderField()->text(), QString::fromStdString(installFolder));
    const QString picked = QString::fromStdString(sandbox->path("picked"));
    boxes.queueAnswer(Box::InstallFolderBrowser, {true, picked});
    browse->click();
    QCOMPARE(page->folderField()->text(), picked);
    QCOMPARE(boxes.log().last().text, QStringLiteral("Select the install folder:"));
}

void SetupWizardTest::optionsDecideTheSummaryAndTheInstallation() {
    goTo(SetupWizard::OptionsId);
    auto* options = qobject_cast<OptionsPage*>(wizard->currentPage());
    QVERIFY(options->groupBox()->isChecked() && options->startMenuBox()->isChecked() &&
            options->desktopBox()->isChecked());
    // The Start-menu browser cancelled: that choice is off.
    options->groupBox()->setChecked(false);
    boxes.queueAnswer(Box::StartMenuBrowser, {false, {}});
    next();
    QCOMPARE(wizard->currentId(), static_cast<int>(SetupWizard::ReadyId));
    QCOMPARE(boxes.log().last().text,
             QStringLiteral("Sélectionnez l'emplacement du raccourci dans le menu Démarrer:"));
    QWizardPage* ready = wizard->currentPage();
    QCOMPARE(ready->findChild<QLabel*>("text1037")->text(), QString::fromStdString(installFolder));
    QVERIFY(!ready->findChild<QLabel*>("text1039")->isVisible());
    QVERIFY(!ready->findChild<QLabel*>("text1042")->isVisible());
    QVERIFY(ready->findChild<QLabel*>("text1043")->isVisible());
    QVERIFY(!ready->findChild<QLabel*>("text1044")->isVisible());

    next();
    QCOMPARE(wizard->currentId(), static_cast<int>(SetupWizard::FinishId));
    QVERIFY(ready->findChild<QLabel*>("text1044")->isVisibleTo(ready));
    QVERIFY(!ready->findChild<QLabel*>("text1037")->isVisibleTo(ready));
    const std::string applications = *environment.startMenuRoot;
    QVERIFY(!lumigal::install::test::exists(applications + "/Lumigal.desktop"));
    QVERIFY(!lumigal::install::test::exists(applications + "/lumigal-lumigal.desktop"));
    QVERIFY(lumigal::install::test::exists(*environment.desktopFolder + "/Lumigal.desktop"));
    lumigal::platform::Registry registry(environment.settingsFolder);
    std::optional<lumigal::platform::RegistryKey> key;
    QCOMPARE(registry.openKey(lumigal::kSettingsKey, lumigal::platform::KeyAccess::Read, key),
             lumigal::platform::RegStatus::Ok);
}

void SetupWizardTest::finishOpensTheReadMeThenStartsTheProgram_data() {
    QTest::addColumn<bool>("readMe");
    QTest::addColumn<bool>("launch");
    QTest::newRow("both") << true << true;
    QTest::newRow("read-me only") << true << false;
    QTest::newRow("neither") << false << false;
}

void SetupWizardTest::finishOpensTheReadMeThenStartsTheProgram() {
    QFETCH(bool, readMe);
    QFETCH(bool, launch);
    goTo(SetupWizard::FinishId);
    auto* finish = qobject_cast<FinishPage*>(wizard->currentPage());
    QVERIFY(finish->readMeBox()->isChecked() && finish->launchBox()->isChecked());
    finish->readMeBox()->setChecked(readMe);
    finish->launchBox()->setChecked(launch);
    wizard->button(QWizard::FinishButton)->click();
    QStringList expected;
    if (readMe) expected << QString::fromStdString("open " + installFolder + "/whatsnewe.txt");
    if (launch) expected << QString::fromStdString("start " + installFolder + "/Lumigal");
    QCOMPARE(shellCalls, expected);
    QCOMPARE(wizard->outcome(), Outcome::Finished);
    QCOMPARE(wizard->exitCode(), 1);
    QVERIFY(background->ended());
    QCOMPARE(wizard->result(), static_cast<int>(QDialog::Accepted));
    QCOMPARE(countShown(Box::Abandon), 0);
}

void SetupWizardTest::quitOnAFileEndsAtOnce() {
    writePayload({"uninst._"});
    goTo(SetupWizard::ReadyId);
    boxes.queueAnswer(Box::FileError, {false, {}});
    boxes.queueAnswer(Box::Abandon, {true, {}});
    next();
    QCOMPARE(countShown(Box::FileError), 1);
    QVERIFY(boxes.log()[boxes.log().size() - 2].text.contains("uninst._"));
    QCOMPARE(countShown(Box::Abandon), 1);
    QCOMPARE(wizard->outcome(), Outcome::EndedAtOnce);
    QCOMPARE(wizard->exitCode(), 0);
    QVERIFY(!wizard->isVisible());
    QVERIFY(lumigal::install::test::exists(installFolder + "/lumigal-batch"));
    QVERIFY(!lumigal::install::test::exists(installFolder + "/Lumigal.html"));
    QVERIFY(!lumigal::install::test::exists(sandbox->config() + "/lumigal"));
}

void SetupWizardTest::titleFonts() {
    const int dpi = wizard->logicalDpiY();
    struct Expected {
        int page;
        const char* control;
        int size;
        bool bold;
        bool italic;
    };
    const Expected expected[] = {{SetupWizard::WelcomeId, "text1007", 12, true, false},
                                 {SetupWizard::FolderId, "text1007", 32, true, true},
                                 {SetupWizard::OptionsId, "text1007", 32, true, true},
                                 {SetupWizard::OptionsId, "text1035", 9, false, false}};
    for (const Expected& e : expected) {
        const QFont font = wizard->page(e.page)->findChild<QLabel*>(e.control)->font();
        QCOMPARE(font.pixelSize(), (dpi * e.size + 55) / 110);
        QCOMPARE(font.bold(), e.bold);
        QCOMPARE(font.italic(), e.italic);
    }
    QVERIFY(wizard->page(SetupWizard::FolderId)
                ->findChild<QLabel*>("text1007")
                ->font()
                .families()
                .contains("Times New Roman"));
}

void SetupWizardTest::backgroundRampIsStretchedOverTheWindow() {
    for (const QSize size : {QSize(512, 512), QSize(1024, 300), QSize(333, 777)}) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::blue);
        {
            QPainter painter(&image);
            paintBackground(painter, size, kRampColour);
        }
        const double sx = size.width() / 512.0;
        const double sy = size.height() / 512.0;
        for (int y = 0; y < size.height(); y += 7) {
            for (int x = 0; x < size.width(); x += 5) {
                // The innermost ring holding the pixel gives its red.
                const double ring = std::min(
                    {x / sx, y / sy, (size.width() - 1 - x) / sx, (size.height() - 1 - y) / sy});
                const QColor colour = image.pixelColor(x, y);
                QCOMPARE(colour.green(), 0);
                QCOMPARE(colour.blue(), 0);
                const int expected = std::min(255, static_cast<int>(ring));
                QVERIFY2(std::abs(colour.red() - expected) <= 2,
                         qPrintable(QStringLiteral("(%1, %2) of %3x%4: red %5, expected %6")
                                        .arg(x)
                                        .arg(y)
                                        .arg(size.width())
                                        .arg(size.height())
                                        .arg(colour.red())
                                        .arg(expected)));
            }
        }
    }
}

void SetupWizardTest::centreWindowCentresEvenLargeWindows() {
    const QRect screen = wizard->screen()->geometry();
    for (const QSize size : {QSize(301, 201), screen.size() + QSize(201, 101)}) {
        QWidget window;
        window.resize(size);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        centreWindow(&window);
        const QSize frame = window.frameGeometry().size();
        QCOMPARE(window.frameGeometry().topLeft(),
                 screen.topLeft() + QPoint((screen.width() - frame.width()) / 2,
                                           (screen.height() - frame.height()) / 2));
    }
}

void SetupWizardTest::uninstallAsksFirst() {
    goTo(SetupWizard::FinishId);
    wizard->button(QWizard::FinishButton)->click();
    lumigal::platform::Registry registry(environment.settingsFolder);
    const std::string program = installFolder + "/Lumigal";

    boxes.queueAnswer(Box::ConfirmUninstall, {false, {}});
    QCOMPARE(runUninstallWithQuestions(installFolder, registry), 1);
    QVERIFY(lumigal::install::test::exists(program));

    boxes.queueAnswer(Box::ConfirmUninstall, {true, {}});
    boxes.queueAnswer(Box::UninstallDone, {true, {}});
    QCOMPARE(runUninstallWithQuestions(installFolder, registry), 0);
    QCOMPARE(boxes.log().last().text,
             QStringLiteral("Lumigal a été supprimé de votre ordinateur."));
    QVERIFY(!lumigal::install::test::exists(program));
    QVERIFY(!lumigal::install::test::exists(installFolder));
    QVERIFY(!lumigal::install::test::exists(*environment.desktopFolder + "/Lumigal.desktop"));

    boxes.queueAnswer(Box::UninstallDone, {true, {}});
    QCOMPARE(runUninstallWithQuestions(installFolder, registry), 1);
    QVERIFY(boxes.log().last().text.contains("n'est pas installé"));
}

// Caption, icon, buttons and default of each box, and what each answer means.
void SetupWizardTest::boxesShowTheirMessages() {
    using B = QMessageBox;
    struct Expected {
        const char* box;
        std::function<bool()> show;  // true when the answer was taken as accepting
        const char* caption;
        B::Icon icon;
        B::StandardButtons buttons;
        B::StandardButton defaultButton;
        int buttonTexts;
    };
    const Expected expected[] = {
        {Box::EmptyFolder, [] { return showEmptyFolder(nullptr), true; }, "Kestro", B::Critical,
         B::Ok, B::NoButton, 0},
        {Box::CreateFolder, [] { return askCreateFolder(nullptr, "/x"); }, "Lumigal", B::Question,
         B::Yes | B::No, B::NoButton, 0},
        {Box::FileError, [] { return askFileError(nullptr, "f") == FileErrorChoice::Ignore; },
         "Lumigal", B::Warning, B::Ignore | B::Abort, B::Ignore, 0},
        {Box::Abandon, [] { return showAbandon(nullptr); }, "Lumigal", B::Warning,
         B::Ok | B::Cancel, B::Ok, 0},
        {Box::ConfirmUninstall, [] { return confirmUninstall(nullptr, "?"); }, "Lumigal",
         B::Question, B::Yes | B::No, B::No, 2},
    };
    for (const Expected& e : expected) {
        for (const bool accepted : {true, false}) {
            boxes.queueAnswer(e.box, {accepted, {}});
            const bool taken = e.show();
            QCOMPARE(taken, accepted || e.buttons == B::Ok);
            const lumigal::MessageRecord& m = boxes.log().last().message;
            QCOMPARE(m.identifier, QString::fromLatin1(e.box));
            QCOMPARE(m.caption, QString::fromLatin1(e.caption));
            QCOMPARE(m.icon, e.icon);
            QCOMPARE(m.buttons, e.buttons);
            QCOMPARE(m.defaultButton, e.defaultButton);
            QCOMPARE(m.buttonTexts.size(), e.buttonTexts);
        }
    }
    QCOMPARE(boxes.log()[boxes.log().size() - 1].message.buttonTexts,
             (QList<QPair<B::StandardButton, QString>>{{B::Yes, "&Oui"}, {B::No, "&Non"}}));
    for (const bool complete : {true, false}) {
        showUninstallDone(nullptr, "fin", complete);
        QCOMPARE(boxes.log().last().message.icon, complete ? B::Information : B::Warning);
        QCOMPARE(boxes.log().last().message.buttons, B::StandardButtons(B::Ok));
    }
}


// Each page (with the wizard's buttons) and each box of the setup program
// gives every key to one control.
void SetupWizardTest::everyMnemonicOnce() {
    for (int page : {SetupWizard::WelcomeId, SetupWizard::FolderId, SetupWizard::OptionsId,
                     SetupWizard::ReadyId, SetupWizard::FinishId}) {
        goTo(page);
        const QStringList shared = lumigal::test::sharedMnemonics(wizard.get());
        QVERIFY2(shared.isEmpty(), qPrintable(QString::number(page) + ": " + shared.join(", ")));
    }
    AbandonBox abandon;
    FileErrorBox fileError(QStringLiteral("/x/Lumigal"));
    for (QDialog* box : {static_cast<QDialog*>(&abandon), static_cast<QDialog*>(&fileError)}) {
        const QStringList shared = lumigal::test::sharedMnemonics(box);
        QVERIFY2(shared.isEmpty(), qPrintable(shared.join(", ")));
    }
}
QTEST_MAIN(SetupWizardTest)
#include "setup_wizard_test.moc"
