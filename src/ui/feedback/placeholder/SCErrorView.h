#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace corvane {

class ImageView;

// Shown when the network failed: "抱歉，网络不给力" with a "刷新" button that runs `click`, so
// the owner can restart its request. Laid out once, for the size it is created with.
class SCErrorView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCErrorView)

public:
    explicit SCErrorView(const QRect &frame, QWidget *parent = nullptr);
    ~SCErrorView() override;

    QWidget *contentView() const { return m_contentView; }
    ImageView *errorImage() const { return m_errorImage; }
    QLabel *errorLabel() const { return m_errorLabel; }
    QPushButton *reloadBtn() const { return m_reloadBtn; }

    void setClick(std::function<void()> click) { m_click = std::move(click); }

public Q_SLOTS:
    // The button's action: runs `click` once, if set.
    void reload();

private:
    void setupUI();

    QWidget *m_contentView;
    ImageView *m_errorImage;
    QLabel *m_errorLabel;
    QPushButton *m_reloadBtn;
    std::function<void()> m_click;
};

} // namespace corvane
