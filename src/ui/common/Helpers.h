#pragma once

#include <QColor>
#include <QFont>
#include <QJsonValue>
#include <QString>
#include <optional>

// Small shared helpers of the screens. The delayed call on the main queue is corvane::delay in
// platform/scheduling/Scheduler.h.
namespace corvane {

// Opaque colour from 0xRRGGBB; bits above the lowest 24 are ignored.
QColor hexColor(quint32 rgb);
// The page background grey (251, 251, 251).
QColor kBackgroundGrayColor();
// The dark grey (85, 85, 85) of secondary texts.
QColor kDarkGrayColor();

// Metrics of the primary screen, read once on first use.
qreal kScreenWidth();
bool kIsTallScreen();
// `length` given for a 375-point wide screen, scaled to this screen.
qreal scaledWidth(qreal length);
// As scaledWidth, but only narrower screens scale; wider ones keep `length`.
qreal scaledWidthIfNarrow(qreal length);

// The system font at `size` points; the layouts count one point as one logical pixel.
QFont systemFont(qreal size);
QFont boldSystemFont(qreal size);
// Width of `text` laid out without a width limit (its widest line).
qreal textWidth(const QFont &font, const QString &text);

// `text` parsed as JSON, top-level scalars included; nullopt when it is not JSON.
std::optional<QJsonValue> jsonObject(const QString &text);
// `text` from character `n` on when it is longer than `n` characters, else `text` unchanged.
// Characters are user-perceived ones, so an emoji or a combined accent is never split.
QString suffix(const QString &text, qsizetype n);

} // namespace corvane
