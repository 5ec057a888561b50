#include "ui/morphing/DisplayLink.h"
#include "ui/morphing/MorphingLabel.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

using namespace corvane;

namespace {

const QString kFirst = QStringLiteral("未连接 Corvane 01234567");
const QString kSecond = QStringLiteral("已连接 Morphing 98765..");

// One frame of a morph between two 20-character texts: the tick, the limbo list and the painting
// into an offscreen image. Iterations walk through whole morphs, so every stage is averaged in.
void BM_MorphingFrame(benchmark::State &state)
{
    QWidget window;
    auto *label = new MorphingLabel(&window);
    label->setGeometry(0, 0, 640, 60);
    QFont font = label->font();
    font.setPointSizeF(24);
    label->setFont(font);
    label->setMorphingEffect(static_cast<MorphingEffect>(state.range(0)));
    if (characters(kFirst).size() != 20 || characters(kSecond).size() != 20) {
        state.SkipWithError("texts must have 20 characters");
        return;
    }
    label->setText(kFirst);
    QImage image(label->size(), QImage::Format_ARGB32_Premultiplied);
    bool second = false;

    for (auto _ : state) {
        if (label->displayLink()->isPaused()) {
            second = !second;
            label->setText(second ? kSecond : kFirst);
            // Ticks come from this loop, not from Qt's animation timer.
            label->displayLink()->setPaused(true);
        }
        label->displayFrameTick();
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing);
        label->drawTextInRect(painter, QRectF(label->rect()));
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetLabel(MorphingEffects::name(label->morphingEffect()).toStdString());
}
BENCHMARK(BM_MorphingFrame)->DenseRange(0, 6)->Unit(benchmark::kMicrosecond);

// The same two texts painted by a plain label, for scale.
void BM_PlainLabelFrame(benchmark::State &state)
{
    QImage image(640, 60, QImage::Format_ARGB32_Premultiplied);
    QFont font;
    font.setPointSizeF(24);
    for (auto _ : state) {
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setFont(font);
        painter.drawText(QRectF(0, 0, 640, 60), Qt::AlignVCenter, kFirst);
        painter.drawText(QRectF(0, 0, 640, 60), Qt::AlignVCenter, kSecond);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_PlainLabelFrame)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
