#pragma once

#include <QByteArray>
#include <QString>

namespace corvane {

// The provider configuration as the window hands it over: a JSON object of the seven keys,
// whose "json_conf" is itself a JSON document.
class HelperConfiguration final
{
public:
    // Why `data` cannot carry a tunnel; empty when it can.
    static QString problem(const QByteArray &data);
};

} // namespace corvane
