#include "platform/tunnel/linux/ChannelLines.h"
#include "platform/tunnel/linux/TunnelChannel.h"

#include <QTest>

using namespace corvane;

// What the window's line reader lets through of what the helper may send.
class tst_ChannelLines : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The longest refusal a relay may give (1 KiB of its words) reaches the window whole, even
    // when it arrives a few bytes at a time.
    void longestRefusalReachesTheWindow()
    {
        const QString words(1024, QChar(u'x'));
        const QByteArray line = TunnelChannel::reasonLine(TunnelEndReason::Kind::refused, words);
        ChannelLines reader;
        QList<QByteArray> lines;
        for (qsizetype at = 0; at < line.size(); at += 7)
            lines += reader.append(QByteArrayView(line).sliced(at, qMin(7, line.size() - at)));
        QCOMPARE(lines.size(), 1);
        const auto reason = TunnelChannel::parseReasonLine(lines.first());
        QVERIFY(reason);
        QCOMPARE(reason->kind, TunnelEndReason::Kind::refused);
        QCOMPARE(reason->detail, words);
    }

    // A line past the bound is dropped up to its end; the reader is not thrown off after it.
    void overlongLineIsDroppedAndTheNextOneKept()
    {
        ChannelLines reader;
        QVERIFY(reader.append(QByteArray(ChannelLines::kMaxLine + 1, 'a')).isEmpty());
        QVERIFY(reader.append(QByteArray(100000, 'a')).isEmpty());
        QCOMPARE(reader.append("\nconnected\n"), QList<QByteArray>{"connected"});
    }
};

QTEST_GUILESS_MAIN(tst_ChannelLines)
#include "tst_channellines.moc"
