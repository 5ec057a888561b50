#pragma once

#include <QHash>
#include <QString>
#include <functional>

namespace corvane {

class ViewController;

// Builds screens by identifier, the way screens were loaded from an interface file: each
// screen registers a function under its identifier in the factory of its file (e.g. "Main").
class ScreenFactory final
{
public:
    using Factory = std::function<ViewController *()>;

    // The factory with this name, created empty on first use.
    static ScreenFactory &named(const QString &name);

    void registerScreen(const QString &identifier, Factory factory);
    bool contains(const QString &identifier) const { return m_factories.contains(identifier); }
    // A new screen, owned by the caller; null for an identifier nobody registered.
    ViewController *instantiate(const QString &identifier) const;

    ScreenFactory() = default;
    Q_DISABLE_COPY_MOVE(ScreenFactory)

private:
    QHash<QString, Factory> m_factories;
};

} // namespace corvane
