#include "platform/http/TextReplyReader.h"

#include <QByteArrayList>
#include <QStringDecoder>

namespace corvane {

namespace {
QByteArray charsetOf(const QByteArray &contentType)
{
    for (const QByteArray &part : contentType.split(';')) {
        const QByteArray trimmed = part.trimmed();
        if (trimmed.toLower().startsWith("charset=")) {
            QByteArray name = trimmed.mid(8).trimmed();
            if (name.size() >= 2 && name.startsWith('"') && name.endsWith('"'))
                name = name.mid(1, name.size() - 2);
            return name;
        }
    }
    return {};
}
} // namespace

std::optional<QString> TextReplyReader::read(const HttpReply &reply)
{
    if (reply.transportFailed)
        return std::nullopt;
    return decode(reply.body, reply.contentType);
}

QString TextReplyReader::decode(const QByteArray &body, const QByteArray &contentType)
{
    const QByteArray charset = charsetOf(contentType);
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid())
            return decoder.decode(body);
    }
    return QString::fromLatin1(body);
}

} // namespace corvane
