#pragma once

#include "ui/feedback/refresh/RefreshGifHeader.h"

namespace corvane {

// The application's pull-down header: an 85-point band with the state text on top and the
// animation centred under it.
class SCRefreshHeader final : public RefreshGifHeader
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCRefreshHeader)

public:
    explicit SCRefreshHeader(QWidget *parent = nullptr);
    ~SCRefreshHeader() override;

protected:
    void placeSubviews() override;
};

} // namespace corvane
