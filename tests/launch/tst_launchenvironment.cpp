#include "launch/LaunchEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {
void makeProgram(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.close();
    QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                QFileDevice::ExeOwner));
}
} // namespace

class TestLaunchEnvironment final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void companionProgramIsFoundWhereItIsShipped_data()
    {
        QTest::addColumn<QString>("present");
        QTest::addColumn<QString>("found");
        QTest::newRow("installed package") << u"libexec/corvane/corvane-tunnel-helper"_s
                                           << u"libexec/corvane/corvane-tunnel-helper"_s;
        QTest::newRow("build tree")
            << u"bin/corvane-tunnel-helper"_s << u"bin/corvane-tunnel-helper"_s;
    }

    void companionProgramIsFoundWhereItIsShipped()
    {
        QFETCH(QString, present);
        QFETCH(QString, found);
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath(u"bin"_s));
        makeProgram(root.filePath(present));
        QCOMPARE(LaunchEnvironment::companionProgram(u"corvane-tunnel-helper"_s,
                                                     root.filePath(u"bin"_s)),
                 root.filePath(found));
    }

    void overrideWinsOverTheShippedHelper()
    {
        QProcessEnvironment environment;
        environment.insert(u"CORVANE_TUNNEL_HELPER"_s, u"/opt/real-tunnel"_s);
        QCOMPARE(LaunchEnvironment::tunnelHelper(environment), u"/opt/real-tunnel"_s);
        QVERIFY(LaunchEnvironment::tunnelHelper(QProcessEnvironment())
                    .endsWith(u"/corvane-tunnel-helper"_s));
    }
};

QTEST_GUILESS_MAIN(TestLaunchEnvironment)
#include "tst_launchenvironment.moc"
