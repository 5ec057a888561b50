#include "screens/MainScreens.h"

#include "screens/quick/MainViewController.h"
#include "ui/toolkit/ScreenFactory.h"

namespace corvane {

void registerMainScreens()
{
    ScreenFactory &main = ScreenFactory::named(QStringLiteral("Main"));
    main.registerScreen(QStringLiteral("quick"), [] { return new MainViewController(); });
}

} // namespace corvane
