#include "platform/systemproxy/DesktopSystemProxy.h"

#include "platform/autostart/AutostartEntry.h"
#include "platform/files/CorruptCopies.h"
#include "platform/files/FileLock.h"
#include "platform/files/PrivateFile.h"
#include "platform/files/RegularFile.h"
#include "platform/log/Log.h"
#include "platform/systemproxy/GSettingsProxyStore.h"
#include "platform/systemproxy/KioProxyFile.h"
#include "platform/systemproxy/ProxyJournal.h"
#include "platform/tunnel/linux/HelperProcesses.h"
#include "platform/tunnel/linux/LinuxTunnelProfileStore.h"
#include "platform/tunnel/linux/TunnelChannel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

using namespace std::chrono_literals;

// Held by another program only for one small file write.
constexpr std::chrono::milliseconds kLockWait = 2s;

QString lockPath(const QString &journal)
{
    return journal + QStringLiteral(".lock");
}

// Every program that applied the journal holds a shared lock on this file until it restores
// or ends; the kernel drops it with a program that dies.
QString inUsePath(const QString &journal)
{
    return journal + QStringLiteral(".in-use");
}

int openInUse(const QString &journal, int flags)
{
    return ::open(QFile::encodeName(inUsePath(journal)).constData(),
                  O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | flags, 0600);
}

// A journal that cannot be trusted leaves the way for a fresh one without being followed: a
// link is removed (never what it points at), a file is kept beside it for whoever looks.
void setAside(const QString &path)
{
    struct stat info
    {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return;
    if (S_ISLNK(info.st_mode))
        ::unlink(QFile::encodeName(path).constData());
    else if (S_ISREG(info.st_mode))
        CorruptCopies::moveAside(path);
}

// corvanectl beside this program (corvane's), or in the package's bin folder seen from the
// helper's libexec folder.
QString corvanectl()
{
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/corvanectl");
    const QString installed =
        QDir::cleanPath(QCoreApplication::applicationDirPath() +
                        QStringLiteral("/" CORVANE_BIN_FROM_LIBEXEC "/corvanectl"));
    return QFileInfo(beside).isExecutable() || !QFileInfo(installed).isExecutable() ? beside
                                                                                    : installed;
}

QString portsText(SystemProxy::Ports ports)
{
    return QStringLiteral("127.0.0.1:%1 (SOCKS5) and :%2 (HTTP)").arg(ports.socks).arg(ports.http);
}

} // namespace

DesktopSystemProxy::Locations DesktopSystemProxy::defaultLocations()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':');
    return {config + QStringLiteral("/corvane/system-proxy.journal"),
            config + QStringLiteral("/kioslaverc"),
            LinuxTunnelProfileStore::defaultLocations().runtimeDir,
            desktops.contains(QStringLiteral("KDE"), Qt::CaseInsensitive),
            AutostartEntry::defaultFilePath(QStringLiteral("com.corvane.Corvane.SystemProxy")),
            corvanectl()};
}

DesktopSystemProxy::DesktopSystemProxy(Locations locations) : m_locations(std::move(locations)) {}

DesktopSystemProxy::~DesktopSystemProxy()
{
    release();
}

void DesktopSystemProxy::release()
{
    if (m_inUse >= 0)
        ::close(m_inUse);
    m_inUse = -1;
}

bool DesktopSystemProxy::available() const
{
    const QFileInfo kio(m_locations.kioFile);
    return GSettingsProxyStore::available() || m_locations.plasma || kio.exists() ||
           kio.isSymLink();
}

std::unique_ptr<ProxyKeyStore> DesktopSystemProxy::store(const QString &name) const
{
    if (name == QLatin1StringView("gsettings") && GSettingsProxyStore::available())
        return std::make_unique<GSettingsProxyStore>();
    if (name == QLatin1StringView("kio")) {
        auto kio = std::make_unique<KioProxyFile>(m_locations.kioFile);
        if (!kio->error())
            return kio;
        Log::warning(QStringLiteral("KIO's proxy settings are left alone: %1").arg(*kio->error()));
    }
    return nullptr;
}

std::vector<std::unique_ptr<ProxyKeyStore>> DesktopSystemProxy::storesInUse() const
{
    std::vector<std::unique_ptr<ProxyKeyStore>> stores;
    if (auto gsettings = store(QStringLiteral("gsettings")))
        stores.push_back(std::move(gsettings));
    const QFileInfo kio(m_locations.kioFile);
    if (m_locations.plasma || kio.exists() || kio.isSymLink()) {
        if (auto file = store(QStringLiteral("kio")))
            stores.push_back(std::move(file));
    }
    return stores;
}

