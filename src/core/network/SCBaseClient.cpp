#include "core/network/SCBaseClient.h"

namespace corvane {

SCBaseClient::SCBaseClient(QObject &owner) : viewController(&owner) {}

SCBaseClient::~SCBaseClient() = default;

void SCBaseClient::deliverSuccess(const std::any &payload)
{
    if (viewController && successBlock)
        successBlock(payload);
}

void SCBaseClient::deliverFailure(const SCNetError &error)
{
    if (viewController && failureBlock)
        failureBlock(error);
}

} // namespace corvane
