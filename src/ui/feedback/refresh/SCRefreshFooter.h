#pragma once

#include "ui/feedback/refresh/RefreshBackStateFooter.h"

namespace corvane {

class ActivityIndicator;

// The application's load-more footer: a dark grey spinner and the state text side by side,
// centred as one row; the spinner turns while refreshing and stays visible when stopped.
class SCRefreshFooter final : public RefreshBackStateFooter
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCRefreshFooter)

public:
    explicit SCRefreshFooter(QWidget *parent = nullptr);
    ~SCRefreshFooter() override;

    ActivityIndicator *loading() const { return m_loading; }
    State state() const override;
    void setState(State state) override;

protected:
    void placeSubviews() override;

private:
    ActivityIndicator *m_loading;
};

} // namespace corvane
