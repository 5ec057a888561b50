#include "core/crypto/DESEncode.h"
#include "platform/log/Log.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace corvane;

// An OpenSSL without its legacy provider must make the encoding yield nothing, say why once,
// and never crash.
class TestDESUnavailable final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void yieldsNothingAndLogsOnce()
    {
        QTemporaryDir emptyModules;
        qputenv("OPENSSL_MODULES", emptyModules.path().toUtf8());
        QStringList lines;
        Log::setSink([&lines](QtMsgType, const QString &line) { lines << line; });

        const QString key = QString::fromLatin1(DESEncode::kKey);
        QVERIFY(!DESEncode::encryptUseDES(QStringLiteral("secret-password"), key));
        QVERIFY(!DESEncode::encryptUseDES(QStringLiteral("again"), key));

        Log::setSink({});
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines.first().contains(QStringLiteral("legacy")));
        QVERIFY(!lines.first().contains(QStringLiteral("secret-password")));
    }
};

QTEST_GUILESS_MAIN(TestDESUnavailable)
#include "tst_desunavailable.moc"
