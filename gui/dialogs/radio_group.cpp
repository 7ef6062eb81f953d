#include "dialogs/radio_group.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>

namespace lumigal {

namespace {

// The dynamic property that marks a button of a RadioGroup.
constexpr const char* kGroupProperty = "lumigalRadioGroup";

// Qt tells screen readers that a radio button which is not auto-exclusive
// is a check box. A group's buttons are radio buttons whose exclusivity the
// group keeps, so they say so: role, checked state, name and actions.
class GroupedRadioAccessible : public QAccessibleWidget {
public:
    explicit GroupedRadioAccessible(QRadioButton* button)
        : QAccessibleWidget(button, QAccessible::RadioButton) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = radio()->isChecked();
        return state;
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && radio()->accessibleName().isEmpty()) {
            QString name = radio()->text();
            // "&&" shows one ampersand; a single one marks the mnemonic.
            name.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
            name.remove(QLatin1Char('&'));
            name.replace(QLatin1Char('\x01'), QLatin1Char('&'));
            return name;
        }
        return QAccessibleWidget::text(kind);
    }

    QStringList actionNames() const override {
        return QStringList{QAccessibleActionInterface::pressAction()} +
               QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == QAccessibleActionInterface::pressAction()) {
            radio()->click();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    QRadioButton* radio() const { return static_cast<QRadioButton*>(widget()); }
};

QAccessibleInterface* groupedRadioFactory(const QString& /*className*/, QObject* object) {
    auto* button = qobject_cast<QRadioButton*>(object);
    if (button == nullptr || !button->property(kGroupProperty).toBool()) return nullptr;
    return new GroupedRadioAccessible(button);
}

void installGroupedRadioFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(groupedRadioFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace

RadioGroup::RadioGroup(std::initializer_list<QRadioButton*> buttons, QObject* parent)
    : QObject(parent), buttons_(buttons) {
    installGroupedRadioFactory();
    for (QRadioButton* button : buttons_) {
        button->setAutoExclusive(false);
        button->setProperty(kGroupProperty, true);
        // An interface made before (as the button was made) says check box.
        if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(button);
            made && made->role() != QAccessible::RadioButton)
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
        button->installEventFilter(this);
        connect(button, &QAbstractButton::clicked, this, [this, button] { select(button); });
        // Screen readers hear the new state of every button of the group.
        connect(button, &QAbstractButton::toggled, button, [button] {
            if (!QAccessible::isActive()) return;
            QAccessible::State changed;
            changed.checked = true;
            QAccessibleStateChangeEvent event(button, changed);
            QAccessible::updateAccessibility(&event);
        });
    }
}

void RadioGroup::select(QRadioButton* button) {
    for (QRadioButton* other : buttons_) other->setChecked(other == button);
}

bool RadioGroup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    int step = 0;
    if (key == Qt::Key_Down || key == Qt::Key_Right) step = 1;
    if (key == Qt::Key_Up || key == Qt::Key_Left) step = -1;
    const int index = buttons_.indexOf(static_cast<QRadioButton*>(watched));
    if (step == 0 || index < 0) return QObject::eventFilter(watched, event);
    const int count = static_cast<int>(buttons_.size());
    QRadioButton* next = buttons_.at((index + step + count) % count);
    next->setFocus(Qt::TabFocusReason);
    select(next);
    return true;
}

}  // namespace lumigal
