#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QRectF>

namespace corvane {

// Draws the halo's rounded rectangle into an image of its own, each edge pixel covered by how
// far its centre lies inside the outline. Qt 6.4's raster engine would split a fill of this
// size into pieces for its thread pool, and the hand-offs cost more than the fill; a frame
// drawn here is blended onto the window in one piece on the GUI thread.
class HaloFrame final
{
public:
    // The frame, `pixels` large, showing `shape` (in its pixels) with corners of `radius`, in
    // `color` at `opacity`, over the backdrop. Pixels in `hidden` are left as they are where the
    // shape covers them wholly: nothing shows there.
    const QImage &draw(QSize pixels, const QRectF &shape, qreal radius, const QColor &color,
                       qreal opacity, const QRect &hidden = {});
    // Frames come out already laid over this opaque colour, ready to be copied rather than
    // blended; an invalid colour means over transparency.
    void setBackdrop(const QColor &backdrop);

private:
    QImage m_image;
    // What every pixel outside the shape holds.
    quint32 m_blank = 0;
    // What the last frame painted: only that needs clearing for the next.
    QRect m_drawn;
};

} // namespace corvane
