#include "DemoServiceProcess.h"

#include "core/config/ServiceEndpoints.h"
#include "platform/log/Log.h"
#include "platform/resources/Resources.h"

#include <QFile>

namespace corvane {

namespace {
constexpr int kStartMs = 10000;
const QByteArray kListening = QByteArrayLiteral("listening on ");
const QByteArray kRelay = QByteArrayLiteral("relay on 127.0.0.1:");
const QByteArray kPlainRelay = QByteArrayLiteral("plain relay on 127.0.0.1:");
const QByteArray kDemoRules =
    QByteArrayLiteral(R"({"version": 1, "rules": [{"type": "final", "action": "proxy"}]})");
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
    // The service's log joins the demo's own, wherever that goes: the steps stay alone.
    connect(&m_process, &QProcess::readyReadStandardError, this, [this] {
        m_errors += m_process.readAllStandardError();
        for (qsizetype end = m_errors.indexOf('\n'); end >= 0; end = m_errors.indexOf('\n')) {
            Log::warning(QString::fromUtf8(m_errors.left(end)));
            m_errors.remove(0, end + 1);
        }
    });
    m_process.start(program, {QStringLiteral("--port"), QStringLiteral("0")});
    if (!m_process.waitForStarted(kStartMs))
        return QStringLiteral("cannot start %1: %2").arg(program, m_process.errorString());
    for (const QByteArray &expected : {kListening, kRelay, kPlainRelay}) {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(kStartMs))
                return QStringLiteral("%1 did not say where it listens").arg(program);
        }
        const QByteArray line = m_process.readLine().trimmed();
        if (!line.startsWith(expected))
            return QStringLiteral("%1 said \"%2\" instead of where it listens")
                .arg(program, QString::fromUtf8(line));
        const QByteArray where = line.mid(expected.size());
        if (expected == kListening)
            m_baseUrl = QString::fromUtf8(where);
        else
            (expected == kRelay ? m_relayPort : m_plainRelayPort) = where.toUShort();
    }
    return std::nullopt;
}

void DemoServiceProcess::pointClientAtIt()
{
    ServiceEndpoints endpoints = ServiceEndpoints::current();
    endpoints.serviceBaseAddress = m_baseUrl;
    endpoints.lookupBaseAddress = m_baseUrl;
    endpoints.tunnelHost = QStringLiteral("127.0.0.1");
    endpoints.tunnelPort = m_relayPort;
    endpoints.relayHost = QStringLiteral("127.0.0.1");
    endpoints.relayPort = m_plainRelayPort;
    ServiceEndpoints::install(endpoints);
    QFile rules(m_rules.filePath(QStringLiteral("rules.json")));
    if (rules.open(QIODevice::WriteOnly) && rules.write(kDemoRules) == kDemoRules.size())
        Resources::setSearchRoots(QStringList{m_rules.path()} + Resources::searchRoots());
}

} // namespace corvane
