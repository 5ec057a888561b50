#pragma once

#include <QPointF>

class QLabel;
class QString;
class QWidget;

namespace corvane::PlaceholderParts {

// The grey page background every placeholder paints, and its tag.
void setUpBackground(QWidget *view, int tag);
// A centred one-line caption in the placeholders' 14-point grey.
QLabel *makeCaption(const QString &text);
void setCenterX(QWidget *view, qreal x);
void setCenter(QWidget *view, QPointF center);
qreal bottom(const QWidget *view);

} // namespace corvane::PlaceholderParts
