#include "ProxiedFetch.h"

#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRegularExpression>

namespace corvane {

namespace {
constexpr int kTimeoutMs = 10000;
} // namespace

ProxiedFetch::ProxiedFetch(QObject *parent) : QObject(parent) {}

ProxiedFetch::~ProxiedFetch() = default;

std::optional<quint16> ProxiedFetch::socksPort(const QString &line)
{
    static const QRegularExpression socks(QStringLiteral("socks5://127\\.0\\.0\\.1:(\\d{1,5})"));
    const QRegularExpressionMatch match = socks.match(line);
    bool ok = false;
    const uint port = match.hasMatch() ? match.captured(1).toUInt(&ok) : 0;
    if (!ok || port == 0 || port > 65535)
        return std::nullopt;
    return static_cast<quint16>(port);
}

void ProxiedFetch::start(const QUrl &url, quint16 socksPort)
{
    if (m_reply)
        m_reply->abort();
    m_page.reset();
    m_error.reset();
    m_network.setProxy(
        QNetworkProxy(QNetworkProxy::Socks5Proxy, QStringLiteral("127.0.0.1"), socksPort));
    QNetworkRequest request(url);
    request.setTransferTimeout(kTimeoutMs);
    m_reply = m_network.get(request);
    QNetworkReply *reply = m_reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (reply->error() == QNetworkReply::NoError)
            m_page = QString::fromUtf8(reply->readAll()).trimmed();
        else
            m_error = reply->errorString();
    });
}

} // namespace corvane
