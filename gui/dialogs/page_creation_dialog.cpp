#include "dialogs/page_creation_dialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "common/paths.h"
#include "dialogs/dialog_parts.h"
#include "dialogs/elided_label.h"
#include "dialogs/field_text.h"
#include "dialogs/gui_helpers.h"
#include "message_box/message_box_handler.h"
#include "dialogs/radio_group.h"
#include "dialogs/thumbnail_settings_dialog.h"

namespace lumigal {

namespace {

constexpr Colour kWhite = makeColour(255, 255, 255);
constexpr Colour kBlack = makeColour(0, 0, 0);

}  // namespace

QString PageCreationDialog::foundFilesLine(int count, const QString& folder) {
    const QString format = count == 1 ? QStringLiteral("%1 fichier trouvé dans le dossier %2")
                                      : QStringLiteral("%1 fichiers trouvés dans le dossier %2");
    return format.arg(count).arg(folder);
}

int PageCreationDialog::positionControl(int position) {
    switch (position) {
        case 1:
            return 1162;  // "Texte au-dessus"
        case 2:
            return 1280;  // "Texte en-dessous"
        case 3:
            return 1161;  // "Texte à gauche"
        default:
            return 1278;  // "Texte à droite"
    }
}

PageCreationDialog::PageCreationDialog(PageSettings& page, Preferences& prefs,
                                       std::string helpFilePath, int selectedFileCount,
                                       const std::string& sourceFolder, QWidget* parent)
    : LumigalDialog(parent), page_(page), prefs_(prefs), helpFilePath_(std::move(helpFilePath)) {
    // Every opening starts from the same colours, in the working state and
    // in the page values alike.
    background_ = page_.page_bgcolor = kWhite;
    text_ = page_.page_textcolor = kBlack;
    information_ = page_.page_infocolor = kBlack;

    // Heading: the page picture and the found-files line.
    auto* heading = new QHBoxLayout;
    heading->addWidget(makePicture(Art::PageGrid, {32, 32}, this));
    foundFiles_ = numbered(new ElidedLabel(this), "static", 233);
    foundFiles_->setText(foundFilesLine(selectedFileCount, toQString(sourceFolder)));
    heading->addWidget(foundFiles_, 1);

    // File name and title.
    fileName_ = numbered(new QLineEdit(QString::fromUtf8(kDefaultFileName), this), "edit", 1136);
    title_ = numbered(new QLineEdit(QString::fromUtf8(kDefaultTitle), this), "edit", 1137);
    auto* names = new QFormLayout;
    names->addRow(makeBuddyLabel(QStringLiteral("Fic&hier HTML\u00A0:"), fileName_, this), fileName_);
    names->addRow(makeBuddyLabel(QStringLiteral("Titre de la &page\u00A0:"), title_, this), title_);

    // Kind of page.
    details_ = numbered(
        new QRadioButton(
            QStringLiteral("&Mettre les détails des fichiers (nom, taille, format...)"), this),
        "radio", 1342);
    thumbnail_ = numbered(
        new QRadioButton(
            QStringLiteral("Afficher des &Images vignettes + liens sur les images réelles"), this),
        "radio", 1358);
    new RadioGroup({details_, thumbnail_}, this);

    // Place of the text.
    auto* informations = new QGroupBox(QStringLiteral("Informations"), this);
    left_ =
        numbered(new QRadioButton(QStringLiteral("Texte à &gauche"), informations), "radio", 1161);
    above_ =
        numbered(new QRadioButton(QStringLiteral("Texte au-&dessus"), informations), "radio", 1162);
    right_ =
        numbered(new QRadioButton(QStringLiteral("Texte à d&roite"), informations), "radio", 1278);
    below_ = numbered(new QRadioButton(QStringLiteral("Texte &en-dessous"), informations), "radio",
                      1280);
    new RadioGroup({left_, above_, right_, below_}, this);
    auto* positions = new QGridLayout(informations);
    positions->addWidget(left_, 0, 0);
    positions->addWidget(above_, 0, 1);
    positions->addWidget(right_, 1, 0);
    positions->addWidget(below_, 1, 1);

    // Miscellaneous switches.
    auto* divers = new QGroupBox(QStringLiteral("Divers"), this);
    center_ =
        numbered(new QCheckBox(QStringLiteral("Centrer images et te&xtes dans la page"), divers),
                 "check", 1350);
    line_ =
        numbered(new QCheckBox(QStringLiteral("&Ligne de séparation entre chaque image"), divers),
                 "check", 1351);
    tri_ = numbered(new QCheckBox(QStringLiteral("Trier alphabéti&quement les images"), divers),
                    "check", 1352);
    auto* switches = new QVBoxLayout(divers);
    switches->addWidget(center_);
    switches->addWidget(line_);
    switches->addWidget(tri_);

    auto* options = new QHBoxLayout;
    options->addWidget(informations);
    options->addWidget(divers, 1);

    // Style of the page and portable album.
    auto* partage = new QGroupBox(QStringLiteral("Style et partage"), this);
    classic_ = numbered(new QRadioButton(QStringLiteral("Page cla&ssique"), partage), "radio", 1402);
    modern_ = numbered(
        new QRadioButton(QStringLiteral("Page m&oderne (téléphones, navigateurs actuels)"), partage),
        "radio", 1403);
    new RadioGroup({classic_, modern_}, this);
    classic_->setWhatsThis(QStringLiteral("La page de toujours : un tableau de vignettes et la "
                                          "liste des fichiers."));
    modern_->setWhatsThis(QStringLiteral(
        "Une page HTML5 qui s'adapte à l'écran (téléphone compris), avec une légende pour chaque "
        "image et une visionneuse : un clic agrandit l'image, les flèches passent à la suivante "
        "ou à la précédente, Échap ferme."));
    portable_ = numbered(
        new QCheckBox(QStringLiteral("Al&bum autonome (images et vignettes dans le dossier de la page)"),
                      partage),
        "check", 1404);
    portable_->setWhatsThis(QStringLiteral(
        "Les liens deviennent relatifs, les vignettes vont dans « vignettes » et les images sont "
        "copiées dans « images » à côté de la page : le dossier peut être déplacé, compressé ou "
        "mis sur un serveur web. Les originaux ne sont jamais modifiés."));
    webSize_ = numbered(new QSpinBox(partage), "edit", 1405);
    webSize_->setRange(0, kMaxWebSize);
    webSize_->setSingleStep(256);
    webSize_->setSpecialValueText(QStringLiteral("originaux"));
    webSize_->setSuffix(QStringLiteral(" pixels"));
    webSize_->setWhatsThis(QStringLiteral(
        "Copies réduites pour le web : le grand côté fait au plus cette taille, la photo est "
        "redressée et les données de lieu (GPS) sont retirées. « originaux » : les fichiers "
        "sont copiés tels quels."));
    keepLocation_ = numbered(
        new QCheckBox(QStringLiteral("Garder le lieu de prise de v&ue"), partage), "check", 1406);
    keepLocation_->setWhatsThis(QStringLiteral(
        "Les copies aux dimensions d'origine gardent les coordonnées GPS de la prise de vue. "
        "Sinon elles en sont retirées (les pixels restent tels quels) : qui reçoit l'album ne "
        "sait pas où les photos ont été prises."));
    auto* sharing = new QGridLayout(partage);
    sharing->addWidget(classic_, 0, 0);
    sharing->addWidget(modern_, 0, 1, 1, 2);
    sharing->addWidget(portable_, 1, 0, 1, 3);
    sharing->addWidget(makeBuddyLabel(QStringLiteral("Taille &web des copies\u00A0:"), webSize_, partage), 2, 0);
    sharing->addWidget(webSize_, 2, 1);
    sharing->addWidget(keepLocation_, 3, 0, 1, 3);
    sharing->setColumnStretch(2, 1);

    // The gallery and the order of the photos of modern pages and galleries.
    auto* galerie = new QGroupBox(QStringLiteral("Galerie et ordre des photos"), this);
    gallery_ = numbered(
        new QCheckBox(QStringLiteral("G&alerie\u00A0: un album par dossier"), galerie), "check", 1407);
    gallery_->setWhatsThis(QStringLiteral(
        "Un album par dossier, sous-dossiers compris : une page d'accueil mène aux albums, "
        "chacun dans son dossier avec ses copies et ses vignettes. Une galerie est toujours "
        "moderne et autonome ; elle s'écrit dans le dossier d'accueil."));
    order_ = numbered(new QComboBox(galerie), "combo", 1408);
    order_->addItems({QStringLiteral("selon « Trier alphabétiquement »"), QStringLiteral("par nom"),
                      QStringLiteral("par date de prise de vue"), QStringLiteral("tel que trouvé")});
    order_->setWhatsThis(QStringLiteral(
        "L'ordre des photos des pages modernes et des galeries (la page classique suit « Trier "
        "alphabétiquement »). La date est celle de la prise de vue, sinon celle du fichier."));
    reverse_ = numbered(
        new QCheckBox(QStringLiteral("Inverser l'ordre (de &Z à A, les plus récentes d'abord)"), galerie),
        "check", 1409);
    reverse_->setWhatsThis(QStringLiteral("L'ordre choisi, retourné."));
    perPage_ = numbered(new QSpinBox(galerie), "edit", 1410);
    perPage_->setRange(0, kMaxPerPage);
    perPage_->setSingleStep(10);
    perPage_->setSpecialValueText(QStringLiteral("toutes sur une page"));
    perPage_->setWhatsThis(QStringLiteral(
        "Au-delà, un album de la galerie continue sur une page suivante. « toutes sur une page » : "
        "une seule page par album."));
    auto* gallerySide = new QGridLayout(galerie);
    gallerySide->addWidget(gallery_, 0, 0, 1, 3);
    gallerySide->addWidget(makeBuddyLabel(QStringLiteral("T&ype de tri\u00A0:"), order_, galerie), 1, 0);
    gallerySide->addWidget(order_, 1, 1);
    gallerySide->addWidget(reverse_, 2, 0, 1, 3);
    gallerySide->addWidget(
        makeBuddyLabel(QStringLiteral("Photos par page, &jusqu'à\u00A0:"), perPage_, galerie), 3, 0);
    gallerySide->addWidget(perPage_, 3, 1);
    gallerySide->setColumnStretch(2, 1);

    // Colours: background swatch, title and information previews.
    auto* couleurs = new QGroupBox(QStringLiteral("Couleurs"), this);
    backgroundSwatch_ = numbered(makeSwatch(QString(), false, couleurs), "static", 1346);
    backgroundSwatch_->setFixedSize(40, 40);
    textPreview_ = numbered(makeSwatch(QStringLiteral("\nTitre de la feuille"), false, couleurs),
                            "static", 1348);
    informationPreview_ =
        numbered(makeSwatch(QStringLiteral("\nInformations sur les images"), false, couleurs),
                 "static", 1349);
    for (QLabel* preview : {textPreview_, informationPreview_}) {
        preview->setMinimumHeight(3 * preview->fontMetrics().height());
        preview->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        preview->setMargin(4);
    }
    const QSize pie(16, 16);
    auto* chooseBackground =
        numbered(makePictureButton(Art::ColourPie, pie, QStringLiteral("&Fond…"),
                                   QStringLiteral("Couleur du fond de feuille"), couleurs),
                 "button", 1117);
    auto* chooseText =
        numbered(makePictureButton(Art::ColourPie, pie, QStringLiteral("&Titre…"),
                                   QStringLiteral("Couleur du titre de la feuille"), couleurs),
                 "button", 1300);
    auto* chooseInformation = numbered(
        makePictureButton(Art::ColourPie, pie, QStringLiteral("I&nfos…"),
                          QStringLiteral("Couleur des informations sur les images"), couleurs),
        "button", 1315);
    auto* colours = new QGridLayout(couleurs);
    colours->addWidget(new QLabel(QStringLiteral("Fond de feuille\u00A0:"), couleurs), 0, 0);
    colours->addWidget(backgroundSwatch_, 0, 1);
    colours->addWidget(chooseBackground, 0, 2, Qt::AlignVCenter);
    colours->setColumnMinimumWidth(3, 12);
    colours->addWidget(textPreview_, 0, 4);
    colours->addWidget(chooseText, 0, 5, Qt::AlignVCenter);
    colours->setColumnMinimumWidth(6, 12);
    colours->addWidget(informationPreview_, 0, 7);
    colours->addWidget(chooseInformation, 0, 8, Qt::AlignVCenter);
    colours->setColumnStretch(4, 1);
    colours->setColumnStretch(7, 1);

    // Buttons: OK shows the road-sign picture and says what it does; it is
    // the default button (Enter), Escape cancels.
    auto* ok = numbered(makePictureButton(Art::OkSign, {47, 47}, QStringLiteral("&Créer la page"),
                                          QStringLiteral("Créer la page"), this),
                        "button", 1);
    auto* thumbnails =
        numbered(new QPushButton(QStringLiteral("&Vignettes"), this), "button", 1118);
    // « Annuler » has Escape for its key (all the letters serve the fields).
    auto* cancel = numbered(new QPushButton(QStringLiteral("Annuler"), this), "button", 2);
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(thumbnails, 0, Qt::AlignBottom);
    buttons->addStretch(1);
    buttons->addWidget(ok, 0, Qt::AlignBottom);
    buttons->addWidget(cancel, 0, Qt::AlignBottom);

    auto* fields = new QVBoxLayout;
    fields->addLayout(heading);
    fields->addLayout(names);
    fields->addWidget(details_);
    fields->addWidget(thumbnail_);
    fields->addLayout(options);
    fields->addWidget(partage);
    fields->addWidget(galerie);
    fields->addWidget(couleurs);
    // The buttons always on the screen, below the fields (which scroll
    // where the screen is too small for them).
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeFittingBody(fields, this, buttons->sizeHint().height() + 32));
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Keyboard order follows the layout.
    QWidget* order[] = {fileName_,  title_,
                        details_,   thumbnail_,
                        left_,      above_,
                        right_,     below_,
                        center_,    line_,
                        tri_,       classic_,
                        modern_,    portable_,
                        webSize_,   keepLocation_,
                        gallery_,   order_,
                        reverse_,   perPage_,
                        chooseBackground,
                        chooseText, chooseInformation,
                        thumbnails, ok,
                        cancel};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    // Stored layout settings. Nothing is cleared: every box starts clear.
    if (page_.line) line_->setChecked(true);
    if (page_.tri) tri_->setChecked(true);
    if (page_.details) details_->setChecked(true);
    if (page_.center) center_->setChecked(true);
    if (page_.thumbnail) thumbnail_->setChecked(true);
    findChild<QRadioButton*>(QStringLiteral("radio%1").arg(positionControl(page_.position)))
        ->setChecked(true);
    (page_.style == kStyleModern ? modern_ : classic_)->setChecked(true);
    portable_->setChecked(page_.portable != 0);
    webSize_->setValue(static_cast<int>(std::min<std::uint32_t>(page_.webSize, kMaxWebSize)));
    keepLocation_->setChecked(page_.keepLocation != 0);
    gallery_->setChecked(page_.gallery != 0);
    order_->setCurrentIndex(page_.sortOrder <= kSortNone ? static_cast<int>(page_.sortOrder) : 0);
    reverse_->setChecked(page_.reverseOrder != 0);
    perPage_->setValue(shownPerPage(page_.perPage));
    enableOptions();

