// An edit field with up-down arrows. The arrows (and the Up/Down keys) step
// the number in the field between 1 and 100 and jump from one end of that
// range to the other; what the user types is not limited by the range.
// A digits-only field refuses any other character.
#pragma once

#include <QAbstractSpinBox>
#include <QString>

namespace lumigal {

class WrapSpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    static constexpr int kLowest = 1;
    static constexpr int kHighest = 100;

    explicit WrapSpinEdit(bool digitsOnly, QWidget* parent = nullptr);

    QString fieldText() const;
    void setFieldText(const QString& text);

    // Up from `current` (steps > 0) or down (steps < 0) within 1 .. 100 with
    // wrap. A text that is no number counts as 0; from below the range the
    // first step up gives 1 and down gives 100; from above it up gives 1 and
    // down gives 100.
    static int stepped(const QString& current, int steps);

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    StepEnabled stepEnabled() const override;

private:
    bool digitsOnly_;
};

}  // namespace lumigal
