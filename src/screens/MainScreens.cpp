#include "screens/MainScreens.h"

#include "screens/home/SCHomeViewController.h"
#include "screens/login/SCLoginViewController.h"
#include "screens/province/SCListViewController.h"
#include "screens/quick/MainViewController.h"
#include "ui/toolkit/ScreenFactory.h"

namespace corvane {

void registerMainScreens()
{
    ScreenFactory &main = ScreenFactory::named(QStringLiteral("Main"));
    main.registerScreen(QStringLiteral("login"), [] { return new SCLoginViewController(); });
    main.registerScreen(QStringLiteral("home"), [] { return new SCHomeViewController(); });
    main.registerScreen(QStringLiteral("list"), [] { return new SCListViewController(); });
    main.registerScreen(QStringLiteral("quick"), [] { return new MainViewController(); });
}

} // namespace corvane
