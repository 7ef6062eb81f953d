// The keyboard checks every window gets: the mnemonics (Alt+letter) of one
// window, or of one menu, are each used once.
#pragma once

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace lumigal::test {

// The letter after the single '&' of `text`, lower case; none for a text
// without one ("&&" shows an ampersand).
inline QChar mnemonicOf(const QString& text) {
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) continue;
        if (text[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return {};
}

// "Alt+P: « &Padding: », « Garder les p&roportions »" for every key that
// two controls of `window` shown together share (buttons, labels with a
// buddy, group boxes, the menu bar's titles), and the same within each
// menu. Empty when every key is used once.
inline QStringList sharedMnemonics(QWidget* window) {
    QMap<QChar, QStringList> users;
    const auto use = [&users](const QString& text) {
        const QChar key = mnemonicOf(text);
        if (!key.isNull()) users[key] << QStringLiteral("« %1 »").arg(text);
    };
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(window) || widget->window() != window) continue;
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) use(button->text());
        if (auto* label = qobject_cast<QLabel*>(widget); label && label->buddy())
            use(label->text());
        if (auto* group = qobject_cast<QGroupBox*>(widget)) use(group->title());
    }
    QStringList shared;
    const auto report = [&shared](const QString& scope, const QMap<QChar, QStringList>& keys) {
        for (auto it = keys.begin(); it != keys.end(); ++it)
            if (it->size() > 1)
                shared << QStringLiteral("%1Alt+%2 : %3").arg(scope, it.key().toUpper(),
                                                              it->join(QStringLiteral(", ")));
    };
    if (auto* bar = window->findChild<QMenuBar*>()) {
        for (QAction* title : bar->actions()) {
            use(title->text());
            if (QMenu* menu = title->menu()) {
                QMap<QChar, QStringList> items;
                for (QAction* item : menu->actions()) {
                    const QChar key = mnemonicOf(item->text());
                    if (!key.isNull()) items[key] << item->text();
                }
                report(QStringLiteral("menu %1, ").arg(title->text()), items);
            }
        }
    }
    report(QString(), users);
    return shared;
}

}  // namespace lumigal::test
