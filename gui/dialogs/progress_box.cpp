#include "dialogs/progress_box.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/elided_label.h"
#include "dialogs/field_text.h"
#include "message_box/message_box_handler.h"

namespace lumigal {

namespace {
constexpr int kBoxWidth = 420;

QString duration(qint64 seconds) {
    if (seconds < 60) return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg((seconds % 3600) / 60, 2, 10,
                                                                  QLatin1Char('0'));
}
}  // namespace

QString ProgressBox::countLine(int done, int total) {
    return QStringLiteral("Image %1 sur %2").arg(done).arg(total);
}

QString ProgressBox::timeLeftLine(qint64 elapsedMs, int done, int total) {
    if (done <= 0 || total <= 0 || elapsedMs < 0) return {};
    const int left = std::max(0, total - done);
    // Rounded up: the box never promises less than it will take.
    const qint64 seconds = (elapsedMs * left + qint64{done} * 1000 - 1) / (qint64{done} * 1000);
    return QStringLiteral("Temps restant : environ %1").arg(duration(seconds));
}

ProgressBox::ProgressBox(QWidget* parent) : WorkBox(parent) {
    message_ = numbered(new QLabel(QStringLiteral("Merci de patienter quelques instants..."), this),
                        "static", 1328);
    label_ = numbered(new ElidedLabel(this), "static", 233);
    QSizePolicy keepPlace = label_->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    label_->setSizePolicy(keepPlace);
    bar_ = numbered(new QProgressBar(this), "progress", 1262);
    bar_->setTextVisible(false);
    count_ = numbered(new QLabel(this), "static", 1330);
    timeLeft_ = numbered(new QLabel(this), "static", 1331);

    auto* figures = new QHBoxLayout;
    figures->addWidget(count_);
    figures->addStretch(1);
    figures->addWidget(timeLeft_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(makeCancelButton());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message_);
    layout->addWidget(label_);
    layout->addWidget(bar_);
    layout->addLayout(figures);
    layout->addLayout(buttons);
    setFixedWidth(kBoxWidth);

    setRange(100);
    label_->hide();
    show();
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
    count_->setText(countLine(0, bar_->maximum()));
    clock_.start();
}

void ProgressBox::setLabel(const std::string& path) { label_->setText(toQString(path)); }

void ProgressBox::setPosition(int index) {
    bar_->setValue(index);
    const int done = index + 1;
    count_->setText(countLine(done, bar_->maximum()));
    if (clock_.isValid()) timeLeft_->setText(timeLeftLine(clock_.elapsed(), done, bar_->maximum()));
}

void ProgressBox::imageFailed(const std::string& path, const std::string& reason) {
    failures_.push_back({path, reason});
}

void ProgressBox::failed(const std::string& message) {
    MessageBoxHandler::critical(parentWidget(), QString::fromUtf8(kPageFailed), toQString(message));
}

void ProgressBox::showStopping() {
    message_->setText(QStringLiteral("Arrêt en cours : la page précédente reste telle quelle..."));
}

}  // namespace lumigal
