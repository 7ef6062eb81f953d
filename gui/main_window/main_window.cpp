#include "main_window/main_window.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCloseEvent>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QComboBox>
#include <initializer_list>
#include <QDir>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QToolButton>
#include <QTreeView>
#include <iterator>

#include "common/paths.h"
#include "dialogs/about_box.h"
#include "dialogs/art.h"
#include "dialogs/gui_helpers.h"
#include "message_box/message_box_handler.h"
#include "dialogs/preferences_dialog.h"
#include "dialogs/work_box.h"
#include "main_window/create_page_command.h"
#include "main_window/file_list_texts.h"

namespace lumigal {
namespace {
struct ImageType {
    const char* text;
    const char* patterns;  // lower case; the upper-case forms are added
};
constexpr ImageType kFileTypes[] = {
    // Every format Lumigal reads: the first choice, the one the window opens on.
    {"Tous (BMP, DIB, GIF, JPEG, PNG, XBM, WebP, HEIC, AVIF, TIFF)",
     "*.bmp *.dib *.gif *.jpe *.jpg *.jpeg *.png *.xbm *.webp *.heic *.heif *.avif *.tif *.tiff"},
    {"BMP - Windows/OS2 bitmap", "*.bmp"},
    {"DIB - Windows/OS2 dib", "*.dib"},
    {"GIF - Compuserve", "*.gif"},
    {"JPE JPG JPEG - Joint Photographic Experts Group", "*.jpe *.jpg *.jpeg"},
    {"PNG - Portable Network Graphic", "*.png"},
    {"XBM - X Bitmap", "*.xbm"},
    {"WEBP - WebP", "*.webp"},
    {"HEIC HEIF - High Efficiency Image File", "*.heic *.heif"},
    {"AVIF - AV1 Image File", "*.avif"},
    {"TIF TIFF - Tagged Image File Format", "*.tif *.tiff"},
    {"Images récentes (AVIF, HEIC, WEBP)", "*.avif *.heic *.heif *.webp"},
    // Videos, recognised by their content: a gallery shows them beside the photos.
    {"Vidéos (MP4, MOV, M4V, 3GP, WebM, MKV, AVI)", "*.mp4 *.mov *.qt *.m4v *.3gp *.3g2 *.webm *.mkv *.avi"},
    {"Images et vidéos",
     "*.bmp *.dib *.gif *.jpe *.jpg *.jpeg *.png *.xbm *.webp *.heic *.heif *.avif *.tif *.tiff "
     "*.mp4 *.mov *.qt *.m4v *.3gp *.3g2 *.webm *.mkv *.avi"},
};
constexpr int kFileTypeCount = static_cast<int>(std::size(kFileTypes));
constexpr int kVideoType = 13, kImagesAndVideosType = 14;
constexpr int kImageTypeCount = 12;  // the types of images alone

// The families of ScanFormats, one flag each.
constexpr bool ScanFormats::*kFamilies[] = {
    &ScanFormats::bmp,  &ScanFormats::dib,  &ScanFormats::gif,  &ScanFormats::jpeg,
    &ScanFormats::png,  &ScanFormats::xbm,  &ScanFormats::webp, &ScanFormats::heic,
    &ScanFormats::avif, &ScanFormats::tiff};

bool covers(const ScanFormats& type, const ScanFormats& wanted) {
    for (bool ScanFormats::*family : kFamilies)
        if (wanted.*family && !(type.*family)) return false;
    return true;
}

struct Tooltip {
    int command;
    const char* text;
};
constexpr Tooltip kTooltips[] = {
    {MainWindow::kHelp, "Aide de Lumigal"},
    {MainWindow::kQuit, "Quitter Lumigal"},
    {MainWindow::kSelectTree, "Sélectionne également dans les sous-dossiers"},
    {MainWindow::kSelectFolder, "Sélectionne tous les fichiers du dossier courant"},
    {MainWindow::kCreatePage, "Fenêtre de création de la page WEB"},
};

QString filterFor(const ImageType& type) {
    const QString lower = QString::fromLatin1(type.patterns);
    return QStringLiteral("%1 (%2 %3)").arg(QString::fromUtf8(type.text), lower, lower.toUpper());
}

QToolButton* toolButton(QToolBar* bar, int command, const QIcon& icon, const QString& text,
                        bool checkable, int size) {
    auto* button = new QToolButton(bar);
    button->setObjectName(QString::number(command));
    button->setIcon(icon);
    button->setText(text);
    button->setToolTip(MainWindow::tooltipFor(command));
    button->setCheckable(checkable);
    button->setAutoRaise(true);
    button->setIconSize(QSize(size, size));
    button->setToolButtonStyle(size > 16 ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
    // Reached by Tab and by its mnemonic; a click leaves the focus where it
    // is, so the file-name box keeps its quoted names.
    button->setFocusPolicy(Qt::TabFocus);
    bar->addWidget(button);
    return button;
}
}  // namespace

QStringList MainWindow::fileTypeTexts() {
    QStringList texts;
    for (const ImageType& type : kFileTypes) texts << QString::fromUtf8(type.text);
    return texts;
}

bool MainWindow::formatsForType(int index, ScanFormats& formats) {
    if (index < 1 || index > kFileTypeCount) return false;
    const bool all = index == 1 || index == kImagesAndVideosType;
    const bool recent = index == 12 || all;
    formats.videos = index == kVideoType || index == kImagesAndVideosType ? VideoTypes::all() : VideoTypes{};
    formats.bmp = all || index == 2;
    formats.dib = all || index == 3;
    formats.gif = all || index == 4;
    formats.jpeg = all || index == 5;
    formats.png = all || index == 6;
    formats.xbm = all || index == 7;
    formats.webp = recent || index == 8;
    formats.heic = recent || index == 9;
    formats.avif = recent || index == 10;
    formats.tiff = all || index == 11;
    return true;
}

QString MainWindow::typeToChoose(const ScanFormats& present) {
    // The narrowest choice first: one family, then the recent images, then all.
    for (int index = 2; index <= kImageTypeCount; ++index) {
        ScanFormats type;
        formatsForType(index, type);
        if (covers(type, present)) return QString::fromUtf8(kFileTypes[index - 1].text);
    }
    return QString::fromUtf8(kFileTypes[0].text);
}

ScanFormats MainWindow::familiesOf(const std::vector<std::string>& paths) {
    ScanFormats found;
    for (bool ScanFormats::*family : kFamilies) found.*family = false;
    for (bool ScanFormats::*family : kFamilies) {
        ScanFormats only;
        for (bool ScanFormats::*other : kFamilies) only.*other = other == family;
        for (const std::string& path : paths) {
            if (IsWantedImage(splitPath(path).extension, only)) {
                found.*family = true;
                break;
            }
        }
    }
    return found;
}

QString MainWindow::tooltipFor(int command) {
    for (const Tooltip& tip : kTooltips)
        if (tip.command == command) return QString::fromUtf8(tip.text);
    return {};
}

MainWindow::MainWindow(Preferences& prefs, PageSettings& page, std::string helpFilePath,
                       std::function<void()> onDestroyed, QWidget* parent)
    : QFileDialog(parent),
      prefs_(prefs),
      page_(page),
      helpFilePath_(std::move(helpFilePath)),
      onDestroyed_(std::move(onDestroyed)) {
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::HideNameFilterDetails);
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    setViewMode(QFileDialog::Detail);
    setLabelText(QFileDialog::LookIn, QStringLiteral("Regarder dans :"));
    setLabelText(QFileDialog::FileName, QStringLiteral("&Nom du fichier :"));
    setLabelText(QFileDialog::FileType, QStringLiteral("Type de fichiers :"));
    setWindowTitle(QStringLiteral("Lumigal"));
    setWindowIcon(artIcon(Art::ProgramIcon));
    setSizeGripEnabled(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    for (const ImageType& type : kFileTypes) filters_ << filterFor(type);
    setNameFilters(filters_);
    selectNameFilter(filters_.front());
    formatsForType(1, formats_);  // filterSelected fires on user choice only
    // The choice is read by index: filterSelected gives the shown text.
    if (auto* types = findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        connect(types, &QComboBox::activated, this,
                [this](int index) { applyFileType(index + 1); });

    if (!prefs_.pathLaunch.empty() && QFileInfo(QString::fromStdString(prefs_.pathLaunch)).isDir())
        setDirectory(QString::fromStdString(prefs_.pathLaunch));

    fileNameEdit_ = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    // The Open button is hidden, so Enter in the file-name box is routed
    // to accept() here (which refuses, or opens a typed folder).
    if (fileNameEdit_) fileNameEdit_->installEventFilter(this);
    buildPanel();
    buildMenu();
    // The side bar shows the focus on its current place; it has none until
    // one is clicked, so Tab would land on it unseen.
    sideBar_ = findChild<QAbstractItemView*>(QStringLiteral("sidebar"));
    if (sideBar_) sideBar_->installEventFilter(this);
    files_.clear();
    resize(820, 520);
    // Sizes and dates in French; columns fitted once each folder is read
    // (its dates and types known).
    if (auto* model = findChild<QFileSystemModel*>()) {
        if (auto* list = findChild<QTreeView*>(QStringLiteral("treeView")))
            list->setItemDelegate(new FileListTexts(model, list));
        connect(model, &QFileSystemModel::directoryLoaded, this, [this] { fitColumns(); });
    }
}

MainWindow::~MainWindow() {
    if (onDestroyed_) onDestroyed_();
}

void MainWindow::buildPanel() {
    auto* grid = qobject_cast<QGridLayout*>(layout());
    if (auto* buttons = findChild<QWidget*>(QStringLiteral("buttonBox"))) buttons->hide();

    // The selection and action toolbars, to the right of the file list.
    auto* side = new QToolBar(this);
    side->setOrientation(Qt::Vertical);
    side->setObjectName(QStringLiteral("selectionToolbar"));
    selectFolder_ = toolButton(side, kSelectFolder, style()->standardIcon(QStyle::SP_DirIcon),
                               QStringLiteral("&Dossier"), true, 32);
    selectTree_ = toolButton(side, kSelectTree, artIcon(Art::Folder),
                             QStringLiteral("&Sous-dossiers"), true, 32);
    side->addSeparator();
    help_ = toolButton(side, kHelp, style()->standardIcon(QStyle::SP_MessageBoxQuestion),
                       QStringLiteral("A&ide"), false, 32);
    createPage_ =
        toolButton(side, kCreatePage, artIcon(Art::PageGrid), QStringLiteral("&Créer"), false, 32);
    connect(help_, &QToolButton::clicked, this, [this] { openHelp(this, helpFilePath_, 0); });
    connect(createPage_, &QToolButton::clicked, this, &MainWindow::createPage);

    // The destination panel, below the standard controls.
    auto* frame = new QGroupBox(QStringLiteral("Des&tination"), this);
    frame->setObjectName(QStringLiteral("1316"));
    auto* row = new QHBoxLayout(frame);
    destination_ = new QLineEdit(QString::fromStdString(prefs_.pathSave), frame);
    destination_->setObjectName(QStringLiteral("1319"));
    destination_->setToolTip(QStringLiteral("Dossier d'accueil des pages HTML (F1 : aide)"));
    browse_ = new QToolButton(frame);
    browse_->setObjectName(QStringLiteral("1320"));
    browse_->setIcon(artIcon(Art::Folder));
    browse_->setIconSize(QSize(16, 16));
    browse_->setToolTip(QStringLiteral("Choix du dossier d'accueil des pages HTML"));
    row->addWidget(destination_, 1);
    row->addWidget(browse_);
    connect(browse_, &QToolButton::clicked, this, &MainWindow::browseDestination);
    destination_->installEventFilter(this);
    browse_->installEventFilter(this);

    auto* quitBar = new QToolBar(this);
    quitBar->setObjectName(QStringLiteral("1025"));
    quit_ = toolButton(quitBar, kQuit, style()->standardIcon(QStyle::SP_DialogCloseButton),
                       QStringLiteral("&Quitter"), false, 16);
    connect(quit_, &QToolButton::clicked, this, &MainWindow::reject);

    if (grid) {
        const int rows = grid->rowCount();
        const int columns = grid->columnCount();
        grid->addWidget(side, 0, columns, rows, 1, Qt::AlignTop);
        grid->addWidget(frame, rows, 0, 1, columns);
        grid->addWidget(quitBar, rows, columns, Qt::AlignBottom | Qt::AlignRight);
    }
    // Tab goes on from the type list to the buttons, the destination and
    // Quitter, as laid out (Alt+T reaches the destination field).
    QWidget* previous = findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    for (QWidget* next : std::initializer_list<QWidget*>{selectFolder_, selectTree_, help_, createPage_,
                                                         destination_, browse_, quit_}) {
        if (previous) setTabOrder(previous, next);
        previous = next;
    }
}

void MainWindow::buildMenu() {
    auto* bar = new QMenuBar(this);
    QMenu* program = bar->addMenu(QStringLiteral("&Lumigal"));
    QAction* create = program->addAction(QStringLiteral("&Créer la page..."));
    create->setObjectName(QString::number(kCreatePage));
    create->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
    connect(create, &QAction::triggered, this, &MainWindow::createPage);
    program->addSeparator();
    QAction* quit = program->addAction(QStringLiteral("&Quitter"));
    quit->setObjectName(QString::number(kQuit));
    connect(quit, &QAction::triggered, this, &MainWindow::reject);
    QMenu* misc = bar->addMenu(QStringLiteral("Di&vers"));
    QAction* preferences = misc->addAction(QStringLiteral("&Paramétrage..."));
    preferences->setObjectName(QString::number(kPreferences));
    connect(preferences, &QAction::triggered, this, [this] {
        PreferencesDialog dialog(prefs_, this);
        if (dialog.exec() == QDialog::Accepted) saveSettings();
    });
    QMenu* helpMenu = bar->addMenu(QStringLiteral("&Aide"));
    QAction* help = helpMenu->addAction(QStringLiteral("&Aide de Lumigal"));
    help->setObjectName(QString::number(kHelp));
    help->setShortcut(QKeySequence::HelpContents);
    connect(help, &QAction::triggered, this, [this] { openHelp(this, helpFilePath_, 0); });
    QAction* about = helpMenu->addAction(QStringLiteral("A &propos de Lumigal"));
    about->setObjectName(QString::number(kAbout));
    connect(about, &QAction::triggered, this, [this] {
        AboutBox box(platform::runningSystemVersion(), this);
        box.exec();
    });
    layout()->setMenuBar(bar);
}

void MainWindow::applyFileType(int index) { formatsForType(index, formats_); }

void MainWindow::accept() {
    // Only a single typed folder name is let through: the base class then
    // opens it instead of confirming.
    if (fileNameEdit_) {
        const QString text = fileNameEdit_->text().trimmed();
        if (!text.isEmpty() && !text.contains(QLatin1Char('"'))) {
            const QFileInfo info(directory(), text);
            if (info.isDir()) {
                setDirectory(info.absoluteFilePath());
                fileNameEdit_->clear();
            }
        }
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
    if (watched == sideBar_ && e->type() == QEvent::FocusIn && sideBar_->model() &&
        !sideBar_->currentIndex().isValid()) {
        const QModelIndexList selected = sideBar_->selectionModel()
                                             ? sideBar_->selectionModel()->selectedIndexes()
                                             : QModelIndexList();
        const QModelIndex place =
            selected.isEmpty() ? sideBar_->model()->index(0, 0) : selected.front();
        if (place.isValid()) {
            // Quietly: the side bar opens the place that becomes current.
            const QSignalBlocker quiet(sideBar_->selectionModel());
            sideBar_->selectionModel()->setCurrentIndex(place, QItemSelectionModel::NoUpdate);
            sideBar_->viewport()->update();
        }
    }
    // Context help (F1) on the destination field and its browse button.
    if (watched == fileNameEdit_ && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            accept();
            return true;
        }
    }
    if ((watched == destination_ || watched == browse_) && e->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(e)->key() == Qt::Key_F1) {
        openHelp(this, helpFilePath_, kDestinationHelpContext);
        return true;
    }
    return QFileDialog::eventFilter(watched, e);
}

void MainWindow::clearFileNameBox() {
    for (QAbstractItemView* view : findChildren<QAbstractItemView*>())
        if (view->selectionModel()) view->selectionModel()->clearSelection();
    if (fileNameEdit_) fileNameEdit_->clear();
}

void MainWindow::createPage() {
    if (working()) return;
    RunCreatePage(*this);
    if (quitRequested_) QFileDialog::reject();
}

void MainWindow::reject() {
    if (!working()) QFileDialog::reject();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!working()) {
        QFileDialog::closeEvent(event);
        return;
    }
    event->ignore();
    if (quitRequested_) return;
    const MessageRecord question{
        QString::fromUtf8(kStopAndQuit),
        QMessageBox::Question,
        QString::fromUtf8(kProgramCaption),
        QStringLiteral("Le travail en cours n'est pas fini. L'arrêter et quitter Lumigal ?"),
        QMessageBox::Yes | QMessageBox::No,
        QMessageBox::No,
        {{QMessageBox::Yes, QStringLiteral("&Oui")}, {QMessageBox::No, QStringLiteral("&Non")}}};
    if (MessageBoxHandler::show(this, question) != QMessageBox::Yes || !working()) return;
    quitRequested_ = true;
    work_->requestCancel();  // the window closes when the work has stopped
}

MainWindow::WorkInProgress::WorkInProgress(MainWindow& window, WorkBox& box) : window_(window) {
    window_.work_ = &box;
}

MainWindow::WorkInProgress::~WorkInProgress() { window_.work_ = nullptr; }

void MainWindow::saveSettings() {
    if (saveSettings_) saveSettings_();
}

void MainWindow::bringToFront() {
    if (isMinimized()) setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void MainWindow::showEvent(QShowEvent* event) {
    QFileDialog::showEvent(event);
    // The window opens on the list of files (the file dialog would put the
    // focus on the name box); Tab goes on from there as the window is laid out.
    if (!event->spontaneous())
        if (auto* list = findChild<QTreeView*>(QStringLiteral("treeView"))) list->setFocus();
    fitColumns();
}

void MainWindow::fitColumns() {
    // The size, type and date columns as wide as their titles and entries.
    auto* list = findChild<QTreeView*>(QStringLiteral("treeView"));
    if (list == nullptr || list->header() == nullptr) return;
    for (int column = 1; column < list->header()->count(); ++column)
        list->resizeColumnToContents(column);
}

void MainWindow::browseDestination() {
    if (auto folder =
            browseForFolder(this, QStringLiteral("Choix du dossier d'accueil des pages HTML")))
        destination_->setText(*folder);
}

}  // namespace lumigal
