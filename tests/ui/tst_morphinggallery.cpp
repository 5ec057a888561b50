#include "platform/scheduling/ManualClock.h"
#include "ui/gallery/MorphingGalleryPages.h"
#include "ui/morphing/DisplayLink.h"
#include "ui/morphing/MorphingLabel.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <memory>

using namespace corvane;

class TestMorphingGallery final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void buttonMorphsEveryEffect();
    void effectNamesSitLevelWithTheirText();
};

void TestMorphingGallery::buttonMorphsEveryEffect()
{
    ManualClock clock;
    const QList<GalleryPage> pages = morphingGalleryPages();
    QCOMPARE(pages.size(), 1);
    QWidget host;
    QWidget *page = pages.first().make(&host);
    QCOMPARE(page->parentWidget(), &host);
    host.show();

    const QList<MorphingLabel *> labels = page->findChildren<MorphingLabel *>();
    QCOMPARE(labels.size(), MorphingEffects::allValues().size());
    QList<MorphingEffect> effects;
    for (MorphingLabel *label : labels)
        effects.append(label->morphingEffect());
    for (int raw = 0; raw < MorphingEffects::allValues().size(); ++raw)
        QVERIFY(effects.contains(static_cast<MorphingEffect>(raw)));

    auto *next = page->findChild<QPushButton *>();
    QVERIFY(next);
    const QString first = labels.first()->text();
    next->click();
    for (MorphingLabel *label : labels) {
        QVERIFY(label->text() != first);
        QCOMPARE(label->previousText(), first);
    }
    // Every effect paints its whole morph without trouble, and all of them come to rest.
    for (int i = 0; i < 120; ++i) {
        clock.advance(0.016);
        QCoreApplication::sendPostedEvents();
        page->repaint();
    }
    for (MorphingLabel *label : labels)
        QVERIFY(label->displayLink()->isPaused());
}

void TestMorphingGallery::effectNamesSitLevelWithTheirText()
{
    QWidget host;
    host.resize(375, 812);
    QWidget *page = morphingGalleryPages().first().make(&host);
    page->resize(host.size());
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    const QList<QLabel *> names = page->findChildren<QLabel *>();
    for (MorphingLabel *label : page->findChildren<MorphingLabel *>()) {
        const QString name = MorphingEffects::name(label->morphingEffect());
        const auto found = std::find_if(names.cbegin(), names.cend(), [&name](QLabel *candidate) {
            return candidate->text() == name;
        });
        QVERIFY2(found != names.cend(), qPrintable(name));
        const qreal nameMiddle = QRectF((*found)->geometry()).center().y();
        const qreal textMiddle = QRectF(label->geometry()).center().y();
        QVERIFY2(
            qAbs(nameMiddle - textMiddle) <= 2.0,
            qPrintable(name + QStringLiteral(": %1 against %2").arg(nameMiddle).arg(textMiddle)));
    }
}

QTEST_MAIN(TestMorphingGallery)
#include "tst_morphinggallery.moc"
