#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

namespace corvane {

// Process-wide broadcast of named events without payload, used on the main thread only.
// Receivers read whatever state they need from the sender's shared instance.
class NotificationCenter final
{
public:
    using Token = quint64;

    static NotificationCenter &shared();

    NotificationCenter() = default;
    Q_DISABLE_COPY_MOVE(NotificationCenter)

    // `context` bounds the observer's life: once it is destroyed the observer is never called.
    Token addObserver(const QString &name, QObject *context, std::function<void()> fn);
    void removeObserver(Token token);
    void removeObservers(const QObject *context);
    void post(const QString &name);
    int observerCount(const QString &name) const;

private:
    struct Observer
    {
        Token token;
        QString name;
        QPointer<QObject> context;
        std::function<void()> fn;
    };

    Token m_nextToken = 1;
    std::vector<Observer> m_observers;
};

} // namespace corvane