std::optional<ProxyJournal> DesktopSystemProxy::loadJournal() const
{
    // Every program's start comes here: without a journal GIO is not even loaded.
    struct stat info
    {};
    if (::lstat(QFile::encodeName(m_locations.journalFile).constData(), &info) != 0)
        return std::nullopt;
    const std::unique_ptr<ProxyKeyStore> gsettings = store(QStringLiteral("gsettings"));
    const KioProxyFile kio(m_locations.kioFile);
    const auto accepts = [&](const QString &name, const ProxyKeyStore::Key &key,
                             const QString &text) {
        if (name == kio.name())
            return kio.accepts(key, text);
        // Out of reach in this process the schema cannot check the value; the key it can.
        if (name == QLatin1StringView("gsettings"))
            return gsettings ? gsettings->accepts(key, text) : GSettingsProxyStore::writes(key);
        return false;
    };
    auto loaded = ProxyJournal::load(m_locations.journalFile, accepts);
    if (auto *journal = std::get_if<std::optional<ProxyJournal>>(&loaded))
        return *journal;
    Log::warning(QStringLiteral("The system proxy journal %1 is not used, and the desktop's proxy "
                                "settings are left as they are: %2")
                     .arg(m_locations.journalFile, std::get<QString>(loaded)));
    setAside(m_locations.journalFile);
    return std::nullopt;
}

std::optional<QString> DesktopSystemProxy::apply(Ports ports)
{
    if (ports.socks == 0 || ports.http == 0)
        return QStringLiteral("The local proxies have no ports to point the desktop at.");
    const std::vector<std::unique_ptr<ProxyKeyStore>> stores = storesInUse();
    if (stores.empty())
        return QStringLiteral("This session keeps no proxy settings (neither GSettings nor KIO).");
    if (!PrivateFile::makeFolder(QFileInfo(m_locations.journalFile).absolutePath()))
        return QStringLiteral("Cannot create the folder of %1.").arg(m_locations.journalFile);
    if (m_inUse < 0) {
        m_inUse = openInUse(m_locations.journalFile, O_CREAT);
        if (m_inUse < 0 || ::flock(m_inUse, LOCK_SH) != 0) {
            release();
            return QStringLiteral("Cannot mark the system proxy as in use: %1")
                .arg(inUsePath(m_locations.journalFile));
        }
    }
    const FileLock lock(lockPath(m_locations.journalFile), kLockWait);
    if (!lock.isLocked())
        return QStringLiteral("The system proxy is not set: %1.").arg(lock.error());

    // Another program of the user applied first: what it replaced is what the desktop had.
    const std::optional<ProxyJournal> existing = loadJournal();
    if (existing && existing->ports.socks == ports.socks && existing->ports.http == ports.http)
        return std::nullopt;
    ProxyJournal next{ports, {}};
    for (const auto &store : stores) {
        for (const ProxyKeyStore::Value &value : store->planned(ports)) {
            const ProxyJournal::Entry *earlier =
                existing ? existing->find(store->name(), value.key) : nullptr;
            next.entries.append({store->name(), value.key,
                                 earlier ? earlier->before : store->read(value.key), value.text});
        }
    }
    if (existing) {
        for (const ProxyJournal::Entry &entry : existing->entries) {
            if (!next.find(entry.store, entry.key))
                next.entries.append(entry);
        }
    }
    if (std::optional<QString> error = PrivateFile::write(m_locations.journalFile, next.toJson()))
        return QStringLiteral("The system proxy is not set: cannot write %1: %2")
            .arg(m_locations.journalFile, *error);

    if (!m_locations.loginEntry.isEmpty() &&
        PrivateFile::makeFolder(QFileInfo(m_locations.loginEntry).absolutePath())) {
        const QString entry =
            QStringLiteral("[Desktop Entry]\nType=Application\nName=Corvane\n"
                           "Comment=Gives back the desktop's proxy settings after a run that "
                           "ended without doing so\nExec=%1 --version\nNoDisplay=true\n"
                           "Terminal=false\nX-GNOME-Autostart-enabled=true\n")
                .arg(AutostartEntry::execValue(m_locations.loginProgram));
        if (std::optional<QString> error =
                PrivateFile::write(m_locations.loginEntry, entry.toUtf8()))
            Log::warning(QStringLiteral("The next login will not check the proxy settings: cannot "
                                        "write %1: %2")
                             .arg(m_locations.loginEntry, *error));
    }

    QStringList errors;
    for (const auto &store : stores) {
        for (const ProxyKeyStore::Value &value : store->planned(ports)) {
            if (std::optional<QString> error = store->stage(value.key, value.text))
                errors << *error;
        }
        if (std::optional<QString> error = store->commit())
            errors << *error;
    }
    if (!errors.isEmpty())
        return QStringLiteral("The system proxy is only partly set: %1.")
            .arg(errors.join(QStringLiteral("; ")));
    Log::info(QStringLiteral("The desktop's proxy settings point at %1").arg(portsText(ports)));
    return std::nullopt;
}