    showColours();
    fileName_->setFocus();

    for (QAbstractButton* choice : {static_cast<QAbstractButton*>(portable_),
                                     static_cast<QAbstractButton*>(gallery_),
                                     static_cast<QAbstractButton*>(modern_)})
        connect(choice, &QAbstractButton::toggled, this, &PageCreationDialog::enableOptions);
    connect(ok, &QPushButton::clicked, this, &PageCreationDialog::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(thumbnails, &QPushButton::clicked, this, &PageCreationDialog::openThumbnailSettings);
    connect(chooseBackground, &QPushButton::clicked, this,
            [this] { chooseColour(background_, page_.page_bgcolor); });
    connect(chooseText, &QPushButton::clicked, this,
            [this] { chooseColour(text_, page_.page_textcolor); });
    connect(chooseInformation, &QPushButton::clicked, this,
            [this] { chooseColour(information_, page_.page_infocolor); });
}

void PageCreationDialog::confirm() {
    const QString name = fileName_->text();
    if (name.isEmpty()) {
        MessageBoxHandler::warning(
            this, QString::fromUtf8(kNameMissing),
            QStringLiteral("Vous n'avez pas saisi le nom du fichier HTML à créer !"));
        fileName_->setFocus();
        return;
    }

    std::string path = joinPath(page_.pageFolder, toStdString(name));
    collapseSeparators(path);
    if (!fitsPathLimit(path)) {
        // Cutting the path would name another file: refuse it instead.
        MessageBoxHandler::warning(
            this, QString::fromUtf8(kPathTooLong),
            QStringLiteral("Le chemin du fichier HTML à créer est trop long (plus de %1 octets) :\n"
                           "%2\nMerci de choisir un nom ou un dossier d'accueil plus court.")
                .arg(kMaxPath)
                .arg(toQString(path)));
        fileName_->setFocus();
        return;
    }

    if (above_->isChecked())
        page_.position = 1;
    else if (left_->isChecked())
        page_.position = 3;
    else if (right_->isChecked())
        page_.position = 4;
    else
        page_.position = 2;
    page_.tri = tri_->isChecked() ? 1 : 0;
    page_.center = center_->isChecked() ? 1 : 0;
    page_.line = line_->isChecked() ? 1 : 0;
    page_.details = details_->isChecked() ? 1 : 0;
    page_.thumbnail = thumbnail_->isChecked() ? 1 : 0;
    page_.style = modern_->isChecked() ? kStyleModern : kStyleClassic;
    page_.portable = portable_->isChecked() ? 1 : 0;
    page_.webSize = static_cast<std::uint32_t>(webSize_->value());
    page_.keepLocation = keepLocation_->isChecked() ? 1 : 0;
    page_.gallery = gallery_->isChecked() ? 1 : 0;
    page_.sortOrder = static_cast<std::uint32_t>(order_->currentIndex());
    page_.reverseOrder = reverse_->isChecked() ? 1 : 0;
    page_.perPage = perPage_->value() == 0 ? kOnePage : static_cast<std::uint32_t>(perPage_->value());
    page_.pagePath = std::move(path);
    const QString title = truncateToCodePoints(title_->text(), kMaxTitleLength);
    page_.pageTitle = title.isEmpty() ? std::string(kDefaultTitle) : toStdString(title);
    accept();
}

int PageCreationDialog::shownPerPage(std::uint32_t perPage) {
    if (perPage == kPerPageOfStyle) return static_cast<int>(kGalleryPerPage);
    if (perPage == kOnePage) return 0;
    return static_cast<int>(std::min<std::uint32_t>(perPage, kMaxPerPage));
}

void PageCreationDialog::enableOptions() {
    // A gallery is always a portable album; the classic page keeps its
    // own order (« Trier »).
    const bool gallery = gallery_->isChecked();
    for (QWidget* option : {static_cast<QWidget*>(webSize_), static_cast<QWidget*>(keepLocation_)})
        option->setEnabled(portable_->isChecked() || gallery);
    for (QWidget* option : {static_cast<QWidget*>(order_), static_cast<QWidget*>(reverse_)})
        option->setEnabled(modern_->isChecked() || gallery);
    perPage_->setEnabled(gallery);
    // A gallery is always modern, portable and made of thumbnails; the
    // layout choices of single pages mean nothing to it.
    for (QWidget* option :
         std::initializer_list<QWidget*>{details_, thumbnail_, left_, above_, right_, below_, center_,
                                         line_, tri_, classic_, modern_, portable_})
        option->setEnabled(!gallery);
}

void PageCreationDialog::openThumbnailSettings() {
    // The thumbnails of the style shown, even before OK stores it (a
    // gallery is always modern).
    const bool modern = modern_->isChecked() || gallery_->isChecked();
    ThumbnailSettingsDialog dialog(page_, prefs_, helpFilePath_,
                                   modern ? kStyleModern : kStyleClassic, this);
    dialog.exec();
    repaint();
}

void PageCreationDialog::chooseColour(Colour& current, Colour& pageValue) {
    Colour chosen = current;
    if (!pickColour(this, chosen)) return;
    current = pageValue = chosen;
    showColours();
    repaint();
}

void PageCreationDialog::showColours() {
    const QColor background = toQColor(background_);
    paintSwatch(backgroundSwatch_, background, Qt::black);
    paintSwatch(textPreview_, background, toQColor(text_));
    paintSwatch(informationPreview_, background, toQColor(information_));
}

}  // namespace lumigal
