#include "ui/feedback/pulse/HaloFrame.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace corvane {

namespace {

// A pixel's centre this far inside an edge, whatever its direction, has the pixel wholly
// inside; this far outside, wholly outside (half the pixel's diagonal).
constexpr qreal kPixelReach = 0.7072;

// Each channel of a premultiplied pixel times alpha / 255, rounded.
quint32 scaled(quint32 pixel, int alpha)
{
    quint32 result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const quint32 channel = (pixel >> shift) & 0xff;
        result |= ((channel * static_cast<quint32>(alpha) + 127) / 255) << shift;
    }
    return result;
}

// The share of a pixel inside a straight edge at `d` from its centre (positive outside), the
// edge's normal being (nx, ny) of unit length: a strip in the middle, a triangle at each end.
qreal covered(qreal d, qreal nx, qreal ny)
{
    qreal a = std::abs(nx);
    qreal b = std::abs(ny);
    if (a < b)
        std::swap(a, b);
    const qreal s = -d;
    const qreal half = (a + b) / 2;
    if (s <= -half)
        return 0;
    if (s >= half)
        return 1;
    const qreal strip = (a - b) / 2;
    if (s < -strip)
        return (s + half) * (s + half) / (2 * a * b);
    if (s > strip)
        return 1 - (half - s) * (half - s) / (2 * a * b);
    return 0.5 + s / a;
}

// The share of a pixel inside an axis-aligned edge at `d` from its centre.
qreal coveredAlong(qreal d)
{
    return std::clamp<qreal>(0.5 - d, 0, 1);
}

// The rounded rectangle about its centre: straight edges end `halfX` and `halfY` from it, and
// corners of `radius` join them.
struct Outline
{
    qreal halfX;
    qreal halfY;
    qreal radius;

    // The share of the pixel centred at (x, y) from the centre that the shape covers.
    qreal coverage(qreal x, qreal y) const
    {
        const qreal qx = std::abs(x) - halfX;
        const qreal qy = std::abs(y) - halfY;
        // Corners under a pixel across are drawn square, as the edges meeting there would be.
        if (qx > 0 && qy > 0 && radius >= 1) {
            const qreal length = std::sqrt(qx * qx + qy * qy);
            return covered(length - radius, qx / length, qy / length);
        }
        return coveredAlong(qx - radius) * coveredAlong(qy - radius);
    }

    // How far from the centre along a row `qy` beyond the straight sides the outline's
    // distance is `level`; negative when the whole row is farther out than that.
    qreal reach(qreal qy, qreal level) const
    {
        const qreal r = radius + level;
        if (r < std::max<qreal>(qy, 0))
            return -1;
        if (qy <= 0)
            return halfX + r;
        return halfX + std::sqrt(r * r - qy * qy);
    }
};

// `x` brought within a column of `bounds`, so that turning it into an int stays defined however
// far outside a shape reaches.
qreal within(qreal x, const QRect &bounds)
{
    return std::max<qreal>(bounds.left() - 1, std::min<qreal>(x, bounds.right() + 1));
}

} // namespace

void HaloFrame::setBackdrop(const QColor &backdrop)
{
    const quint32 blank = backdrop.isValid() ? qPremultiply(backdrop.rgba()) | 0xff000000u : 0u;
    if (blank == m_blank)
        return;
    m_blank = blank;
    // Drawn afresh over the new backdrop at the next frame.
    m_image = QImage();
}

const QImage &HaloFrame::draw(QSize pixels, const QRectF &shape, qreal radius, const QColor &color,
                              qreal opacity, const QRect &hidden)
{
    if (m_image.size() != pixels) {
        m_image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        m_image.fill(m_blank);
        m_drawn = QRect();
    }
    // Only pixels the shape's bounds touch can be covered; those the last frame drew are
    // cleared on the way, each pixel written once.
    const QRect bounds = shape.isEmpty() ? QRect() : shape.toAlignedRect() & m_image.rect();
    const QRect area = m_drawn.united(bounds);
    m_drawn = bounds;
    uchar *const bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    const auto lineAt = [&](int y) { return reinterpret_cast<quint32 *>(bits + y * stride); };
    const auto clear = [&](quint32 *line, int from, int to) {
        if (from <= to)
            std::fill(line + from, line + to + 1, m_blank);
    };
    if (bounds.isEmpty()) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            clear(lineAt(y), area.left(), area.right());
        return m_image;
    }
    const qreal r = std::clamp<qreal>(radius, 0, std::min(shape.width(), shape.height()) / 2);
    const Outline outline{shape.width() / 2 - r, shape.height() / 2 - r, r};
    const QPointF centre = shape.center();
    // Every level of coverage, worked out once a frame rather than once a pixel.
    const quint32 colour = qPremultiply(color.rgba());
    const qreal strength = std::clamp<qreal>(opacity, 0, 1) * 255;
    std::array<quint32, 256> shades{};
    for (int level = 0; level < 256; ++level) {
        const quint32 halo = scaled(colour, qRound(strength * level / 255));
        // Over the backdrop as blending the frame onto it would lay it: never past 255.
        shades[level] = halo + scaled(m_blank, 255 - qAlpha(halo));
    }
    const quint32 solid = shades[255];

    for (int y = area.top(); y <= area.bottom(); ++y) {
        quint32 *const line = lineAt(y);
        const qreal dy = y + 0.5 - centre.y();
        const qreal qy = std::abs(dy) - outline.halfY;
        const qreal outer = outline.reach(qy, kPixelReach);
        if (y < bounds.top() || y > bounds.bottom() || outer < 0) {
            clear(line, area.left(), area.right());
            continue;
        }
        const int first = std::max(
            bounds.left(), static_cast<int>(std::floor(within(centre.x() - outer - 0.5, bounds))));
        const int last = std::min(
            bounds.right(), static_cast<int>(std::ceil(within(centre.x() + outer - 0.5, bounds))));
        clear(line, area.left(), first - 1);
        clear(line, last + 1, area.right());
        // Pixels centred within `inner` of the centre are wholly covered.
        const qreal inner = outline.reach(qy, -kPixelReach);
        int solidFirst = std::numeric_limits<int>::max();
        int solidLast = std::numeric_limits<int>::min();
        if (inner >= 0) {
            solidFirst = std::max(
                first, static_cast<int>(std::ceil(within(centre.x() - inner - 0.5, bounds))));
            solidLast = std::min(
                last, static_cast<int>(std::floor(within(centre.x() + inner - 0.5, bounds))));
            const auto fill = [&](int from, int to) {
                if (from < to)
                    std::fill(line + from, line + to, solid);
            };
            if (y >= hidden.top() && y <= hidden.bottom()) {
                fill(solidFirst, std::min(solidLast + 1, hidden.left()));
                fill(std::max(solidFirst, hidden.right() + 1), solidLast + 1);
            } else {
                fill(solidFirst, solidLast + 1);
            }
        }
        for (int x = first; x <= last; ++x) {
            if (x >= solidFirst && x <= solidLast) {
                x = solidLast;
                continue;
            }
            const int level = qRound(255 * outline.coverage(x + 0.5 - centre.x(), dy));
            line[x] = shades[level];
        }
    }
    return m_image;
}

} // namespace corvane
