#include "platform/resources/Resources.h"
#include "ui/common/PngResource.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

class TestPngResource final : public QObject
{
    Q_OBJECT

private:
    static bool imagePluginLoaded()
    {
        QFile maps(QStringLiteral("/proc/self/maps"));
        return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/imageformats/");
    }

private Q_SLOTS:
    void decodesWithoutLoadingImagePlugins()
    {
        QVERIFY(!imagePluginLoaded());
        const QImage icon = PngResource::read(QStringLiteral("tray_on"));
        QCOMPARE(icon.size(), QSize(64, 64));
        QVERIFY(icon.hasAlphaChannel());
        // Neither a missing file nor one that is no PNG sends the reader looking for plug-ins.
        QVERIFY(PngResource::read(QStringLiteral("no_such_image")).isNull());
        QTemporaryDir folder;
        QFile fake(folder.filePath(QStringLiteral("fake.png")));
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write("GIF89a\x01\x00\x01\x00", 10);
        fake.close();
        const QStringList roots = Resources::searchRoots();
        Resources::setSearchRoots({folder.path()});
        QVERIFY(PngResource::read(QStringLiteral("fake")).isNull());
        Resources::setSearchRoots(roots);
        QVERIFY(!imagePluginLoaded());
    }
};

QTEST_MAIN(TestPngResource)
#include "tst_pngresource.moc"
