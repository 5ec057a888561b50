#include "core/config/ServiceEndpoints.h"

namespace corvane {

namespace {
ServiceEndpoints &installed()
{
    static ServiceEndpoints endpoints;
    return endpoints;
}

QString withoutTrailingSlash(QString address)
{
    while (address.endsWith(u'/'))
        address.chop(1);
    return address;
}
} // namespace

const ServiceEndpoints &ServiceEndpoints::current()
{
    return installed();
}

void ServiceEndpoints::install(ServiceEndpoints endpoints)
{
    endpoints.serviceBaseAddress = withoutTrailingSlash(std::move(endpoints.serviceBaseAddress));
    endpoints.lookupBaseAddress = withoutTrailingSlash(std::move(endpoints.lookupBaseAddress));
    installed() = std::move(endpoints);
}

} // namespace corvane
