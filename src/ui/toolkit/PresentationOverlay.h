#pragma once

#include <QPointer>
#include <QWidget>
#include <chrono>
#include <functional>

class QVariantAnimation;

namespace corvane {

class ViewController;

// Holds one presented screen over the presenting screen's outermost container: it slides the screen
// up from the bottom edge, dims what lies beneath for the default (sheet) style and swallows input
// meant for the screens below. It owns the presented screen and deletes itself once dismissed.
class PresentationOverlay final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PresentationOverlay)

public:
    // How far below the window's top a default-style sheet starts.
    static constexpr int kSheetTopInset = 40;
    static constexpr std::chrono::milliseconds kDuration{350};

    PresentationOverlay(ViewController *presenting, ViewController *presented, QWidget *host);
    ~PresentationOverlay() override;

    void present(bool animated, std::function<void()> completion);
    void dismiss(bool animated, std::function<void()> completion);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void runTo(double progress, bool animated, std::function<void()> finish);
    void applyProgress(double progress);

    QPointer<QWidget> m_host;
    QPointer<ViewController> m_presenting;
    QPointer<ViewController> m_presented;
    QPointer<ViewController> m_coveredRoot;
    bool m_sheet;
    bool m_dismissing = false;
    double m_progress = 0.0;
    QVariantAnimation *m_animation;
    std::function<void()> m_finish;
};

} // namespace corvane
