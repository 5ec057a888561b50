#include "platform/systemproxy/KioProxyFile.h"

#include "platform/files/PrivateFile.h"
#include "platform/files/RegularFile.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QFileInfo>

namespace corvane {

namespace {

const QString kGroup = QStringLiteral("Proxy Settings");
// A kioslaverc is a few kilobytes; anything near this is not one.
constexpr qint64 kMaxSize = 1 << 20;

bool isHeader(const QByteArray &line)
{
    return line.trimmed().startsWith('[');
}

QByteArray keyOf(const QByteArray &line)
{
    const QByteArray trimmed = line.trimmed();
    const qsizetype equals = trimmed.indexOf('=');
    return trimmed.startsWith('#') || equals < 0 ? QByteArray() : trimmed.left(equals).trimmed();
}

QByteArray headerLine(const QString &group)
{
    return '[' + group.toUtf8() + ']';
}

bool isWritten(const ProxyKeyStore::Key &key)
{
    static const QStringList written{
        QStringLiteral("ProxyType"),  QStringLiteral("httpProxy"),
        QStringLiteral("httpsProxy"), QStringLiteral("socksProxy"),
        QStringLiteral("NoProxyFor"), QStringLiteral("ReversedException")};
    return key.group == kGroup && written.contains(key.name);
}

} // namespace

KioProxyFile::KioProxyFile(QString path) : m_path(std::move(path))
{
    const RegularFile::Content content = RegularFile::read(m_path, kMaxSize);
    switch (content.outcome) {
    case RegularFile::Content::Outcome::Missing:
        return;
    case RegularFile::Content::Outcome::TooLarge:
        m_error = QStringLiteral("%1 is larger than KIO's own file would be").arg(m_path);
        return;
    case RegularFile::Content::Outcome::Refused:
        m_error = QStringLiteral("%1 is not used: %2").arg(m_path, content.reason);
        return;
    case RegularFile::Content::Outcome::Read:
        break;
    }
    m_existed = true;
    m_permissions = QFile::permissions(m_path);
    if (content.data.isEmpty())
        return;
    m_lines = content.data.split('\n');
    m_endsWithNewline = content.data.endsWith('\n');
    if (m_endsWithNewline)
        m_lines.removeLast();
}

QList<ProxyKeyStore::Value> KioProxyFile::planned(SystemProxy::Ports ports) const
{
    // KIO's own form of a proxy: the address as a URL, a space, the port.
    const QString http = QStringLiteral("http://127.0.0.1 %1").arg(ports.http);
    return {{{kGroup, QStringLiteral("ProxyType")}, QStringLiteral("1")},
            {{kGroup, QStringLiteral("httpProxy")}, http},
            {{kGroup, QStringLiteral("httpsProxy")}, http},
            {{kGroup, QStringLiteral("socksProxy")},
             QStringLiteral("socks://127.0.0.1 %1").arg(ports.socks)},
            {{kGroup, QStringLiteral("NoProxyFor")}, SystemProxy::directHosts().join(u',')},
            // Reversed, NoProxyFor would name the only hosts that use the proxy.
            {{kGroup, QStringLiteral("ReversedException")}, QStringLiteral("false")}};
}

bool KioProxyFile::accepts(const Key &key, const QString &text) const
{
    return isWritten(key) && !text.contains(u'\n') && !text.contains(u'\r');
}

qsizetype KioProxyFile::lineOf(const Key &key) const
{
    const QByteArray header = headerLine(key.group);
    const QByteArray name = key.name.toUtf8();
    bool inGroup = false;
    qsizetype found = -1;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QByteArray &line = m_lines.at(i);
        if (isHeader(line))
            inGroup = line.trimmed() == header;
        else if (inGroup && keyOf(line) == name)
            found = i;
    }
    return found;
}

qsizetype KioProxyFile::headerOf(const QString &group, qsizetype index) const
{
    const QByteArray header = headerLine(group);
    const qsizetype end = index < 0 ? m_lines.size() - 1 : index;
    for (qsizetype i = end; i >= 0; --i) {
        if (isHeader(m_lines.at(i))) {
            if (m_lines.at(i).trimmed() == header)
                return i;
            if (index >= 0)
                return -1;
        }
    }
    return -1;
}

std::optional<QString> KioProxyFile::read(const Key &key) const
{
    const qsizetype index = lineOf(key);
    if (index < 0)
        return std::nullopt;
    const QByteArray line = m_lines.at(index).trimmed();
    return QString::fromUtf8(line.mid(line.indexOf('=') + 1).trimmed());
}

std::optional<QString> KioProxyFile::stage(const Key &key, const std::optional<QString> &text)
{
    if (m_error)
        return m_error;
    const qsizetype index = lineOf(key);
    m_changed = true;
    if (!text) {
        if (index >= 0) {
            const qsizetype header = headerOf(key.group, index);
            m_lines.removeAt(index);
            dropIfEmpty(header);
        }
        return std::nullopt;
    }
    const QByteArray line = key.name.toUtf8() + '=' + text->toUtf8();
    if (index >= 0) {
        m_lines[index] = line;
        return std::nullopt;
    }
    const qsizetype header = headerOf(key.group, -1);
    if (header < 0) {
        if (!m_lines.isEmpty() && !m_lines.last().trimmed().isEmpty())
            m_lines.append(QByteArray());
        m_lines.append(headerLine(key.group));
        m_lines.append(line);
        return std::nullopt;
    }
    // After the group's last line that is not blank, so the blank line before the next group
    // stays where it was.
    qsizetype last = header;
    for (qsizetype i = header + 1; i < m_lines.size() && !isHeader(m_lines.at(i)); ++i) {
        if (!m_lines.at(i).trimmed().isEmpty())
            last = i;
    }
    m_lines.insert(last + 1, line);
    return std::nullopt;
}

void KioProxyFile::dropIfEmpty(qsizetype header)
{
    if (header < 0)
        return;
    qsizetype end = header + 1;
    for (; end < m_lines.size() && !isHeader(m_lines.at(end)); ++end) {
        if (!m_lines.at(end).trimmed().isEmpty())
            return;
    }
    // A group of nothing but Corvane's keys goes with them, with the blank line that set it off.
    qsizetype begin = header;
    if (end == m_lines.size() && begin > 0 && m_lines.at(begin - 1).trimmed().isEmpty())
        --begin;
    m_lines.remove(begin, end - begin);
}

std::optional<QString> KioProxyFile::commit()
{
    if (m_error)
        return m_error;
    if (!m_changed)
        return std::nullopt;
    // Nothing but Corvane's keys was ever in it: the file goes as it came.
    if (m_lines.isEmpty()) {
        QFile::remove(m_path);
    } else {
        QByteArray data = m_lines.join('\n');
        if (!m_lines.isEmpty() && m_endsWithNewline)
            data += '\n';
        if (std::optional<QString> error = PrivateFile::write(m_path, data))
            return QStringLiteral("cannot write %1: %2").arg(m_path, *error);
        if (m_existed)
            QFile::setPermissions(m_path, m_permissions);
    }
    m_changed = false;
    // KIO's programs read the file again on this signal; without it they keep the old proxy.
    QDBusMessage reparse = QDBusMessage::createSignal(QStringLiteral("/KIO/Scheduler"),
                                                      QStringLiteral("org.kde.KIO.Scheduler"),
                                                      QStringLiteral("reparseSlaveConfiguration"));
    reparse << QString();
    QDBusConnection::sessionBus().send(reparse);
    return std::nullopt;
}

} // namespace corvane
