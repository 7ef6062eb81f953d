// A one-line label for texts that may be long (paths): the whole text is
// kept, shown shortened in its middle when it does not fit, and offered in
// full as the tooltip.
#pragma once

#include <QFrame>
#include <QString>

namespace lumigal {

class ElidedLabel : public QFrame {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString& text);

    // The text as it is drawn at the current width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateToolTip();
    QString text_;
};

}  // namespace lumigal
