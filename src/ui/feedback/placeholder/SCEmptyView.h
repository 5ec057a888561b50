#pragma once

#include <QWidget>

class QLabel;

namespace corvane {

class ImageView;

// Shown when a list came back empty: an empty-box picture over a caption that starts empty
// (set emptyLabel's text to show one). Laid out once, for the size it is created with.
class SCEmptyView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCEmptyView)

public:
    explicit SCEmptyView(const QRect &frame, QWidget *parent = nullptr);
    ~SCEmptyView() override;

    QWidget *contentView() const { return m_contentView; }
    ImageView *emptyImage() const { return m_emptyImage; }
    QLabel *emptyLabel() const { return m_emptyLabel; }

private:
    void setupUI(const QString &caption);

    QWidget *m_contentView;
    ImageView *m_emptyImage;
    QLabel *m_emptyLabel;
};

} // namespace corvane
