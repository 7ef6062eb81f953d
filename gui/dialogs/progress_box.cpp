#include "dialogs/progress_box.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "dialogs/elided_label.h"
#include "dialogs/field_text.h"
#include "message_box/message_box_handler.h"

namespace lumigal {

namespace {
constexpr int kBoxWidth = 420;
}  // namespace

ProgressBox::ProgressBox(QWidget* parent) : WorkBox(parent) {
    if (parent != nullptr) parent->repaint();

    message_ = numbered(new QLabel(QStringLiteral("Merci de patienter quelques instants..."), this),
                        "static", 1328);
    label_ = numbered(new ElidedLabel(this), "static", 233);
    QSizePolicy keepPlace = label_->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    label_->setSizePolicy(keepPlace);
    bar_ = numbered(new QProgressBar(this), "progress", 1262);
    bar_->setTextVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message_);
    layout->addWidget(label_);
    layout->addWidget(bar_);
    setFixedWidth(kBoxWidth);

    setRange(100);
    label_->hide();
    showNow();
    // Centred by LumigalDialog when shown.
}

void ProgressBox::setRange(int maximum) {
    bar_->setRange(0, maximum);
    bar_->setValue(0);
}

void ProgressBox::started(int count) {
    // The caller has set the range to the same count already; setting it
    // here too keeps the bar right for any caller.
    if (count > 0 && bar_->maximum() != count) setRange(count);
    label_->show();
    repaint();
}

void ProgressBox::setLabel(const std::string& path) {
    label_->setText(toQString(path));
    repaint();
}

void ProgressBox::setPosition(int index) {
    bar_->setValue(index);
    bar_->repaint();
}

void ProgressBox::imageFailed(const std::string& path, const std::string& reason) {
    failures_.push_back({path, reason});
}

void ProgressBox::failed(const std::string& message) {
    MessageBoxHandler::critical(parentWidget(), QString::fromUtf8(kPageFailed), toQString(message));
}

}  // namespace lumigal
