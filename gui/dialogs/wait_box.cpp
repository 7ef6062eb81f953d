#include "dialogs/wait_box.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "dialogs/dialog_parts.h"
#include "dialogs/elided_label.h"
#include "dialogs/field_text.h"

namespace lumigal {

namespace {
constexpr int kBoxWidth = 440;
}  // namespace

QString WaitBox::countLine(int count) { return QStringLiteral("Fichier #%1").arg(count); }

WaitBox::WaitBox(QWidget* parent) : WorkBox(parent) {
    auto* searching =
        numbered(new QLabel(QStringLiteral("Recherche en cours..."), this), "static", 233);
    QFont bold = searching->font();
    bold.setBold(true);
    searching->setFont(bold);
    count_ = numbered(new QLabel(QStringLiteral("Merci de patienter quelques instants..."), this),
                      "static", 1328);
    path_ = numbered(new ElidedLabel(this), "static", 1329);

    // OK has nothing to confirm; « Annuler » stops the scan.
    auto* ok = numbered(new QPushButton(QStringLiteral("OK"), this), "button", 1);
    ok->setEnabled(false);
    QPushButton* cancel = makeCancelButton();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QGridLayout(this);
    layout->addWidget(makePicture(Art::ProgramIcon, {32, 32}, this), 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(searching, 0, 1);
    layout->addWidget(count_, 1, 1);
    layout->addWidget(path_, 2, 1);
    layout->addLayout(buttons, 3, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setHorizontalSpacing(12);
    setFixedWidth(kBoxWidth);

    show();
}

void WaitBox::fileAdded(const std::string& path, int count) {
    count_->setText(countLine(count));
    path_->setText(toQString(path));
}

void WaitBox::folderSkipped(const std::string& path) { skipped_.push_back(path); }

void WaitBox::showStopping() { count_->setText(QStringLiteral("Arrêt de la recherche...")); }

}  // namespace lumigal
