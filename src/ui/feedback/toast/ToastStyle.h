#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QSizeF>

namespace corvane {

// How toasts look and move. Values stated in points; fonts are filled in by ToastManager (they
// need the application's font database).
struct ToastStyle
{
    QColor backgroundColor = QColor::fromRgbF(0, 0, 0, 0.8f);
    QColor titleColor = Qt::white;
    QColor messageColor = Qt::white;
    // Fractions of the host view's width and height a toast may take.
    qreal maxWidthPercentage = 0.8;
    qreal maxHeightPercentage = 0.8;
    qreal horizontalPadding = 20.0;
    qreal verticalPadding = 20.0;
    qreal cornerRadius = 10.0;
    QFont titleFont;
    QFont messageFont;
    Qt::Alignment titleAlignment = Qt::AlignLeft;
    Qt::Alignment messageAlignment = Qt::AlignHCenter;
    // 0 means as many lines as the text needs.
    int titleNumberOfLines = 0;
    int messageNumberOfLines = 0;
    bool displayShadow = false;
    QColor shadowColor = Qt::black;
    float shadowOpacity = 0.8f;
    qreal shadowRadius = 6.0;
    QPointF shadowOffset{4.0, 4.0};
    QSizeF imageSize{48.0, 48.0};
    QSizeF activitySize{30.0, 30.0};
    // Seconds.
    double fadeDuration = 0.2;
    QColor activityIndicatorColor = Qt::white;
    QColor activityBackgroundColor = QColor::fromRgbF(0, 0, 0, 0.8f);
};

} // namespace corvane
