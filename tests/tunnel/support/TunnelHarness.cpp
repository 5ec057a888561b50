#include "TunnelHarness.h"

#include <QDeadlineTimer>
#include <QFile>
#include <csignal>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {
const TimeSource &timeFor(bool manual, const ManualTime &time)
{
    return manual ? static_cast<const TimeSource &>(time) : TimeSource::system();
}

// The frozen thread says so on the first pipe and waits on the second.
int g_frozen[2] = {-1, -1};
int g_thaw[2] = {-1, -1};

void freeze(int)
{
    char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(g_frozen[1], &byte, 1);
    [[maybe_unused]] const ssize_t read = ::read(g_thaw[0], &byte, 1);
}

bool waitsInEpoll(pid_t thread)
{
    QFile file(QStringLiteral("/proc/self/task/%1/syscall").arg(thread));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const long call = file.readAll().split(' ').value(0).toLong();
    return call == SYS_epoll_wait || call == SYS_epoll_pwait;
}
} // namespace

TunnelHarness::TunnelHarness(bool manual) : m_engine(timeFor(manual, m_time)) {}

TunnelHarness::~TunnelHarness()
{
    m_engine.call([this] { m_client.reset(); });
}

void TunnelHarness::start(const TunnelConfiguration &configuration, TunnelClient::Options options)
{
    TunnelClient::Events events;
    events.status = [this](TunnelClient::Status status, const std::string &reason) {
        const std::lock_guard lock(m_mutex);
        m_statuses << status;
        if (!reason.empty())
            m_reason = QString::fromStdString(reason);
    };
    events.listening = [this](std::uint16_t socks, std::uint16_t http) {
        m_socksPort = socks;
        m_httpPort = http;
    };
    events.log = [this](const std::string &line) {
        const std::lock_guard lock(m_mutex);
        m_log << QString::fromStdString(line);
    };
    if (options.socksPort == TunnelClient::kDefaultSocksPort)
        options.socksPort = 0;
    if (options.httpPort == TunnelClient::kDefaultHttpPort)
        options.httpPort = 0;
    m_engine.call([&] {
        m_client = std::make_unique<TunnelClient>(m_engine.loop(), configuration, options, events);
        m_client->start();
    });
}

void TunnelHarness::stop()
{
    m_engine.call([this] { m_client->stop(); });
}

void TunnelHarness::checkRelay()
{
    m_engine.call([this] { m_client->checkRelay(); });
}

void TunnelHarness::advance(std::chrono::milliseconds by)
{
    m_time.advance(by);
    // A round of the loop runs its posted work before its timers: once a second round has
    // begun, every timer due by now has run.
    m_engine.call([] {});
    m_engine.call([] {});
}

bool TunnelHarness::freezeWhile(std::chrono::milliseconds by,
                                const std::function<void()> &meanwhile)
{
    pthread_t thread{};
    pid_t id = 0;
    m_engine.call([&] {
        thread = pthread_self();
        id = ::gettid();
    });
    const QDeadlineTimer deadline(30000);
    while (!waitsInEpoll(id)) {
        if (deadline.hasExpired())
            return false;
        std::this_thread::yield();
    }
    if (::pipe(g_frozen) != 0 || ::pipe(g_thaw) != 0)
        return false;
    struct sigaction action = {};
    struct sigaction previous = {};
    action.sa_handler = freeze;
    sigaction(SIGUSR1, &action, &previous);
    pthread_kill(thread, SIGUSR1);
    char byte = 0;
    bool frozen = ::read(g_frozen[0], &byte, 1) == 1;
    meanwhile();
    m_time.advance(by);
    frozen = ::write(g_thaw[1], &byte, 1) == 1 && frozen;
    m_engine.call([] {});
    m_engine.call([] {});
    sigaction(SIGUSR1, &previous, nullptr);
    for (int fd : {g_frozen[0], g_frozen[1], g_thaw[0], g_thaw[1]})
        ::close(fd);
    return frozen;
}

