#pragma once

#include <QHash>
#include <QIconEngine>
#include <QMap>
#include <QPixmap>

namespace corvane {

// An icon drawn at several sizes, one PNG file a size, each read only when a pixmap of about its
// size is asked for. QIcon::addFile would decode every file at once and ask each image plugin
// whether it reads PNG, which costs a launch more than its first frame.
class BuiltInIconEngine final : public QIconEngine
{
public:
    // `files` holds each drawing's file by its width and height in pixels.
    explicit BuiltInIconEngine(QMap<int, QString> files);

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QIconEngine *clone() const override;
    QString key() const override;

private:
    // The smallest drawing at least `side` pixels wide, else the largest.
    int drawingFor(int side) const;

    QMap<int, QString> m_files;
    QHash<int, QPixmap> m_read;
};

} // namespace corvane
