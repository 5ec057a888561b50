#include "ui/toolkit/ScreenFactory.h"

#include "platform/log/Log.h"
#include "ui/toolkit/ViewController.h"

#include <map>
#include <memory>

namespace corvane {

ScreenFactory &ScreenFactory::named(const QString &name)
{
    static std::map<QString, std::unique_ptr<ScreenFactory>> factories;
    std::unique_ptr<ScreenFactory> &factory = factories[name];
    if (!factory)
        factory = std::make_unique<ScreenFactory>();
    return *factory;
}

void ScreenFactory::registerScreen(const QString &identifier, Factory factory)
{
    m_factories.insert(identifier, std::move(factory));
}

ViewController *ScreenFactory::instantiate(const QString &identifier) const
{
    const auto found = m_factories.constFind(identifier);
    if (found == m_factories.constEnd() || !*found) {
        Log::warning(QStringLiteral("No screen with identifier ") + identifier);
        return nullptr;
    }
    return (*found)();
}

} // namespace corvane
