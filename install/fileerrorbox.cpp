#include "install/fileerrorbox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "install/artwork.h"
#include "install/backgroundwindow.h"

namespace lumigal::install {

FileErrorBox::FileErrorBox(const QString& text, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dialog117"));
    setWindowTitle(QStringLiteral("Lumigal"));
    auto* icon = new QLabel(this);
    icon->setPixmap(fileErrorIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    auto* message = new QLabel(text, this);
    message->setObjectName(QStringLiteral("text1007"));
    message->setWordWrap(true);
    message->setMinimumWidth(340);
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* ignore = new QPushButton(QStringLiteral("Ignorer"), this);
    ignore->setObjectName(QStringLiteral("button1"));
    ignore->setDefault(true);
    auto* quit = new QPushButton(QStringLiteral("Quitter"), this);
    quit->setObjectName(QStringLiteral("button2"));
    connect(ignore, &QPushButton::clicked, this, [this] { done(1); });
    connect(quit, &QPushButton::clicked, this, [this] { done(0); });

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addWidget(message, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ignore);
    buttons->addWidget(quit);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void FileErrorBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreWindow(this);
}

}  // namespace lumigal::install
