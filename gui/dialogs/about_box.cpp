#include "dialogs/about_box.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/dialog_parts.h"
#include "dialogs/field_text.h"

namespace lumigal {

AboutBox::AboutBox(const platform::SystemVersion& version, QWidget* parent) : LumigalDialog(parent) {
    auto* description = numbered(new QLabel(QString::fromUtf8(kDescription), this), "static", 202);
    auto* system =
        numbered(new QLabel(toQString(platform::systemVersionLine(version)), this), "static", 1291);
    for (QLabel* label : {description, system}) {
        label->setTextFormat(Qt::PlainText);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }

    auto* contacts = new QGroupBox(QStringLiteral("Contacts"), this);
    auto* contactLines = new QVBoxLayout(contacts);
    for (const char* line : {kContactName, kContactAddress, kContactPhone}) {
        auto* label = new QLabel(QString::fromUtf8(line), contacts);
        label->setTextFormat(Qt::PlainText);
        contactLines->addWidget(label);
    }
    auto* email = new QLabel(
        QStringLiteral("<a href=\"mailto:%1\">%1</a>").arg(QString::fromUtf8(kContactEmail)),
        contacts);
    auto* web = new QLabel(
        QStringLiteral("<a href=\"%1\">%1</a>").arg(QString::fromUtf8(kContactWeb)), contacts);
    for (QLabel* link : {email, web}) {
        link->setTextFormat(Qt::RichText);
        link->setOpenExternalLinks(true);
        contactLines->addWidget(link);
    }

    auto* ok = numbered(new QPushButton(QStringLiteral("OK"), this), "button", 1);
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);

    auto* text = new QVBoxLayout;
    text->addWidget(description);
    text->addWidget(system);
    text->addSpacing(8);
    text->addWidget(contacts);

    auto* body = new QHBoxLayout;
    body->addWidget(makePicture(Art::ProgramIcon, {48, 48}, this), 0, Qt::AlignTop);
    body->addSpacing(8);
    body->addLayout(text, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    ok->setFocus();
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void AboutBox::reject() { done(QDialog::Accepted); }

}  // namespace lumigal
