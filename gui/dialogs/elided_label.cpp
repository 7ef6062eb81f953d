#include "dialogs/elided_label.h"

#include <QPainter>

namespace lumigal {

namespace {
constexpr int kPreferredChars = 60;
constexpr int kMinimumChars = 12;
}  // namespace

ElidedLabel::ElidedLabel(QWidget* parent) : QFrame(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    updateToolTip();
    updateGeometry();
    update();
}

QString ElidedLabel::shownText() const {
    return fontMetrics().elidedText(text_, Qt::ElideMiddle, contentsRect().width());
}

QSize ElidedLabel::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    const int preferred = metrics.averageCharWidth() * kPreferredChars;
    const int width = qMin(metrics.horizontalAdvance(text_), preferred);
    const QMargins margins = contentsMargins();
    return {qMax(width, minimumSizeHint().width()) + margins.left() + margins.right(),
            metrics.height() + margins.top() + margins.bottom()};
}

QSize ElidedLabel::minimumSizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    const QMargins margins = contentsMargins();
    return {metrics.averageCharWidth() * kMinimumChars + margins.left() + margins.right(),
            metrics.height() + margins.top() + margins.bottom()};
}

void ElidedLabel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, shownText());
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    updateToolTip();
}

void ElidedLabel::updateToolTip() { setToolTip(shownText() == text_ ? QString() : text_); }

}  // namespace lumigal
