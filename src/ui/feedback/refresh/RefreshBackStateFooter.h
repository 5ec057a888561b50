#pragma once

#include "ui/feedback/refresh/RefreshControl.h"

namespace corvane {

// A refresh footer that shows only its state text, for loading more at the end of a list.
class RefreshBackStateFooter : public RefreshControl
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RefreshBackStateFooter)

public:
    ~RefreshBackStateFooter() override;

protected:
    explicit RefreshBackStateFooter(QWidget *parent);
};

} // namespace corvane
