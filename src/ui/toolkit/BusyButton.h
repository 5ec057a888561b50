#pragma once

#include <QPointer>
#include <QPushButton>

namespace corvane {

class ActivityIndicator;

// A push button that shows while what it was pressed for is under way: a spinner beside its
// title, and the busy state for assistive technology. It stays pressable.
class BusyButton final : public QPushButton
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BusyButton)

public:
    explicit BusyButton(QWidget *parent = nullptr);
    ~BusyButton() override;

    bool isBusy() const { return m_busy; }
    void setBusy(bool busy);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeIndicator();

    bool m_busy = false;
    QPointer<ActivityIndicator> m_indicator;
};

} // namespace corvane
