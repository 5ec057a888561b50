#include "platform/keyring/secret/SecretServiceKeyring.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <qt6keychain/keychain.h>

namespace corvane {

namespace {
const QString kSecretServiceName = QStringLiteral("org.freedesktop.secrets");
} // namespace

SecretServiceKeyring::SecretServiceKeyring(QString service)
    : m_service(std::move(service)), m_jobs(std::make_unique<QObject>())
{}

SecretServiceKeyring::~SecretServiceKeyring() = default;

bool SecretServiceKeyring::available(const QDBusConnection &bus)
{
    const QDBusConnectionInterface *daemon = bus.isConnected() ? bus.interface() : nullptr;
    if (!daemon)
        return false;
    if (daemon->isServiceRegistered(kSecretServiceName).value())
        return true;
    return daemon->activatableServiceNames().value().contains(kSecretServiceName);
}

void SecretServiceKeyring::read(const QString &key, ReadCompletion completion)
{
    auto *job = new QKeychain::ReadPasswordJob(m_service, m_jobs.get());
    job->setAutoDelete(true);
    // QtKeychain's fallback is a plain settings file: exactly what the keyring is there to avoid.
    job->setInsecureFallback(false);
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, m_jobs.get(),
                     [job, completion = std::move(completion)] {
                         switch (job->error()) {
                         case QKeychain::NoError:
                             completion(Read{Read::Status::found, job->textData(), {}});
                             return;
                         case QKeychain::EntryNotFound:
                             completion(Read{Read::Status::missing, {}, {}});
                             return;
                         default:
                             completion(Read{Read::Status::failed, {}, job->errorString()});
                             return;
                         }
                     });
    job->start();
}

void SecretServiceKeyring::write(const QString &key, const QString &value,
                                 WriteCompletion completion)
{
    auto *job = new QKeychain::WritePasswordJob(m_service, m_jobs.get());
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);
    job->setTextData(value);
    QObject::connect(
        job, &QKeychain::Job::finished, m_jobs.get(), [job, completion = std::move(completion)] {
            completion(job->error() == QKeychain::NoError ? std::nullopt
                                                          : std::optional(job->errorString()));
        });
    job->start();
}

void SecretServiceKeyring::remove(const QString &key, WriteCompletion completion)
{
    auto *job = new QKeychain::DeletePasswordJob(m_service, m_jobs.get());
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, m_jobs.get(),
                     [job, completion = std::move(completion)] {
                         const bool gone = job->error() == QKeychain::NoError ||
                                           job->error() == QKeychain::EntryNotFound;
                         completion(gone ? std::nullopt : std::optional(job->errorString()));
                     });
    job->start();
}

} // namespace corvane
