#pragma once

#include "core/vpn/VPNStatus.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

class QTimer;

namespace corvane {

class ProxiedFetch;

// The whole road, walked through the windows' accessibility interfaces as a customer with a
// screen reader walks it: a wrong password, the right one, a bandwidth order, 24-hour
// de-duplication, a province, connect, the public address and the address a page fetched through
// the tunnel's local proxy saw, change IP and a new address seen both ways, disconnect. Prints
// every step and tunnel status; exits with 0 at the end, or with 1 and the reason when a step does
// not get there in time.
class RoadDemo final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RoadDemo)

public:
    // `page` answers with the address its request came from.
    RoadDemo(QString mobile, QString password, QUrl page, QObject *parent = nullptr);
    ~RoadDemo() override;

    void start();

private:
    struct Step
    {
        QString title;
        std::function<void()> act;
        // Called until it returns true; it may carry on the step (pick from a sheet) itself.
        std::function<bool()> reached;
        // What the step waits for, for the message when it never comes.
        QString waitingFor;
    };

    QList<Step> steps();
    void begin(qsizetype index);
    void poll();
    void statusChanged(VPNStatus status);
    void fail(const QString &reason);
    void finish(int code);

    // Presses the first showing button whose name matches, once per step.
    bool pressOnce(const std::function<bool(const QString &)> &matches, bool announce = false);
    // The public address and its place while the tunnel is up and settled; empty otherwise.
    QString shownAddress() const;
    // Fetches the page through the proxy the screen's line names; true once the page came, with
    // the address it saw in `seen`.
    bool fetchedThroughProxy(QString &seen);

    QString m_mobile;
    QString m_password;
    QList<Step> m_steps;
    qsizetype m_current = -1;
    qint64 m_deadline = 0;
    QTimer *m_poll;
    QString m_lastStatus;
    QString m_firstAddress;
    QUrl m_page;
    ProxiedFetch *m_fetch;
    QString m_firstSeen;
    bool m_pressed = false;
    bool m_saved = false;
};

} // namespace corvane
