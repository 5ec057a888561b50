#include "DemoServiceProcess.h"

#include "core/config/ServiceEndpoints.h"

namespace corvane {

namespace {
constexpr int kStartMs = 10000;
const QByteArray kListening = QByteArrayLiteral("listening on ");
} // namespace

DemoServiceProcess::DemoServiceProcess(QObject *parent) : QObject(parent) {}

DemoServiceProcess::~DemoServiceProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(2000))
        m_process.kill();
    m_process.waitForFinished(2000);
}

std::optional<QString> DemoServiceProcess::start(const QString &program)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program, {QStringLiteral("--port"), QStringLiteral("0")});
    if (!m_process.waitForStarted(kStartMs))
        return QStringLiteral("cannot start %1: %2").arg(program, m_process.errorString());
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(kStartMs))
            return QStringLiteral("%1 did not say where it listens").arg(program);
    }
    const QByteArray line = m_process.readLine().trimmed();
    if (!line.startsWith(kListening))
        return QStringLiteral("%1 said \"%2\" instead of where it listens")
            .arg(program, QString::fromUtf8(line));
    m_baseUrl = QString::fromUtf8(line.mid(kListening.size()));
    return std::nullopt;
}

void DemoServiceProcess::pointClientAtIt() const
{
    ServiceEndpoints endpoints = ServiceEndpoints::current();
    endpoints.serviceBaseAddress = m_baseUrl;
    endpoints.lookupBaseAddress = m_baseUrl;
    endpoints.tunnelHost = QStringLiteral("127.0.0.1");
    ServiceEndpoints::install(endpoints);
    // Helpers are started by this process and take its environment with them.
    qputenv("CORVANE_TUNNEL_CHECK_URL", m_baseUrl.toUtf8());
}

} // namespace corvane
