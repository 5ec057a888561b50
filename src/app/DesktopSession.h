#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>

namespace corvane {

class DesktopNotifier;
class FirstFrame;
class ReconnectMark;
class SingleInstance;
class TrayController;
class TunnelNotices;

// A windowed launch as a desktop citizen: the tray icon and its menu, the notices about the
// tunnel, and the window shown again when a later launch hands over to this one. The tray
// comes once the window has its first frame, or sooner when a later launch asks for it.
class DesktopSession final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DesktopSession)

public:
    DesktopSession(QWidget *window, SingleInstance &instance, QObject *parent = nullptr);
    ~DesktopSession() override;

    // None until the window's first frame.
    TrayController *tray() const { return m_tray.get(); }

private:
    void showTray();

    QPointer<QWidget> m_window;
    std::unique_ptr<DesktopNotifier> m_notifier;
    std::unique_ptr<TrayController> m_tray;
    std::unique_ptr<TunnelNotices> m_notices;
    // Held while the window brings a tunnel back, for corvanectl's status.
    std::unique_ptr<ReconnectMark> m_reconnectMark;
    std::unique_ptr<FirstFrame> m_firstFrame;
};

} // namespace corvane
