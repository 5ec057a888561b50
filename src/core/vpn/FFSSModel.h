#pragma once

#include <QObject>
#include <QString>

namespace corvane {

// One relay server of the quick-connect screen.
class FFSSModel final : public QObject
{
    Q_OBJECT

public:
    explicit FFSSModel(QObject *parent = nullptr) : QObject(parent) {}
    Q_DISABLE_COPY_MOVE(FFSSModel)

    QString ip;
    QString pwd;
    qint64 port = 0;
    // The relay's method name; empty for the one the service's relays use.
    QString method;
};

} // namespace corvane
