#include "install_wizard/file_error_box.h"

#include <QLabel>
#include <QPushButton>

#include "install_wizard/artwork.h"
#include "install_wizard/background_window.h"
#include "install_wizard/icon_box.h"

namespace lumigal::install {

FileErrorBox::FileErrorBox(const QString& text, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dialog117"));
    setWindowTitle(QStringLiteral("Lumigal"));
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
    layOutIconBox(this, fileErrorIcon(), message, {ignore, quit});
}

void FileErrorBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreWindow(this);
}

}  // namespace lumigal::install
