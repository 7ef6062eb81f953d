#include "dialogs/thumbnail_settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <iterator>
#include <optional>
#include <utility>

#include "common/paths.h"
#include "dialogs/dialog_parts.h"
#include "dialogs/field_text.h"
#include "dialogs/gui_helpers.h"
#include "message_box/message_box_handler.h"
#include "dialogs/wrap_spin_edit.h"

namespace lumigal {

namespace {

constexpr Colour kWhite = makeColour(255, 255, 255);

// The entries of the format list, in list order; the index is `newFormat`.
const char* const kFormats[] = {"Bitmap BMP", "Compuserve GIF", "JPEG", "Portable Network Graphic"};

QLineEdit* makeNumberEdit(int id, QWidget* parent) {
    auto* edit = numbered(new QLineEdit(parent), "edit", id);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->setMaxLength(10);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
    return edit;
}

}  // namespace

Colour ThumbnailSettingsDialog::swatchColour(Colour stored) {
    return stored == 0 ? kWhite : stored;
}

ThumbnailSettingsDialog::ThumbnailSettingsDialog(PageSettings& page, Preferences& prefs,
                                                 std::string helpFilePath, QWidget* parent)
    : ThumbnailSettingsDialog(page, prefs, std::move(helpFilePath), page.style, parent) {}

ThumbnailSettingsDialog::ThumbnailSettingsDialog(PageSettings& page, Preferences& prefs,
                                                 std::string helpFilePath, std::uint32_t style,
                                                 QWidget* parent)
    : LumigalDialog(parent),
      page_(page),
      prefs_(prefs),
      helpFilePath_(std::move(helpFilePath)),
      style_(style) {
    borderColour_ = swatchColour(page_.table_bordercolor);
    darkColour_ = swatchColour(page_.table_bordercolordark);

    // Heading.
    auto* heading = new QHBoxLayout;
    heading->addWidget(makePicture(Art::ProgramIcon, {32, 32}, this), 0, Qt::AlignTop);
    heading->addWidget(
        new QLabel(QStringLiteral("Paramétrage des vignettes créées par Lumigal.\n"), this), 1);

    // Thumbnails.
    auto* vignettes = new QGroupBox(QStringLiteral("Vignettes"), this);
    width_ = makeNumberEdit(1136, vignettes);
    height_ = makeNumberEdit(1137, vignettes);
    auto* size = new QHBoxLayout;
    size->addWidget(width_);
    size->addWidget(new QLabel(QStringLiteral("x"), vignettes));
    size->addWidget(height_);
    size->addStretch(1);

    folder_ = numbered(new QLineEdit(vignettes), "edit", 1138);
    folder_->setMinimumWidth(folder_->fontMetrics().averageCharWidth() * 40);
    auto* browse = numbered(makePictureButton(Art::Folder, {16, 16}, QStringLiteral("&Parcourir…"),
                                              QStringLiteral("Parcourir les dossiers"), vignettes),
                            "button", 1354);
    auto* location = new QHBoxLayout;
    location->addWidget(folder_, 1);
    location->addWidget(browse);

    onlyIfSuitable_ = numbered(
        new QCheckBox(QStringLiteral("&Ne pas créer de vignette si la taille de l'original est\n"
                                     "inférieure aux dimensions saisies."),
                      vignettes),
        "check", 1041);

    perRow_ = makeNumberEdit(1139, vignettes);
    auto* row = new QHBoxLayout;
    row->addWidget(
        makeBuddyLabel(QStringLiteral("C&hanger de ligne toutes les"), perRow_, vignettes));
    row->addWidget(perRow_);
    row->addWidget(new QLabel(QStringLiteral("vignettes."), vignettes));
    row->addStretch(1);

    keepFormat_ =
        numbered(new QRadioButton(QStringLiteral("Conser&ver le même format graphique"), vignettes),
                 "radio", 1161);
    convert_ =
        numbered(new QRadioButton(QStringLiteral("C&onvertir en\u00A0:"), vignettes), "radio", 1162);
    format_ = numbered(new QComboBox(vignettes), "combo", 1068);
    auto* conversion = new QHBoxLayout;
    conversion->addWidget(convert_);
    conversion->addWidget(format_);
    conversion->addStretch(1);

    auto* thumbnails = new QGridLayout(vignettes);
    thumbnails->addWidget(makeBuddyLabel(QStringLiteral("&Taille\u00A0:"), width_, vignettes), 0, 0);
    thumbnails->addLayout(size, 0, 1);
    thumbnails->addWidget(makeBuddyLabel(QStringLiteral("&Localisation\u00A0:"), folder_, vignettes), 1,
                          0);
    thumbnails->addLayout(location, 1, 1);
    thumbnails->addWidget(onlyIfSuitable_, 2, 0, 1, 2);
    keepProportions_ = numbered(
        new QCheckBox(QStringLiteral("Garder les p&roportions de l'image (dans la taille)"), vignettes),
        "check", 1401);
    keepProportions_->setWhatsThis(QStringLiteral(
        "Cochée, chaque vignette tient dans la largeur et la hauteur données sans déformer "
        "l'image ; décochée, elle a exactement cette taille. Par défaut : cochée pour la page "
        "moderne, décochée pour la page classique."));
    thumbnails->addWidget(keepProportions_, 3, 0, 1, 2);
    thumbnails->addLayout(row, 4, 0, 1, 2);
    thumbnails->addWidget(keepFormat_, 5, 0, 1, 2);
    thumbnails->addLayout(conversion, 6, 0, 1, 2);
    thumbnails->setColumnStretch(1, 1);

    // Table.
    auto* table = new QGroupBox(QStringLiteral("Table"), this);
    border_ = numbered(new WrapSpinEdit(true, table), "edit", 1359);
    cellSpace_ = numbered(new WrapSpinEdit(true, table), "edit", 1360);
    cellPadding_ = numbered(new WrapSpinEdit(false, table), "edit", 1361);
    borderSwatch_ = numbered(makeSwatch(QString(), false, table), "static", 1362);
    darkSwatch_ = numbered(makeSwatch(QString(), true, table), "static", 1363);
    for (QLabel* swatch : {borderSwatch_, darkSwatch_}) swatch->setFixedSize(40, 22);
    const QSize pie(13, 13);
    auto* chooseBorder = numbered(
        makePictureButton(Art::ColourPie, pie, QStringLiteral("Bor&dure…"),
                          QStringLiteral("Couleur de la bordure"), table),
        "button", 1117);
    auto* chooseDark =
        numbered(makePictureButton(Art::ColourPie, pie, QStringLiteral("&Sombre…"),
                                   QStringLiteral("Couleur de la partie sombre"), table),
                 "button", 1300);
    auto* borderColour = new QHBoxLayout;
    borderColour->addWidget(borderSwatch_);
    borderColour->addWidget(chooseBorder);
    borderColour->addStretch(1);
    auto* darkColour = new QHBoxLayout;
    darkColour->addWidget(darkSwatch_);
    darkColour->addWidget(chooseDark);
    darkColour->addStretch(1);

    auto* cells = new QGridLayout(table);
    cells->addWidget(makeBuddyLabel(QStringLiteral("&Epaisseur de la bordure\u00A0:"), border_, table), 0,
                     0);
    cells->addWidget(border_, 0, 1);
    cells->addWidget(new QLabel(QStringLiteral("Couleur\u00A0:"), table), 1, 0);
    cells->addLayout(borderColour, 1, 1);
    cells->addWidget(new QLabel(QStringLiteral("Couleur partie sombre\u00A0:"), table), 2, 0);
    cells->addLayout(darkColour, 2, 1);
    cells->setColumnMinimumWidth(2, 18);
    cells->addWidget(makeBuddyLabel(QStringLiteral("Espa&cement des cellules\u00A0:"), cellSpace_, table),
                     0, 3);
    cells->addWidget(cellSpace_, 0, 4);
    cells->addWidget(makeBuddyLabel(QStringLiteral("&Marge intérieure\u00A0:"), cellPadding_, table), 1, 3);
    cells->addWidget(cellPadding_, 1, 4);
    cells->setColumnStretch(5, 1);

    // Buttons.
    auto* help = numbered(new QPushButton(QStringLiteral("&Aide"), this), "button", 1283);
    auto* ok = numbered(new QPushButton(QStringLiteral("OK"), this), "button", 1);
    auto* cancel = numbered(new QPushButton(QStringLiteral("Annuler"), this), "button", 2);
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(help);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addWidget(vignettes);
    layout->addWidget(table);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* order[] = {width_,      height_,      folder_, browse,  onlyIfSuitable_, keepProportions_, perRow_,
                        keepFormat_, convert_,     format_, border_, chooseBorder,    chooseDark,
                        cellSpace_,  cellPadding_, help,    ok,      cancel};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    // Stored values.
    border_->setFieldText(QString::number(page_.table_border));
    cellSpace_->setFieldText(QString::number(page_.table_cellspace));
    cellPadding_->setFieldText(QString::number(page_.table_cellpadding));
    folder_->setText(toQString(prefs_.pathThumbnail));
    const StyleThumbnailSize shownSize = thumbnailSize(page_, style_);
    width_->setText(QString::number(shownSize.width));
    height_->setText(QString::number(shownSize.height));
    perRow_->setText(QString::number(page_.nbThumbByLine));
    if (page_.onlyIfSuitable) onlyIfSuitable_->setChecked(true);
    keepProportions_->setChecked(keepsProportions(page_, style_));
    format_->setEnabled(false);
    const ThumbnailFormat used = thumbnailFormat(page_, style_);
    if (used.keepSameFormat) {
        keepFormat_->setChecked(true);
    } else {
        convert_->setChecked(true);
        format_->setEnabled(true);
    }
    for (const char* entry : kFormats) format_->addItem(QString::fromUtf8(entry));
    // The classic page's list opens on its first entry whatever is stored;
    // the modern page's shows the format its thumbnails get.
    format_->setCurrentIndex(style_ == kStyleModern && !used.keepSameFormat ? used.newFormat : 0);
    paintSwatch(borderSwatch_, toQColor(borderColour_), Qt::black);
    paintSwatch(darkSwatch_, toQColor(darkColour_), Qt::black);
    width_->setFocus();

    connect(keepFormat_, &QRadioButton::clicked, this,
            [this] { format_->setEnabled(!keepFormat_->isChecked()); });
    connect(convert_, &QRadioButton::clicked, this,
            [this] { format_->setEnabled(convert_->isChecked()); });
    connect(chooseBorder, &QPushButton::clicked, this,
            [this] { chooseColour(borderColour_, page_.table_bordercolor, borderSwatch_); });
    connect(chooseDark, &QPushButton::clicked, this,
            [this] { chooseColour(darkColour_, page_.table_bordercolordark, darkSwatch_); });
    connect(browse, &QPushButton::clicked, this, &ThumbnailSettingsDialog::browseFolder);
    connect(help, &QPushButton::clicked, this,
            [this] { openHelp(this, helpFilePath_, kHelpContext); });
    connect(ok, &QPushButton::clicked, this, &ThumbnailSettingsDialog::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ThumbnailSettingsDialog::confirm() {
    // Everything is read and checked first; the settings change only when
    // every field is valid.
    const ThumbnailFormat used = thumbnailFormat(page_, style_);
    ThumbnailFormat chosen{keepFormat_->isChecked(), used.newFormat};
    const int index = format_->currentIndex();
    if (!chosen.keepSameFormat && index >= 0 && index < static_cast<int>(std::size(kFormats)))
        chosen.newFormat = index;
    const std::uint32_t onlyIfSuitable = onlyIfSuitable_->isChecked() ? 1 : 0;

    std::string pathThumbnail = toStdString(folder_->text());
    if (!fitsPathLimit(pathThumbnail)) {
        MessageBoxHandler::critical(
            this, QString::fromUtf8(kFolderTooLong),
            QStringLiteral("Le dossier des vignettes est trop long (plus de %1 octets).\n"
                           "Merci de le modifier.")
                .arg(kMaxPath));
        folder_->setFocus();
        return;
    }

    const std::optional<std::uint32_t> width = parseUnsignedField(width_->text());
    if (width && *width > kMaxImageSide) {
        tooLarge(kWidthInvalid, QStringLiteral("La largeur"));
        return;
    }
    if (!width) {
        MessageBoxHandler::critical(
            this, QString::fromUtf8(kWidthInvalid),
            QStringLiteral("La largeur de la miniature est incorrecte.\nMerci de la modifier."));
        return;
    }
    const std::optional<std::uint32_t> height = parseUnsignedField(height_->text());
    if (height && *height > kMaxImageSide) {
        tooLarge(kHeightInvalid, QStringLiteral("La hauteur"));
        return;
    }
    if (!height) {
        MessageBoxHandler::critical(
            this, QString::fromUtf8(kHeightInvalid),
            QStringLiteral("La hauteur de la miniature est incorrecte.\nMerci de la modifier."));
        return;
    }
    const std::optional<std::uint32_t> perRow = parseUnsignedField(perRow_->text());
    if (!perRow) {
        MessageBoxHandler::critical(
            this, QString::fromUtf8(kPerRowInvalid),
            QStringLiteral(
                "Le nombre de miniatures par ligne est incorrect.\nMerci de le modifier."));
        return;
    }

    // The classic page stores what OK shows; the modern page only a format
    // the user changed, so that it keeps following its style otherwise.
    if (style_ != kStyleModern || chosen != used) setThumbnailFormat(page_, style_, chosen);
    page_.onlyIfSuitable = onlyIfSuitable;
    if (keepProportions_->isChecked() != keepsProportions(page_, style_)) {
        page_.keepProportions = keepProportions_->isChecked() ? kProportionsKept : kProportionsExact;
    }
    prefs_.pathThumbnail = std::move(pathThumbnail);
    // As for the format: the modern page keeps its own size until one is typed.
    const StyleThumbnailSize typed{*width, *height};
    if (style_ != kStyleModern || typed != thumbnailSize(page_, style_))
        setThumbnailSize(page_, style_, typed);
    page_.nbThumbByLine = *perRow;
    // Not checked: a text that is no number counts as 0.
    page_.table_border = parseUnsignedField(border_->fieldText()).value_or(0);
    page_.table_cellspace = parseUnsignedField(cellSpace_->fieldText()).value_or(0);
    page_.table_cellpadding = parseUnsignedField(cellPadding_->fieldText()).value_or(0);
    accept();
}

void ThumbnailSettingsDialog::tooLarge(const char* identifier, const QString& side) {
    MessageBoxHandler::critical(
        this, QString::fromUtf8(identifier),
        QStringLiteral("%1 de la miniature est trop grande : au plus %2 pixels.\n"
                       "Merci de la modifier.")
            .arg(side)
            .arg(kMaxImageSide));
}

void ThumbnailSettingsDialog::chooseColour(Colour& current, Colour& stored, QLabel* swatch) {
    Colour chosen = current;
    if (!pickColour(this, chosen)) return;
    current = stored = chosen;
    paintSwatch(swatch, toQColor(current), Qt::black);
    repaint();
}

void ThumbnailSettingsDialog::browseFolder() {
    const std::optional<QString> folder =
        browseForFolder(this, QStringLiteral("Dossier de production par défaut\u00A0:"));
    if (folder) folder_->setText(*folder);
}

}  // namespace lumigal
