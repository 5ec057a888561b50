#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <optional>

class QNetworkReply;

namespace corvane {

// Fetches one page through the local SOCKS5 proxy that a line on the screen names, as any
// program pointed at the tunnel would, and keeps the page's text.
class ProxiedFetch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProxiedFetch)

public:
    explicit ProxiedFetch(QObject *parent = nullptr);
    ~ProxiedFetch() override;

    // The SOCKS5 port of a line such as the screens show; none when the line names none.
    static std::optional<quint16> socksPort(const QString &line);

    // Forgets the last page and fetches `url` through 127.0.0.1:`socksPort`.
    void start(const QUrl &url, quint16 socksPort);
    bool isRunning() const { return !m_reply.isNull(); }
    // The page, trimmed, once it came; the reason once the fetch failed.
    const std::optional<QString> &page() const { return m_page; }
    const std::optional<QString> &error() const { return m_error; }

private:
    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    std::optional<QString> m_page;
    std::optional<QString> m_error;
};

} // namespace corvane
