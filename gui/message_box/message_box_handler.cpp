#include "message_box/message_box_handler.h"

#include <QAbstractButton>
#include <utility>

namespace lumigal {

namespace {

MessageBoxHandler::Answerer& answerer() {
    static MessageBoxHandler::Answerer instance;
    return instance;
}

}  // namespace

QMessageBox::StandardButton MessageBoxHandler::show(QWidget* parent, const MessageRecord& message,
                                                    const Presenter& presenter) {
    if (answerer()) return answerer()(parent, message);
    if (presenter) return presenter(parent, message);
    QMessageBox box(message.icon, message.caption, message.text, message.buttons, parent);
    box.setTextFormat(Qt::PlainText);
    for (const auto& [button, text] : message.buttonTexts) {
        if (QAbstractButton* shown = box.button(button)) shown->setText(text);
    }
    if (message.defaultButton != QMessageBox::NoButton) box.setDefaultButton(message.defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void MessageBoxHandler::information(QWidget* parent, const QString& identifier,
                                    const QString& text) {
    show(parent, {identifier, QMessageBox::Information, QString::fromUtf8(kProgramCaption), text});
}

void MessageBoxHandler::warning(QWidget* parent, const QString& identifier, const QString& text) {
    show(parent, {identifier, QMessageBox::Warning, QString::fromUtf8(kProgramCaption), text});
}

void MessageBoxHandler::critical(QWidget* parent, const QString& identifier, const QString& text) {
    show(parent, {identifier, QMessageBox::Critical, QString::fromUtf8(kProgramCaption), text});
}

void MessageBoxHandler::setAnswerer(Answerer newAnswerer) { answerer() = std::move(newAnswerer); }

}  // namespace lumigal
