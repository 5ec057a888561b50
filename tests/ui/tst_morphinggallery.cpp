#include "platform/scheduling/ManualClock.h"
#include "ui/gallery/MorphingGalleryPages.h"
#include "ui/morphing/DisplayLink.h"
#include "ui/morphing/MorphingLabel.h"

#include <QPushButton>
#include <QTest>
#include <memory>

using namespace corvane;

class TestMorphingGallery final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void buttonMorphsEveryEffect();
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

QTEST_MAIN(TestMorphingGallery)
#include "tst_morphinggallery.moc"
