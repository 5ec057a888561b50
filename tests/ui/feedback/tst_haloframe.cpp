#include "ui/feedback/pulse/HaloFrame.h"

#include <QPainter>
#include <QTest>

using namespace corvane;

namespace {

// What Qt's own anti-aliased painter draws for the same halo.
QImage drawnByQt(QSize size, const QRectF &shape, qreal radius, const QColor &color, qreal opacity)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawRoundedRect(shape, radius, radius);
    return image;
}

// The halo's alpha at a pixel from 16 × 16 samples of the exact outline.
int sampledAlpha(int x, int y, const QRectF &shape, qreal radius, qreal strength)
{
    const qreal r = std::min(radius, std::min(shape.width(), shape.height()) / 2);
    const qreal halfX = shape.width() / 2 - r;
    const qreal halfY = shape.height() / 2 - r;
    int inside = 0;
    for (int i = 0; i < 16; ++i)
        for (int j = 0; j < 16; ++j) {
            const qreal qx = std::abs(x + (i + 0.5) / 16 - shape.center().x()) - halfX;
            const qreal qy = std::abs(y + (j + 0.5) / 16 - shape.center().y()) - halfY;
            const bool in =
                (qx <= 0 || qy <= 0) ? (qx <= r && qy <= r) : qx * qx + qy * qy <= r * r;
            inside += in ? 1 : 0;
        }
    return qRound(strength * inside / 256);
}

// The largest difference of any channel of any pixel.
int largestDifference(const QImage &a, const QImage &b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *p = reinterpret_cast<const quint32 *>(a.constScanLine(y));
        const auto *q = reinterpret_cast<const quint32 *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            for (int shift = 0; shift < 32; shift += 8)
                largest = std::max(
                    largest, std::abs(int((p[x] >> shift) & 0xff) - int((q[x] >> shift) & 0xff)));
    }
    return largest;
}

} // namespace

class TestHaloFrame final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void looksLikeQtsOwnDrawing_data()
    {
        QTest::addColumn<QRectF>("shape");
        QTest::addColumn<qreal>("radius");
        QTest::addColumn<QColor>("color");
        QTest::addColumn<qreal>("opacity");
        QTest::newRow("circle, the pulse at rest")
            << QRectF(32, 32, 160, 160) << 80.0 << QColor(Qt::white) << 0.6;
        QTest::newRow("grown circle, fractional edges")
            << QRectF(7.3, 9.6, 209.4, 209.4) << 104.7 << QColor(0x0E, 0x7E, 0xF5) << 0.25;
        QTest::newRow("rounded rectangle")
            << QRectF(20.5, 60.25, 180, 90) << 12.0 << QColor(255, 0, 0, 128) << 1.0;
        QTest::newRow("square corners")
            << QRectF(10, 10, 100.5, 50.5) << 0.0 << QColor(Qt::green) << 1.0;
        QTest::newRow("radius beyond half the side")
            << QRectF(40, 40, 60, 100) << 400.0 << QColor(Qt::white) << 0.8;
        QTest::newRow("reaching past the image")
            << QRectF(-30, 150, 200, 200) << 100.0 << QColor(Qt::white) << 1.0;
        QTest::newRow("far larger than the image")
            << QRectF(-1e9, -1e9, 2e9 + 224, 2e9 + 224) << 4.0 << QColor(Qt::white) << 1.0;
        QTest::newRow("small corners")
            << QRectF(50.5, 50.5, 40, 30) << 4.0 << QColor(Qt::white) << 1.0;
    }

    void looksLikeQtsOwnDrawing()
    {
        QFETCH(QRectF, shape);
        QFETCH(qreal, radius);
        QFETCH(QColor, color);
        QFETCH(qreal, opacity);
        const QSize size(224, 224);
        HaloFrame halo;
        // A larger frame first: nothing of it may be left.
        halo.draw(size, QRectF(QPointF(), size), 112, Qt::red, 1);
        const QImage frame = halo.draw(size, shape, radius, color, opacity);
        const qreal r = std::min(radius, std::min(shape.width(), shape.height()) / 2);
        const QImage expected = drawnByQt(size, shape, r, color, opacity);
        // Qt draws curves as chords, up to about a sixth of a pixel inside the outline: its
        // edge pixels come out a little lighter, the look the same.
        const int difference = largestDifference(frame, expected);
        QVERIFY2(difference <= 40, qPrintable(QString::number(difference)));
        // With a part hidden, the rest is the same frame.
        const QRect hidden(80, 80, 64, 64);
        QImage holed = halo.draw(size, shape, radius, color, opacity, hidden);
        QImage plain = frame;
        for (QImage *image : {&holed, &plain}) {
            QPainter painter(image);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.fillRect(hidden, Qt::transparent);
        }
        QCOMPARE(largestDifference(holed, plain), 0);
        // Laid over a backdrop, it is what blending it onto the backdrop gives, and opaque.
        const QColor backdrop(0x0F, 0x1B, 0x2D);
        QImage blended(size, QImage::Format_ARGB32_Premultiplied);
        blended.fill(backdrop);
        QPainter(&blended).drawImage(0, 0, frame);
        HaloFrame laid;
        laid.setBackdrop(backdrop);
        laid.draw(size, QRectF(QPointF(), size), 112, Qt::red, 1);
        QVERIFY(largestDifference(laid.draw(size, shape, radius, color, opacity), blended) <= 1);

        // Against the exact outline, sampled, every pixel Qt or the frame covers in part.
        const qreal strength = color.alphaF() * opacity * 255;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                const int ours = qAlpha(frame.pixel(x, y));
                const int qts = qAlpha(expected.pixel(x, y));
                const int full = qRound(strength);
                if ((ours == 0 || ours == full) && (qts == 0 || qts == full))
                    continue;
                const int exact = sampledAlpha(x, y, shape, radius, strength);
                QVERIFY2(std::abs(ours - exact) <= 5,
                         qPrintable(QStringLiteral("(%1, %2): %3, sampled %4")
                                        .arg(x)
                                        .arg(y)
                                        .arg(ours)
                                        .arg(exact)));
            }
    }

    void emptyOrResizedFramesStartClear()
    {
        HaloFrame halo;
        halo.draw(QSize(32, 32), QRectF(0, 0, 32, 32), 4, Qt::white, 1);
        QCOMPARE(largestDifference(halo.draw(QSize(32, 32), QRectF(10, 10, 0, 0), 4, Qt::white, 1),
                                   drawnByQt(QSize(32, 32), {}, 0, Qt::white, 1)),
                 0);
        halo.draw(QSize(32, 32), QRectF(0, 0, 32, 32), 4, Qt::white, 1);
        const QImage grown = halo.draw(QSize(48, 40), QRectF(40, 30, 4, 4), 0, Qt::white, 1);
        QCOMPARE(grown.size(), QSize(48, 40));
        QCOMPARE(largestDifference(grown,
                                   drawnByQt(QSize(48, 40), QRectF(40, 30, 4, 4), 0, Qt::white, 1)),
                 0);
    }
};

QTEST_MAIN(TestHaloFrame)
#include "tst_haloframe.moc"
