#include "platform/notification/NotificationCenter.h"

#include <algorithm>

namespace corvane {

NotificationCenter &NotificationCenter::shared()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString &name, QObject *context,
                                                          std::function<void()> fn)
{
    const Token token = m_nextToken++;
    m_observers.push_back(Observer{token, name, context, std::move(fn)});
    return token;
}

void NotificationCenter::removeObserver(Token token)
{
    std::erase_if(m_observers, [token](const Observer &o) { return o.token == token; });
}

void NotificationCenter::removeObservers(const QObject *context)
{
    std::erase_if(m_observers, [context](const Observer &o) { return o.context == context; });
}

void NotificationCenter::post(const QString &name)
{
    std::erase_if(m_observers, [](const Observer &o) { return o.context.isNull(); });
    // Observers may add or remove observers while being called: walk a list of tokens and look
    // each one up again, so a removed observer is never called.
    std::vector<Token> tokens;
    for (const Observer &o : m_observers) {
        if (o.name == name)
            tokens.push_back(o.token);
    }
    for (Token token : tokens) {
        auto it = std::find_if(m_observers.begin(), m_observers.end(),
                               [token](const Observer &o) { return o.token == token; });
        if (it == m_observers.end() || it->context.isNull())
            continue;
        auto fn = it->fn;
        fn();
    }
}

int NotificationCenter::observerCount(const QString &name) const
{
    return static_cast<int>(
        std::count_if(m_observers.begin(), m_observers.end(),
                      [&](const Observer &o) { return o.name == name && !o.context.isNull(); }));
}

} // namespace corvane
