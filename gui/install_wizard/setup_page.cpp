#include "install_wizard/setup_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "install_wizard/setup_wizard.h"

namespace lumigal::install {

SetupPage::SetupPage(SetupWizard& wizard, const QPixmap& picture)
    : QWizardPage(nullptr), wizard_(wizard), content_(new QVBoxLayout) {
    auto* side = new QLabel(this);
    side->setObjectName(QStringLiteral("picture"));
    side->setPixmap(picture);
    side->setFixedSize(picture.size());
    side->setFrameShape(QFrame::NoFrame);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(side, 0, Qt::AlignTop);
    row->addSpacing(14);
    row->addLayout(content_, 1);
    content_->setContentsMargins(0, 0, 0, 0);
}

QLabel* SetupPage::addText(const QString& text, int control) {
    auto* label = new QLabel(text, this);
    label->setWordWrap(true);
    if (control != 0) label->setObjectName(QStringLiteral("text%1").arg(control));
    content_->addWidget(label);
    return label;
}

QFont titleFont(const QWidget* widget, const QString& face, int size, int weight, bool italic) {
    QFont font(face);
    const bool serif = face.contains(QStringLiteral("Times"));
    font.setStyleHint(serif ? QFont::Serif : QFont::SansSerif);
    font.setFamilies(
        {face, serif ? QStringLiteral("Liberation Serif") : QStringLiteral("Liberation Sans"),
         serif ? QStringLiteral("serif") : QStringLiteral("sans-serif")});
    // MulDiv rounds half away from zero.
    const int dpi = widget->logicalDpiY();
    font.setPixelSize(std::max(1, (dpi * size + 55) / 110));
    font.setWeight(weight >= 700 ? QFont::Bold : QFont::Normal);
    font.setItalic(italic);
    return font;
}

}  // namespace lumigal::install
