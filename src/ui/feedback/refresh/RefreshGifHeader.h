#pragma once

#include "ui/feedback/refresh/RefreshControl.h"

#include <QList>
#include <QPixmap>

namespace corvane {

class ImageView;

// A refresh header with an image sequence per state beside its state label.
class RefreshGifHeader : public RefreshControl
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RefreshGifHeader)

public:
    ~RefreshGifHeader() override;

    ImageView *gifView() const { return m_gifView; }
    // Frames for `state`, played over `duration` seconds (one frame: a still image).
    void setImages(const QList<QPixmap> &images, double duration, State state);
    void setState(State state) override;

protected:
    explicit RefreshGifHeader(QWidget *parent);
    void placeSubviews() override;

private:
    struct Sequence
    {
        QList<QPixmap> images;
        double duration = 0;
    };

    ImageView *m_gifView;
    QHash<int, Sequence> m_sequences;
};

} // namespace corvane
