#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class QToolButton;

namespace corvane {

class TabBarItem;

// The row of tabs at the bottom of a tab bar controller.
class TabBar : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TabBar)

public:
    static constexpr int kHeight = 49;

    explicit TabBar(QWidget *parent = nullptr);
    ~TabBar() override;

    void setItems(const QList<TabBarItem *> &items);
    int selectedIndex() const { return m_selected; }
    void setSelectedIndex(int index);
    // Where its container places it.
    virtual void setFrame(const QRect &frame);

Q_SIGNALS:
    void tabSelected(int index);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void refresh();

    QList<QPointer<TabBarItem>> m_items;
    QList<QToolButton *> m_buttons;
    int m_selected = -1;
};

} // namespace corvane
