#include "app/KeyboardManager.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTextEdit>

namespace corvane {

KeyboardManager &KeyboardManager::shared()
{
    static KeyboardManager manager;
    return manager;
}

void KeyboardManager::setEnable(bool enable)
{
    if (m_enable == enable)
        return;
    m_enable = enable;
    if (enable)
        connect(qApp, &QApplication::focusChanged, this, &KeyboardManager::focusChanged);
    else
        disconnect(qApp, &QApplication::focusChanged, this, &KeyboardManager::focusChanged);
}

void KeyboardManager::focusChanged(QWidget *, QWidget *now)
{
    if (!qobject_cast<QLineEdit *>(now) && !qobject_cast<QTextEdit *>(now) &&
        !qobject_cast<QPlainTextEdit *>(now))
        return;
    for (QWidget *parent = now->parentWidget(); parent; parent = parent->parentWidget()) {
        if (auto *area = qobject_cast<QScrollArea *>(parent)) {
            area->ensureWidgetVisible(now);
            return;
        }
    }
}

} // namespace corvane
