#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace corvane {

// Splits what arrives on a channel socket into the protocol's lines (a status name from the
// helper, "stop" from a window). The longest line of the protocol is a reason with a relay's
// refusal of up to 1 KiB; a longer one is dropped up to its end instead of being buffered: a
// peer cannot make the reader hold more than kMaxLine bytes.
class ChannelLines final
{
public:
    static constexpr qsizetype kMaxLine = 2048;

    // Takes the next bytes; returns the lines they complete, without their line breaks.
    QList<QByteArray> append(QByteArrayView data);

private:
    QByteArray m_partial;
    bool m_discarding = false;
};

} // namespace corvane
