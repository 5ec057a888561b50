#pragma once

#include "core/network/SCNetError.h"
#include "core/network/SCResponse.h"
#include "platform/http/HttpRequest.h"
#include "platform/http/HttpTask.h"

#include <QJsonObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace corvane {

// Sends one request to the service and turns the reply into exactly one of two callbacks:
// success with the decoded envelope (code 0), or failure with an SCNetError.
class SCNetServer final
{
public:
    using Success = std::function<void(const std::shared_ptr<SCResponse> &)>;
    using Failure = std::function<void(const SCNetError &)>;

    static constexpr std::chrono::milliseconds kDefaultTimeout{20000};

    static SCNetServer &shared();

    SCNetServer();
    Q_DISABLE_COPY_MOVE(SCNetServer)

    // The service's base address as installed in ServiceEndpoints.
    static QString baseAddress();

    HttpTask request(const QString &path, HttpMethod method,
                     const std::optional<QJsonObject> &parameters, ParameterEncoding encoding,
                     Success success, Failure failure);

    std::chrono::milliseconds requestTimeout() const { return m_timeout; }
    void setRequestTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

private:
    std::chrono::milliseconds m_timeout = kDefaultTimeout;
};

} // namespace corvane