QList<TunnelClient::Status> TunnelHarness::statuses() const
{
    const std::lock_guard lock(m_mutex);
    return m_statuses;
}

TunnelClient::Status TunnelHarness::last() const
{
    const std::lock_guard lock(m_mutex);
    return m_statuses.isEmpty() ? TunnelClient::Status::Disconnected : m_statuses.last();
}

QString TunnelHarness::reason() const
{
    const std::lock_guard lock(m_mutex);
    return m_reason;
}

QString TunnelHarness::log() const
{
    const std::lock_guard lock(m_mutex);
    return m_log.join(u'\n');
}

std::size_t TunnelHarness::connectionCount()
{
    std::size_t count = 0;
    m_engine.call([&] { count = m_client->connectionCount(); });
    return count;
}

std::size_t TunnelHarness::associationCount()
{
    std::size_t count = 0;
    m_engine.call([&] { count = m_client->associationCount(); });
    return count;
}

std::size_t TunnelHarness::datagramFlowCount()
{
    std::size_t count = 0;
    m_engine.call([&] { count = m_client->datagramFlowCount(); });
    return count;
}

TunnelClient::DownCause TunnelHarness::downCause()
{
    auto cause = TunnelClient::DownCause::stopped;
    m_engine.call([&] { cause = m_client->downCause(); });
    return cause;
}

TunnelConfiguration TunnelHarness::configuration(quint16 relayPort, const std::string &method,
                                                 const std::string &password,
                                                 const std::string &auth, const std::string &rules)
{
    TunnelConfiguration configuration;
    configuration.relayHost = "127.0.0.1";
    configuration.relayPort = relayPort;
    configuration.form = *RelayMethod::formNamed(method);
    configuration.password = password;
    configuration.auth = auth;
    if (!rules.empty())
        configuration.rules = std::get<RuleSet>(RuleSet::parse(rules));
    return configuration;
}

RelayHarness::RelayHarness(RelayServer::Options options, std::string exitAddress,
                           std::string refusal, bool manual)
    : m_engine(timeFor(manual, m_time))
{
    auto authorise = [this, exitAddress, refusal](const std::string &auth) {
        {
            const std::lock_guard lock(m_mutex);
            m_authorised << QString::fromStdString(auth);
        }
        RelayServer::Decision decision;
        decision.accepted = refusal.empty();
        decision.reason = refusal;
        decision.exitAddress = exitAddress;
        return decision;
    };
    auto log = [this](const std::string &line) {
        const std::lock_guard lock(m_mutex);
        m_log << QString::fromStdString(line);
    };
    m_engine.call([&] {
        m_server = std::make_unique<RelayServer>(m_engine.loop(), options, authorise, log);
        if (m_server->listen(SocketAddress::loopback(false, 0)).empty())
            m_port = m_server->port();
    });
}

RelayHarness::~RelayHarness()
{
    m_engine.call([this] { m_server.reset(); });
}

void RelayHarness::drop()
{
    m_engine.call([this] { m_server->dropConnections(); });
}

bool RelayHarness::relisten()
{
    bool listening = false;
    m_engine.call(
        [&] { listening = m_server->listen(SocketAddress::loopback(false, m_port)).empty(); });
    return listening;
}

std::size_t RelayHarness::tunnelCount()
{
    std::size_t count = 0;
    m_engine.call([&] { count = m_server->tunnelCount(); });
    return count;
}

std::size_t RelayHarness::datagramFlowCount()
{
    std::size_t count = 0;
    m_engine.call([&] { count = m_server->datagramFlowCount(); });
    return count;
}

void RelayHarness::advance(std::chrono::milliseconds by)
{
    m_time.advance(by);
    m_engine.call([] {});
    m_engine.call([] {});
}

QStringList RelayHarness::authorised() const
{
    const std::lock_guard lock(m_mutex);
    return m_authorised;
}

QString RelayHarness::log() const
{
    const std::lock_guard lock(m_mutex);
    return m_log.join(u'\n');
}
