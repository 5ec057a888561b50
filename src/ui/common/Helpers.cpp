#include "ui/common/Helpers.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>
#include <QTextBoundaryFinder>
#include <cmath>

namespace corvane {

namespace {
QSizeF primaryScreenSize()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? QSizeF(screen->geometry().size()) : QSizeF();
}
} // namespace

QColor hexColor(quint32 rgb)
{
    return QColor::fromRgb(int((rgb >> 16) & 0xFF), int((rgb >> 8) & 0xFF), int(rgb & 0xFF));
}

QColor kBackgroundGrayColor()
{
    static const QColor color = QColor::fromRgb(251, 251, 251);
    return color;
}

QColor kDarkGrayColor()
{
    static const QColor color = QColor::fromRgb(85, 85, 85);
    return color;
}

qreal kScreenWidth()
{
    static const qreal width = primaryScreenSize().width();
    return width;
}

bool kIsTallScreen()
{
    static const bool tall = primaryScreenSize().height() >= 812;
    return tall;
}

qreal scaledWidth(qreal length)
{
    return kScreenWidth() * length / 375.0;
}

qreal scaledWidthIfNarrow(qreal length)
{
    return kScreenWidth() < 375.0 ? scaledWidth(length) : length;
}

QFont systemFont(qreal size)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(std::max(1, int(std::lround(size))));
    return font;
}

QFont boldSystemFont(qreal size)
{
    QFont font = systemFont(size);
    font.setBold(true);
    return font;
}

qreal textWidth(const QFont &font, const QString &text)
{
    const QRectF unlimited(0, 0, 1e6, 1e6);
    return std::ceil(QFontMetricsF(font).boundingRect(unlimited, Qt::AlignLeft, text).width());
}

std::optional<QJsonValue> jsonObject(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error == QJsonParseError::NoError) {
        if (document.isObject())
            return QJsonValue(document.object());
        return QJsonValue(document.array());
    }
    // QJsonDocument refuses top-level scalars ("1", "\"a\"", "null"); read them as the only
    // element of an array instead.
    const QJsonDocument wrapped = QJsonDocument::fromJson('[' + bytes + ']', &error);
    if (error.error != QJsonParseError::NoError || wrapped.array().size() != 1)
        return std::nullopt;
    return wrapped.array().first();
}

QString suffix(const QString &text, qsizetype n)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype boundary = 0;
    for (qsizetype i = 0; i < n; ++i) {
        boundary = finder.toNextBoundary();
        if (boundary < 0 || boundary >= text.size())
            return text;
    }
    return text.mid(boundary);
}

} // namespace corvane
