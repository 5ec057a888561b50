#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>

namespace corvane {

class DesktopNotifier;
class SingleInstance;
class TrayController;
class TunnelNotices;

// A windowed launch as a desktop citizen: the tray icon and its menu, the notices about the
// tunnel, and the window shown again when a later launch hands over to this one.
class DesktopSession final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DesktopSession)

public:
    DesktopSession(QWidget *window, SingleInstance &instance, QObject *parent = nullptr);
    ~DesktopSession() override;

private:
    QPointer<QWidget> m_window;
    std::unique_ptr<DesktopNotifier> m_notifier;
    std::unique_ptr<TrayController> m_tray;
    std::unique_ptr<TunnelNotices> m_notices;
};

} // namespace corvane
