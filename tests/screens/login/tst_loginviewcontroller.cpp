#include "StandInService.h"
#include "core/login/LoginForm.h"
#include "core/login/SCLoginClient.h"
#include "core/state/LocalState.h"
#include "core/vpn/VpnManager.h"
#include "platform/scheduling/ManualClock.h"
#include "platform/settings/SettingsStore.h"
#include "platform/tunnel/memory/MemoryTunnelProfileStore.h"
#include "screens/MainScreens.h"
#include "screens/home/SCHomeViewController.h"
#include "screens/login/SCLoginViewController.h"
#include "support/ScreenSupport.h"
#include "ui/shell/SCBaseNavigationController.h"
#include "ui/toolkit/ScreenFactory.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

using namespace corvane;
using namespace corvane::test;
using namespace Qt::StringLiterals;

namespace {
const QByteArray kOrders = R"({"code": 0, "message": "ok", "result": {"secret": "acc",
    "orderInfoList": [{"orderId": "T1", "productId": 3, "buyCount": 10, "secret": "s1"}]}})";
} // namespace

class TestLoginViewController final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SCLoginViewController> showScreen()
    {
        std::unique_ptr<SCLoginViewController> screen(qobject_cast<SCLoginViewController *>(
            ScreenFactory::named(u"Main"_s).instantiate(u"login"_s)));
        screen->resize(375, 812);
        screen->show();
        return screen;
    }

    void type(const QString &mobile, const QString &password)
    {
        m_screen->outlet<QLineEdit>(u"phoneTF"_s)->setText(mobile);
        m_screen->outlet<QLineEdit>(u"pwdTF"_s)->setText(password);
    }

    // The toast a tap shows, once the request (if any) has had its answer.
    void tapAndSettle()
    {
        const qsizetype before = m_service->loginBodies.size();
        QTest::mouseClick(m_screen->outlet<QPushButton>(u"loginBtn"_s), Qt::LeftButton);
        QTRY_VERIFY(m_service->loginBodies.size() > before ||
                    !toastTexts(m_screen.get()).isEmpty());
        settle();
    }

    QTemporaryDir m_home;
    std::unique_ptr<ManualClock> m_clock;
    std::unique_ptr<StandInService> m_service;
    std::unique_ptr<SCLoginViewController> m_screen;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(u"config"_s)));
        QVERIFY(VpnManager::installSharedStore(std::make_unique<MemoryTunnelProfileStore>()));
        m_clock = std::make_unique<ManualClock>();
        registerMainScreens();
    }

    void init()
    {
        QFile::remove(SettingsStore::shared().filePath());
        currentOrderContent().reset();
        m_service = std::make_unique<StandInService>();
        m_service->install();
        m_screen = showScreen();
    }

    void cleanup()
    {
        m_screen.reset();
        m_service.reset();
        m_clock->advance(3s);
    }

    void checksStopTheTapWithTheirToast_data()
    {
        QTest::addColumn<QString>("mobile");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("toast");
        QTest::newRow("no mobile") << QString() << u"pw"_s << u"请输入手机号码"_s;
        QTest::newRow("three spaces") << u"   "_s << u"pw"_s << u"请输入正确手机号码（11位数字）"_s;
        QTest::newRow("short mobile")
            << u"1380000"_s << u"pw"_s << u"请输入正确手机号码（11位数字）"_s;
        QTest::newRow("no password") << u"13800000000"_s << QString() << u"请输入密码"_s;
        QTest::newRow("password that cannot be encoded")
            << u"13800000000"_s << QString(2000, u'x') << u"密码过长，请输入较短的密码"_s;
    }

    void checksStopTheTapWithTheirToast()
    {
        QFETCH(QString, mobile);
        QFETCH(QString, password);
        QFETCH(QString, toast);
        type(mobile, password);
        QTest::mouseClick(m_screen->outlet<QPushButton>(u"loginBtn"_s), Qt::LeftButton);
        QCOMPARE(toastTexts(m_screen.get()), QStringList{toast});
        settle();
        QVERIFY(m_service->loginBodies.isEmpty());
    }

    void successStoresTrimmedCredentialsAndOpensHome()
    {
        m_service->loginReply = kOrders;
        type(u"\u300013800000000 "_s, u"\tpa ss\u3000"_s);
        tapAndSettle();
        QTRY_VERIFY(m_screen->presentedViewController());
        QCOMPARE(
            QJsonDocument::fromJson(m_service->loginBodies.first()).object(),
            QJsonObject({{u"mobile"_s, u"13800000000"_s}, {u"password"_s, u"0961ddcae647360e"_s}}));
        QCOMPARE(LocalState::shared().phoneNum(), u"13800000000"_s);
        QCOMPARE(SettingsStore::shared().string(LocalState::kPwdNumKey), u"pa ss"_s);
        QVERIFY(currentOrderContent());
        QCOMPARE(currentOrderContent()->orderInfoList.size(), 1);

        auto *navigation =
            qobject_cast<SCBaseNavigationController *>(m_screen->presentedViewController());
        QVERIFY(navigation);
        QCOMPARE(navigation->modalPresentationStyle(),
                 ViewController::ModalPresentationStyle::FullScreen);
        QCOMPARE(navigation->viewControllers().size(), 1);
        QVERIFY(qobject_cast<SCHomeViewController *>(navigation->viewControllers().first()));
        m_clock->advance(1s);
        QVERIFY(navigation->isVisible());
        // The sign-in screen stays beneath, out of the keyboard's way.
        QVERIFY(m_screen->isVisible());
        QVERIFY(!m_screen->outlet<QLineEdit>(u"phoneTF"_s)->isVisible());
    }

    // Signed in, but nothing could be kept for the next launch: the customer hears of it.
    void credentialsThatCannotBeStoredAreTold()
    {
        const QString settings = SettingsStore::shared().filePath();
        QVERIFY(QDir().mkpath(settings));
        const auto tidy = qScopeGuard([&settings] { QDir(settings).removeRecursively(); });
        m_service->loginReply = kOrders;
        type(u"13800000000"_s, u"pw"_s);
        tapAndSettle();
        QTRY_VERIFY(m_screen->presentedViewController());
        auto *navigation =
            qobject_cast<SCBaseNavigationController *>(m_screen->presentedViewController());
        m_clock->advance(100ms);
        QCOMPARE(toastTexts(navigation->viewControllers().first()),
                 QStringList{u"登录信息未能保存，下次启动需重新输入"_s});
    }

    void refusalsShowTheCustomersWords_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("toasts");
        QTest::newRow("unknown mobile")
            << QByteArray(R"({"code": 1, "message": "mobile not exist"})")
            << QStringList{u"该手机号不存在"_s};
        QTest::newRow("wrong password")
            << QByteArray(R"({"code": 1, "message": "password is error"})")
            << QStringList{u"密码错误，请重新输入"_s};
        QTest::newRow("other message") << QByteArray(R"({"code": 7, "message": "账号已过期"})")
                                       << QStringList{u"账号已过期"_s};
        QTest::newRow("no message, no toast") << QByteArray(R"({"code": 7})") << QStringList();
        QTest::newRow("not an envelope")
            << QByteArray("<html></html>") << QStringList{u"请求服务器失败"_s};
    }

    void refusalsShowTheCustomersWords()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, toasts);
        LocalState::shared().setPhoneNum(u"13900000000"_s);
        LocalState::shared().setPwdNum(u"earlier"_s);
        m_service->loginReply = reply;
        type(u"13800000000"_s, u"pw"_s);
        QTest::mouseClick(m_screen->outlet<QPushButton>(u"loginBtn"_s), Qt::LeftButton);
        // Count the failures the screen hears, to know when the answer has been handled.
        int failures = 0;
        SCLoginClient &client = m_screen->client();
        client.failureBlock = [&failures, screenFailed = client.failureBlock](const SCNetError &e) {
            ++failures;
            screenFailed(e);
        };
        QTRY_COMPARE(failures, 1);
        QCOMPARE(toastTexts(m_screen.get()), toasts);
        QVERIFY(!m_screen->presentedViewController());
        QCOMPARE(LocalState::shared().phoneNum(), u"13900000000"_s);
        QCOMPARE(SettingsStore::shared().string(LocalState::kPwdNumKey), u"earlier"_s);
        QVERIFY(!currentOrderContent());
    }

    void everyTapSendsItsOwnRequest()
    {
        m_service->loginReply = R"({"code": 1, "message": "password is error"})";
        type(u"13800000000"_s, u"pw"_s);
        QTest::mouseClick(m_screen->outlet<QPushButton>(u"loginBtn"_s), Qt::LeftButton);
        QTest::mouseClick(m_screen->outlet<QPushButton>(u"loginBtn"_s), Qt::LeftButton);
        QTRY_COMPARE(m_service->loginBodies.size(), 2);
        QVERIFY(m_screen->outlet<QPushButton>(u"loginBtn"_s)->isEnabled());
    }

    // Two taps with different passwords, both out at once: the button is busy until both are
    // answered, and only the password the service accepted is stored.
    void theRequestThatSucceededIsStored()
    {
        const auto encoded = [](const QString &password) {
            return std::get<LoginRequest>(LoginForm::check(u"13800000000"_s, password))
                .encodedPassword;
        };
        m_service->loginReply = R"({"code": 1, "message": "password is error"})";
        m_service->loginReplyFor.insert(encoded(u"right"_s), kOrders);
        QPushButton *button = m_screen->outlet<QPushButton>(u"loginBtn"_s);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(button);
        QVERIFY(!accessible->state().busy);
        type(u"13800000000"_s, u"right"_s);
        QTest::mouseClick(button, Qt::LeftButton);
        type(u"13800000000"_s, u"wrong"_s);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(accessible->state().busy);
        QVERIFY(accessible->actionInterface()->actionNames().contains(
            QAccessibleActionInterface::pressAction()));
        QTRY_VERIFY(!accessible->state().busy);
        QCOMPARE(m_service->loginBodies.size(), 2);
        QTRY_VERIFY(m_screen->presentedViewController());
        settle();
        QCOMPARE(SettingsStore::shared().string(LocalState::kPwdNumKey), u"right"_s);
    }

    void returnInThePasswordFieldSignsIn()
    {
        type(u"13800000000"_s, u"pw"_s);
        QApplication::setActiveWindow(m_screen.get());
        m_screen->outlet<QLineEdit>(u"phoneTF"_s)->setFocus();
        QTest::keyClick(m_screen->outlet<QLineEdit>(u"phoneTF"_s), Qt::Key_Return);
        QVERIFY(m_screen->outlet<QLineEdit>(u"pwdTF"_s)->hasFocus());
        QVERIFY(m_service->loginBodies.isEmpty());
        QTest::keyClick(m_screen->outlet<QLineEdit>(u"pwdTF"_s), Qt::Key_Return);
        QTRY_COMPARE(m_service->loginBodies.size(), 1);
    }

    void inputsArePrefilledAfterARestart()
    {
        QCOMPARE(m_screen->outlet<QLineEdit>(u"phoneTF"_s)->text(), QString());
        QCOMPARE(m_screen->outlet<QLineEdit>(u"pwdTF"_s)->text(), QString());
        m_service->loginReply = kOrders;
        type(u" 13800000000"_s, u"secret "_s);
        tapAndSettle();
        QTRY_VERIFY(m_screen->presentedViewController());
        m_screen.reset();
        m_clock->advance(1s);

        m_screen = showScreen();
        QCOMPARE(m_screen->outlet<QLineEdit>(u"phoneTF"_s)->text(), u"13800000000"_s);
        QCOMPARE(m_screen->outlet<QLineEdit>(u"pwdTF"_s)->text(), u"secret"_s);
    }

    void aStoredValueThatIsNotTextIsIgnored()
    {
        m_screen.reset();
        SettingsStore::shared().setObject(13800000000.0, LocalState::kPhoneNumKey);
        SettingsStore::shared().setObject(u"kept"_s, LocalState::kPwdNumKey);
        m_screen = showScreen();
        QCOMPARE(m_screen->outlet<QLineEdit>(u"phoneTF"_s)->text(), QString());
        QCOMPARE(m_screen->outlet<QLineEdit>(u"pwdTF"_s)->text(), u"kept"_s);
    }

    void keyboardAlone()
    {
        QCOMPARE(unnamedControls(m_screen.get()), QStringList());
        type(u"13800000000"_s, u"pw"_s);
        QApplication::setActiveWindow(m_screen.get());
        m_screen->outlet<QLineEdit>(u"phoneTF"_s)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), m_screen->outlet<QLineEdit>(u"pwdTF"_s).data());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), m_screen->outlet<QPushButton>(u"loginBtn"_s).data());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QTRY_COMPARE(m_service->loginBodies.size(), 1);
    }
};

QTEST_MAIN(TestLoginViewController)
#include "tst_loginviewcontroller.moc"
