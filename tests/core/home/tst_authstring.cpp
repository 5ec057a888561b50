#include "core/home/AuthString.h"
#include "core/home/ServiceTunnel.h"
#include "core/vpn/VpnManager.h"
#include "platform/tunnel/memory/MemoryTunnelProfileStore.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <openssl/evp.h>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {

// MD5 from OpenSSL, so the signature is checked against another implementation.
QString md5Hex(const QByteArray &bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(bytes.constData(), static_cast<size_t>(bytes.size()), digest, &size, EVP_md5(),
               nullptr);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(digest), static_cast<int>(size)).toHex());
}

} // namespace

class TestAuthString final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exactForm_data()
    {
        QTest::addColumn<QString>("orderId");
        QTest::addColumn<QString>("secret");
        QTest::addColumn<qint64>("time");
        QTest::addColumn<qint64>("provinceIndex");
        QTest::addColumn<qint64>("nd");
        QTest::addColumn<qint64>("sip");
        QTest::addColumn<quint32>("uid");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no province, lowest uid")
            << u"A1"_s << u"s3cr3t"_s << qint64(1700000000) << qint64(-1) << qint64(1) << qint64(0)
            << quint32(100000000)
            << u"orderId=A1&time=1700000000&sign=1bc3ca950f6f8aa676d7b9cc813b5fe3"
               "&nd=1&sip=0&uid=100000000"_s;
        QTest::newRow("province 0, highest uid")
            << u"A1"_s << u"s3cr3t"_s << qint64(1700000000) << qint64(0) << qint64(0) << qint64(1)
            << quint32(999999999)
            << u"orderId=A1&time=1700000000&sign=1bc3ca950f6f8aa676d7b9cc813b5fe3"
               "&pid=0&nd=0&sip=1&uid=999999999"_s;
        QTest::newRow("non-ASCII values go in unescaped, signed as UTF-8")
            << u"订单7"_s << u"密钥"_s << qint64(0) << qint64(33) << qint64(0) << qint64(0)
            << quint32(4294967295U)
            << u"orderId=订单7&time=0&sign=2cd114f2d278d148cb3cb4adf4040c82"
               "&pid=33&nd=0&sip=0&uid=4294967295"_s;
    }

    void exactForm()
    {
        QFETCH(QString, orderId);
        QFETCH(QString, secret);
        QFETCH(qint64, time);
        QFETCH(qint64, provinceIndex);
        QFETCH(qint64, nd);
        QFETCH(qint64, sip);
        QFETCH(quint32, uid);
        QFETCH(QString, expected);
        const QString result = makeAuthString({orderId, secret, time, provinceIndex, nd, sip, uid});
        QCOMPARE(result, expected);
        QVERIFY(!result.contains(secret));
    }

    void signatureCoversOrderSecretAndTime()
    {
        for (int i = 0; i < 50; ++i) {
            QRandomGenerator random(static_cast<quint32>(i));
            const QString orderId = QString::number(random.generate());
            const QString secret = QString::number(random.generate64(), 36);
            const qint64 time = random.bounded(2000000000);
            const QString result = makeAuthString({orderId, secret, time, -1, 0, 0, 1});
            const QString signing = u"orderId="_s + orderId + u"&secret="_s + secret + u"&time="_s +
                                    QString::number(time);
            QVERIFY(result.contains(u"&sign="_s + md5Hex(signing.toUtf8()) + u"&nd="_s));
        }
    }

    void signedNowWithTheManagersChoices()
    {
        MemoryTunnelProfileStore store;
        VpnManager manager(store);
        manager.nd = 1;
        manager.sip = 1;
        manager.uid = 123456789;
        SCOrder order;
        order.orderId = u"O-9"_s;
        order.secret = u"k"_s;
        const qint64 before = authTimeNow();
        const QString result =
            makeAuthString(ServiceTunnel::authFields(order, 5, manager, authTimeNow()));
        const qint64 after = authTimeNow();
        const QRegularExpressionMatch match =
            QRegularExpression(u"^orderId=O-9&time=(\\d+)&sign=[0-9a-f]{32}"
                               "&pid=5&nd=1&sip=1&uid=123456789$"_s)
                .match(result);
        QVERIFY2(match.hasMatch(), qPrintable(result));
        const qint64 time = match.captured(1).toLongLong();
        QVERIFY(time >= before && time <= after);
    }

    void uidIsDrawnFromItsWholeRange()
    {
        QRandomGenerator random(7);
        quint32 lowest = ServiceTunnel::kHighestUid;
        quint32 highest = ServiceTunnel::kLowestUid;
        for (int i = 0; i < 20000; ++i) {
            const quint32 uid = ServiceTunnel::drawUid(random);
            QVERIFY(uid >= ServiceTunnel::kLowestUid && uid <= ServiceTunnel::kHighestUid);
            lowest = std::min(lowest, uid);
            highest = std::max(highest, uid);
        }
        // Nine digits always, spread over the range rather than stuck in one corner.
        QVERIFY(lowest < 110000000);
        QVERIFY(highest > 990000000);
    }
};

QTEST_GUILESS_MAIN(TestAuthString)
#include "tst_authstring.moc"
