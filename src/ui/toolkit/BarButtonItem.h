#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace corvane {

// An item of the navigation bar: either a plain titled button drawn in the bar's tint colour,
// or a custom view the bar shows as it is. It owns its custom view.
class BarButtonItem final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BarButtonItem)

public:
    explicit BarButtonItem(const QString &title, QObject *parent = nullptr);
    explicit BarButtonItem(QWidget *customView, QObject *parent = nullptr);
    ~BarButtonItem() override;

    QString title() const { return m_title; }
    QWidget *customView() const { return m_customView; }

    // What a tap on the titled button does.
    void trigger() { Q_EMIT triggered(); }

Q_SIGNALS:
    void triggered();

private:
    QString m_title;
    QPointer<QWidget> m_customView;
};

} // namespace corvane
