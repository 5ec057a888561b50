#pragma once

#include <QWidget>

class QLabel;

namespace corvane {

class ImageView;

// Fills a content area while data is on its way: an animated loading strip over a line and
// "正在加载中...", centred 44 points above the middle. Laid out once, for the size it is
// created with.
class SCLoadingView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCLoadingView)

public:
    explicit SCLoadingView(const QRect &frame, QWidget *parent = nullptr);
    ~SCLoadingView() override;

    QWidget *contentView() const { return m_contentView; }
    ImageView *loadingImage() const { return m_loadingImage; }
    QLabel *loadingLabel() const { return m_loadingLabel; }

private:
    void setupUI();

    QWidget *m_contentView;
    ImageView *m_loadingImage;
    QLabel *m_loadingLabel;
};

} // namespace corvane
