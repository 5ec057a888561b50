#include "platform/http/HttpTask.h"

#include <QNetworkReply>

namespace corvane {

void HttpTask::cancel()
{
    if (m_reply && m_reply->isRunning()) {
        m_reply->setProperty("corvaneCancelled", true);
        m_reply->abort();
    }
}

bool HttpTask::isRunning() const
{
    return m_reply && m_reply->isRunning();
}

} // namespace corvane
