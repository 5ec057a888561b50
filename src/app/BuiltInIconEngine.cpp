#include "app/BuiltInIconEngine.h"

#include <QImageReader>
#include <QPainter>

namespace corvane {

BuiltInIconEngine::BuiltInIconEngine(QMap<int, QString> files) : m_files(std::move(files)) {}

void BuiltInIconEngine::paint(QPainter *painter, const QRect &rect, QIcon::Mode mode,
                              QIcon::State state)
{
    painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
}

QPixmap BuiltInIconEngine::pixmap(const QSize &size, QIcon::Mode, QIcon::State)
{
    if (m_files.isEmpty() || size.isEmpty())
        return {};
    const int drawing = drawingFor(qMax(size.width(), size.height()));
    auto read = m_read.find(drawing);
    if (read == m_read.end()) {
        // Naming the format is not enough: with detection on, every image plugin is loaded and
        // asked whether it reads PNG before Qt's own reader is.
        QImageReader reader(m_files.value(drawing), "png");
        reader.setAutoDetectImageFormat(false);
        read = m_read.insert(drawing, QPixmap::fromImage(reader.read()));
    }
    if (read->width() <= size.width() && read->height() <= size.height())
        return *read;
    return read->scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QSize BuiltInIconEngine::actualSize(const QSize &size, QIcon::Mode, QIcon::State)
{
    if (m_files.isEmpty())
        return {};
    const int drawing = drawingFor(qMax(size.width(), size.height()));
    return QSize(drawing, drawing).boundedTo(size);
}

QList<QSize> BuiltInIconEngine::availableSizes(QIcon::Mode, QIcon::State)
{
    QList<QSize> sizes;
    for (const int side : m_files.keys())
        sizes << QSize(side, side);
    return sizes;
}

QIconEngine *BuiltInIconEngine::clone() const
{
    return new BuiltInIconEngine(*this);
}

QString BuiltInIconEngine::key() const
{
    return QStringLiteral("corvane-built-in");
}

int BuiltInIconEngine::drawingFor(int side) const
{
    const auto fits = m_files.lowerBound(side);
    return fits != m_files.end() ? fits.key() : m_files.lastKey();
}

} // namespace corvane
