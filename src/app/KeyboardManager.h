#pragma once

#include <QObject>

class QWidget;

namespace corvane {

// Keeps the focused text field in view: when a field inside a scroll area takes the focus, the
// area scrolls to it. Off until enabled.
class KeyboardManager final : public QObject
{
    Q_OBJECT

public:
    static KeyboardManager &shared();

    explicit KeyboardManager(QObject *parent = nullptr) : QObject(parent) {}
    Q_DISABLE_COPY_MOVE(KeyboardManager)

    bool enable() const { return m_enable; }
    void setEnable(bool enable);

private:
    void focusChanged(QWidget *old, QWidget *now);

    bool m_enable = false;
};

} // namespace corvane
