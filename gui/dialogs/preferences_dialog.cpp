#include "dialogs/preferences_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <iterator>
#include <string>

#include "common/paths.h"
#include "dialogs/dialog_parts.h"
#include "dialogs/field_text.h"
#include "dialogs/gui_helpers.h"
#include "message_box/message_box_handler.h"

namespace lumigal {

namespace {

// The label's text with a mnemonic put in front of the word `key`.
QString withMnemonic(const char* text, const QString& key) {
    QString shown = QString::fromUtf8(text);
    shown.insert(shown.indexOf(key), QLatin1Char('&'));
    return shown;
}

}  // namespace

PreferencesDialog::PreferencesDialog(Preferences& prefs, QWidget* parent)
    : LumigalDialog(parent), prefs_(prefs) {
    auto* heading = new QHBoxLayout;
    heading->addWidget(makePicture(Art::PageGrid, {32, 32}, this));
    auto* title =
        numbered(new QLabel(QStringLiteral("Paramétrage de Lumigal"), this), "static", 233);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    heading->addWidget(title, 1);

    launchFolder_ = numbered(new QLineEdit(this), "edit", 1137);
    saveFolder_ = numbered(new QLineEdit(this), "edit", 1136);
    thumbnailFolder_ = numbered(new QLineEdit(this), "edit", 1138);
    for (QLineEdit* field : {launchFolder_, saveFolder_, thumbnailFolder_})
        field->setMinimumWidth(field->fontMetrics().averageCharWidth() * 48);
    const QSize folderIcon(16, 16);
    // Three "Parcourir…" buttons: each its own key, each named for its folder.
    auto* browseLaunch = numbered(
        makePictureButton(Art::Folder, folderIcon, QStringLiteral("Pa&rcourir…"),
                          QStringLiteral("Parcourir : dossier de lancement"), this),
        "button", 1300);
    auto* browseSave = numbered(
        makePictureButton(Art::Folder, folderIcon, QStringLiteral("Parc&ourir…"),
                          QStringLiteral("Parcourir : dossier de production"), this),
        "button", 1117);
    auto* browseThumbnail = numbered(
        makePictureButton(Art::Folder, folderIcon, QStringLiteral("Parcour&ir…"),
                          QStringLiteral("Parcourir : dossier des vignettes"), this),
        "button", 1315);

    auto* folders = new QGridLayout;
    folders->addWidget(
        numbered(makeBuddyLabel(withMnemonic(kLaunchLabel, QStringLiteral("lancement")),
                                launchFolder_, this),
                 "static", 1328),
        0, 0, 1, 2);
    folders->addWidget(launchFolder_, 1, 0);
    folders->addWidget(browseLaunch, 1, 1);
    folders->addWidget(
        numbered(makeBuddyLabel(withMnemonic(kSaveLabel, QStringLiteral("production")), saveFolder_,
                                this),
                 "static", 1329),
        2, 0, 1, 2);
    folders->addWidget(saveFolder_, 3, 0);
    folders->addWidget(browseSave, 3, 1);
    folders->addWidget(
        numbered(makeBuddyLabel(withMnemonic(kThumbnailLabel, QStringLiteral("vignettes")),
                                thumbnailFolder_, this),
                 "static", 1165),
        4, 0, 1, 2);
    folders->addWidget(thumbnailFolder_, 5, 0);
    folders->addWidget(browseThumbnail, 5, 1);
    folders->setColumnStretch(0, 1);

    bip_ = numbered(new QCheckBox(QStringLiteral("&Emettre un bip après la conversion"), this),
                    "check", 1335);
    launch_ =
        numbered(new QCheckBox(QStringLiteral("Lancer le b&utineur en fin de création"), this),
                 "check", 1288);

    auto* ok = numbered(new QPushButton(QStringLiteral("OK"), this), "button", 1);
    auto* cancel = numbered(new QPushButton(QStringLiteral("&Annuler"), this), "button", 2);
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addSpacing(6);
    layout->addLayout(folders);
    layout->addSpacing(6);
    layout->addWidget(bip_);
    layout->addWidget(launch_);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* order[] = {launchFolder_,   browseLaunch, saveFolder_, browseSave, thumbnailFolder_,
                        browseThumbnail, bip_,         launch_,     ok,         cancel};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    saveFolder_->setText(toQString(prefs_.pathSave));
    launchFolder_->setText(toQString(prefs_.pathLaunch));
    thumbnailFolder_->setText(toQString(prefs_.pathThumbnail));
    if (prefs_.launch) launch_->setChecked(true);
    if (prefs_.bip) bip_->setChecked(true);
    launchFolder_->setFocus();

    connect(browseLaunch, &QPushButton::clicked, this,
            [this] { browse(launchFolder_, kLaunchLabel); });
    connect(browseSave, &QPushButton::clicked, this, [this] { browse(saveFolder_, kSaveLabel); });
    connect(browseThumbnail, &QPushButton::clicked, this,
            [this] { browse(thumbnailFolder_, kThumbnailLabel); });
    connect(ok, &QPushButton::clicked, this, &PreferencesDialog::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void PreferencesDialog::confirm() {
    struct Field {
        QLineEdit* edit;
        const char* label;
        std::string value;
    };
    // In the order in which the dialog shows them.
    Field fields[] = {{launchFolder_, kLaunchLabel, toStdString(launchFolder_->text())},
                      {saveFolder_, kSaveLabel, toStdString(saveFolder_->text())},
                      {thumbnailFolder_, kThumbnailLabel, toStdString(thumbnailFolder_->text())}};
    for (const Field& field : fields) {
        if (fitsPathLimit(field.value)) continue;
        // A cut folder would be another folder: refuse it instead.
        QString label = QString::fromUtf8(field.label);
        label.chop(1);  // the colon
        MessageBoxHandler::warning(this, QString::fromUtf8(kFolderTooLong),
                                   QStringLiteral("Le chemin saisi pour « %1 » est trop long "
                                                  "(plus de %2 octets).\nMerci de le raccourcir.")
                                       .arg(label)
                                       .arg(kMaxPath));
        field.edit->setFocus();
        return;
    }

    prefs_.launch = launch_->isChecked() ? 1 : 0;
    prefs_.bip = bip_->isChecked() ? 1 : 0;
    prefs_.pathLaunch = std::move(fields[0].value);
    prefs_.pathSave = std::move(fields[1].value);
    prefs_.pathThumbnail = std::move(fields[2].value);
    accept();
}

void PreferencesDialog::browse(QLineEdit* field, const char* title) {
    if (const auto folder = browseForFolder(this, QString::fromUtf8(title)))
        field->setText(*folder);
}

}  // namespace lumigal
