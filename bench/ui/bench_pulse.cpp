// One frame of the quick connect button's radar pulse as the window shows it: the animation
// step, the repaint of whatever it dirtied and the flush of the window, on the offscreen
// platform. Time comes from the manual clock, one step a frame.
#include "platform/scheduling/ManualClock.h"
#include "ui/feedback/decoration/ViewDecoration.h"
#include "ui/feedback/pulse/PulseView.h"
#include "ui/toolkit/RoundButton.h"

#include <QApplication>
#include <QWidget>
#include <benchmark/benchmark.h>

using namespace corvane;

namespace {

void BM_PulseFrame(benchmark::State &state)
{
    ManualClock clock(static_cast<int>(state.range(0)));
    QWidget window;
    window.resize(375, 812);
    QPalette colours = window.palette();
    colours.setColor(QPalette::Window, QColor(0x0F, 0x1B, 0x2D));
    window.setPalette(colours);
    window.setAutoFillBackground(true);
    auto *button = new RoundButton(&window);
    button->setText(QStringLiteral("断开"));
    button->setGeometry(107, 326, 160, 160);
    QFont font = button->font();
    font.setPointSize(22);
    font.setBold(true);
    button->setFont(font);
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: #0E7EF5; color: white; "
                                         "border: none; border-radius: 80px; }"));
    ViewDecoration::of(button)->setCornerRadius(80);
    window.show();
    button->setFocus();
    QApplication::processEvents();
    PulseView::startPulse(button, Qt::white, PulseView::radar);
    QApplication::processEvents();

    for (auto _ : state) {
        clock.advance(std::chrono::milliseconds(state.range(0)));
    }
    state.SetLabel(std::to_string(state.range(0)) + " ms clock steps");
}

} // namespace

BENCHMARK(BM_PulseFrame)->Arg(16)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    // Painting without a display: the offscreen platform, unless one was chosen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
