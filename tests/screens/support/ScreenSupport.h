#pragma once

#include "ui/feedback/toast/ToastHost.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QWidget>

namespace corvane::test {

// The texts of the toasts showing on `view`.
inline QStringList toastTexts(QWidget *view)
{
    QStringList texts;
    ToastHost *host = ToastHost::find(view);
    if (!host)
        return texts;
    for (QWidget *toast : host->activeToasts()) {
        for (const QLabel *label : toast->findChildren<QLabel *>()) {
            if (!label->text().isEmpty())
                texts << label->text();
        }
    }
    return texts;
}

// Visible widgets under `root` that take input but offer a screen reader nothing to say.
inline QStringList unnamedControls(QWidget *root)
{
    QStringList unnamed;
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        const bool interactive = qobject_cast<QAbstractButton *>(widget) ||
                                 qobject_cast<QLineEdit *>(widget) ||
                                 widget->focusPolicy() != Qt::NoFocus;
        if (!interactive || !widget->isVisibleTo(root))
            continue;
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << QString::fromLatin1(widget->metaObject()->className()) +
                           QStringLiteral(" ") + widget->objectName();
    }
    return unnamed;
}

// Runs what the event loop has queued, a few rounds deep.
inline void settle()
{
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

} // namespace corvane::test
