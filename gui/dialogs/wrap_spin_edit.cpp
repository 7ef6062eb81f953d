#include "dialogs/wrap_spin_edit.h"

#include <QLineEdit>

#include "dialogs/field_text.h"

namespace lumigal {

WrapSpinEdit::WrapSpinEdit(bool digitsOnly, QWidget* parent)
    : QAbstractSpinBox(parent), digitsOnly_(digitsOnly) {
    setWrapping(true);
    setKeyboardTracking(true);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
}

QString WrapSpinEdit::fieldText() const { return lineEdit()->text(); }

void WrapSpinEdit::setFieldText(const QString& text) { lineEdit()->setText(text); }

int WrapSpinEdit::stepped(const QString& current, int steps) {
    const auto parsed = parseUnsignedField(current);
    const long long value = parsed ? static_cast<long long>(*parsed) : 0;
    if (value < kLowest || value > kHighest) return steps > 0 ? kLowest : kHighest;
    const long long span = kHighest - kLowest + 1;
    long long next = (value - kLowest + steps) % span;
    if (next < 0) next += span;
    return static_cast<int>(next + kLowest);
}

void WrapSpinEdit::stepBy(int steps) {
    if (steps == 0) return;
    lineEdit()->setText(QString::number(stepped(fieldText(), steps)));
    selectAll();
}

QValidator::State WrapSpinEdit::validate(QString& input, int& pos) const {
    (void)pos;
    if (!digitsOnly_) return QValidator::Acceptable;
    for (const QChar c : input)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return QValidator::Invalid;
    return QValidator::Acceptable;
}

QSize WrapSpinEdit::sizeHint() const {
    QSize hint = QAbstractSpinBox::sizeHint();
    hint.setWidth(
        qMax(hint.width(), fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 40));
    return hint;
}

QSize WrapSpinEdit::minimumSizeHint() const { return sizeHint(); }

QAbstractSpinBox::StepEnabled WrapSpinEdit::stepEnabled() const {
    if (isReadOnly() || !isEnabled()) return StepNone;
    return StepUpEnabled | StepDownEnabled;
}

}  // namespace lumigal