std::optional<QString> DesktopSystemProxy::restoreJournal(const ProxyJournal &journal)
{
    std::vector<std::unique_ptr<ProxyKeyStore>> stores;
    const auto storeNamed = [&stores](const QString &name) -> ProxyKeyStore * {
        for (const auto &store : stores) {
            if (store->name() == name)
                return store.get();
        }
        return nullptr;
    };
    for (const ProxyJournal::Entry &entry : journal.entries) {
        if (storeNamed(entry.store))
            continue;
        std::unique_ptr<ProxyKeyStore> found = store(entry.store);
        if (!found)
            return QStringLiteral("The desktop's proxy settings are not given back: the %1 "
                                  "settings are out of reach (the journal is kept).")
                .arg(entry.store);
        stores.push_back(std::move(found));
    }
    QStringList errors;
    for (const ProxyJournal::Entry &entry : journal.entries) {
        ProxyKeyStore *store = storeNamed(entry.store);
        if (store->read(entry.key) != entry.written) {
            Log::info(QStringLiteral("Kept %1 %2 as it was changed while the system proxy was on")
                          .arg(entry.key.group, entry.key.name));
        } else if (std::optional<QString> error = store->stage(entry.key, entry.before)) {
            errors << *error;
        }
    }
    for (const auto &store : stores) {
        if (std::optional<QString> error = store->commit())
            errors << *error;
    }
    if (!errors.isEmpty())
        return QStringLiteral("The desktop's proxy settings are only partly given back (the "
                              "journal is kept): %1.")
            .arg(errors.join(QStringLiteral("; ")));
    QFile::remove(m_locations.journalFile);
    if (!m_locations.loginEntry.isEmpty())
        QFile::remove(m_locations.loginEntry);
    Log::info(QStringLiteral("The desktop's proxy settings are given back"));
    return std::nullopt;
}

std::optional<QString> DesktopSystemProxy::restore()
{
    const FileLock lock(lockPath(m_locations.journalFile), kLockWait);
    if (!lock.isLocked())
        return QStringLiteral("The system proxy is not given back: %1.").arg(lock.error());
    const std::optional<ProxyJournal> journal = loadJournal();
    std::optional<QString> error = journal ? restoreJournal(*journal) : std::nullopt;
    if (!error)
        release();
    return error;
}

bool DesktopSystemProxy::applied() const
{
    struct stat info
    {};
    return ::lstat(QFile::encodeName(m_locations.journalFile).constData(), &info) == 0 &&
           S_ISREG(info.st_mode);
}

bool DesktopSystemProxy::heldElsewhere() const
{
    const int fd = openInUse(m_locations.journalFile, 0);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

bool DesktopSystemProxy::servedByLiveTunnel(Ports ports) const
{
    if (m_locations.runtimeDir.isEmpty())
        return false;
    for (const HelperProcesses::Helper &helper : HelperProcesses::running(m_locations.runtimeDir)) {
        const RegularFile::Content content =
            RegularFile::read(TunnelChannel(helper.channelBase).proxyPath(), 256);
        const auto served = content.outcome == RegularFile::Content::Outcome::Read
                                ? TunnelChannel::parseProxyLine(content.data)
                                : std::nullopt;
        if (served && served->socks == ports.socks && served->http == ports.http)
            return true;
    }
    return false;
}

std::optional<QString> DesktopSystemProxy::repair()
{
    const FileLock lock(lockPath(m_locations.journalFile), kLockWait);
    if (!lock.isLocked())
        return QStringLiteral("The system proxy journal is not checked: %1.").arg(lock.error());
    const std::optional<ProxyJournal> journal = loadJournal();
    if (!journal)
        return std::nullopt;
    if (heldElsewhere() || servedByLiveTunnel(journal->ports)) {
        Log::info(QStringLiteral("The desktop's proxy settings stay at %1: a tunnel or the "
                                 "program that set them still runs")
                      .arg(portsText(journal->ports)));
        return std::nullopt;
    }
    Log::warning(QStringLiteral("The desktop's proxy settings were left at %1 by a run that ended "
                                "without giving them back")
                     .arg(portsText(journal->ports)));
    return restoreJournal(*journal);
}

} // namespace corvane
