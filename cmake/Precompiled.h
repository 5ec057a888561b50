// What most sources of a layer include, parsed once for the layer instead of once per source.
// A layer sees only the Qt modules it links, so each group is taken only where it is found.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#if __has_include(<QObject>)
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariant>
#endif

#if __has_include(<QWidget>)
#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QWidget>
#endif
