#include "platform/tunnel/linux/ChannelLines.h"

namespace corvane {

QList<QByteArray> ChannelLines::append(QByteArrayView data)
{
    QList<QByteArray> lines;
    while (!data.isEmpty()) {
        const qsizetype end = data.indexOf('\n');
        const QByteArrayView piece = end < 0 ? data : data.first(end);
        if (!m_discarding) {
            if (m_partial.size() + piece.size() > kMaxLine) {
                m_partial.clear();
                m_discarding = true;
            } else {
                m_partial.append(piece);
            }
        }
        if (end < 0)
            break;
        if (!m_discarding)
            lines << m_partial;
        m_partial.clear();
        m_discarding = false;
        data = data.sliced(end + 1);
    }
    return lines;
}

} // namespace corvane
