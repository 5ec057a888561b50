#include "core/login/LoginForm.h"

#include <QTest>

using namespace corvane;
using namespace Qt::StringLiterals;

class TestLoginForm final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void checksInOrder_data()
    {
        QTest::addColumn<QString>("mobile");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing typed") << QString() << QString() << u"请输入手机号码"_s;
        QTest::newRow("three spaces count as typed")
            << u"   "_s << u"pw"_s << u"请输入正确手机号码（11位数字）"_s;
        QTest::newRow("ten digits")
            << u"1380000000"_s << u"pw"_s << u"请输入正确手机号码（11位数字）"_s;
        QTest::newRow("twelve digits")
            << u"138000000001"_s << u"pw"_s << u"请输入正确手机号码（11位数字）"_s;
        QTest::newRow("inner space is kept and counted")
            << u"138 00000000"_s << u"pw"_s << u"请输入正确手机号码（11位数字）"_s;
        QTest::newRow("mobile checked before password")
            << u"123"_s << QString() << u"请输入正确手机号码（11位数字）"_s;
        QTest::newRow("no password") << u"13800000000"_s << QString() << u"请输入密码"_s;
        QTest::newRow("password too long to encode")
            << u"13800000000"_s << QString(1024, u'p') << u"密码过长，请输入较短的密码"_s;
        QTest::newRow("too long in UTF-8 bytes")
            << u"13800000000"_s << QString(342, u'密') << u"密码过长，请输入较短的密码"_s;
    }

    void checksInOrder()
    {
        QFETCH(QString, mobile);
        QFETCH(QString, password);
        QFETCH(QString, message);
        const auto checked = LoginForm::check(mobile, password);
        QVERIFY(std::holds_alternative<QString>(checked));
        QCOMPARE(std::get<QString>(checked), message);
    }

    void whatPassesIsTrimmedAndEncoded_data()
    {
        QTest::addColumn<QString>("mobile");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("sentMobile");
        QTest::addColumn<QString>("sentPassword");
        QTest::addColumn<QString>("encoded");
        QTest::newRow("spaces and tabs at the ends")
            << u" \t13800000000 "_s << u" pa ss\t"_s << u"13800000000"_s << u"pa ss"_s
            << u"0961ddcae647360e"_s;
        QTest::newRow("full-width and no-break spaces")
            << u"13800000000\u3000"_s << u"\u00A0pa ss\u3000"_s << u"13800000000"_s << u"pa ss"_s
            << u"0961ddcae647360e"_s;
        QTest::newRow("eleven letters pass") << u"abcdefghijk"_s << u"pa ss"_s << u"abcdefghijk"_s
                                             << u"pa ss"_s << u"0961ddcae647360e"_s;
        QTest::newRow("eleven user-perceived characters")
            << u"1380000000\U0001F600"_s << u"pa ss"_s << u"1380000000\U0001F600"_s << u"pa ss"_s
            << u"0961ddcae647360e"_s;
        QTest::newRow("a password of spaces sends the empty text encoded")
            << u"13800000000"_s << u"   "_s << u"13800000000"_s << QString()
            << u"672d9ba2680911ad"_s;
    }

    void whatPassesIsTrimmedAndEncoded()
    {
        QFETCH(QString, mobile);
        QFETCH(QString, password);
        QFETCH(QString, sentMobile);
        QFETCH(QString, sentPassword);
        QFETCH(QString, encoded);
        const auto checked = LoginForm::check(mobile, password);
        QVERIFY(std::holds_alternative<LoginRequest>(checked));
        const LoginRequest &request = std::get<LoginRequest>(checked);
        QCOMPARE(request.mobile, sentMobile);
        QCOMPARE(request.password, sentPassword);
        QCOMPARE(request.encodedPassword, encoded);
    }

    void refusalsInTheCustomersWords_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("shown");
        QTest::newRow("unknown mobile") << u"mobile not exist"_s << u"该手机号不存在"_s;
        QTest::newRow("wrong password") << u"password is error"_s << u"密码错误，请重新输入"_s;
        QTest::newRow("only exact matches") << u"Password is error"_s << u"Password is error"_s;
        QTest::newRow("others pass as they come") << u"账号已冻结"_s << u"账号已冻结"_s;
    }

    void refusalsInTheCustomersWords()
    {
        QFETCH(QString, service);
        QFETCH(QString, shown);
        QCOMPARE(LoginForm::userMessage(service), shown);
    }
};

QTEST_GUILESS_MAIN(TestLoginForm)
#include "tst_loginform.moc"
