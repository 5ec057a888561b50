#pragma once

#include <QIcon>
#include <QObject>

namespace corvane {

// What a tab shows in the tab bar for its screen.
class TabBarItem : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TabBarItem)

public:
    explicit TabBarItem(QObject *parent = nullptr);
    ~TabBarItem() override;

    QString title() const { return m_title; }
    void setTitle(const QString &title);
    QIcon icon() const { return m_icon; }
    void setIcon(const QIcon &icon);

Q_SIGNALS:
    void changed();

private:
    QString m_title;
    QIcon m_icon;
};

} // namespace corvane
