#include "platform/scheduling/ManualClock.h"
#include "support/Flush.h"
#include "ui/toolkit/ActionSheet.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace corvane;
using namespace std::chrono_literals;

namespace {
constexpr auto kLongEnough = 1s;
} // namespace

class TestActionSheet final : public QObject
{
    Q_OBJECT

private:
    // A sheet with "none", "24 hours" and a cancel action "取消", each recording its name.
    QPointer<ActionSheet> presentSheet(QWidget *host, QStringList *calls, bool withCancel = true)
    {
        auto *sheet = new ActionSheet(QStringLiteral("去重设置"), QString());
        for (const QString &title : {QStringLiteral("不去重"), QStringLiteral("24小时")})
            sheet->addAction(
                {title, AlertAction::Style::Default, [calls, title] { calls->append(title); }});
        if (withCancel) {
            sheet->addAction({QStringLiteral("取消"), AlertAction::Style::Cancel,
                              [calls] { calls->append(QStringLiteral("取消")); }});
        }
        sheet->present(host, true);
        return sheet;
    }

private Q_SLOTS:
    void handlerRunsOnceAfterTheSheetLeaves_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("click") << QStringLiteral("click 1") << QStringLiteral("24小时");
        QTest::newRow("return on first") << QStringLiteral("return") << QStringLiteral("不去重");
        QTest::newRow("down, return") << QStringLiteral("down return") << QStringLiteral("24小时");
        QTest::newRow("up wraps to cancel")
            << QStringLiteral("up return") << QStringLiteral("取消");
        QTest::newRow("escape") << QStringLiteral("escape") << QStringLiteral("取消");
        QTest::newRow("click beside") << QStringLiteral("beside") << QStringLiteral("取消");
    }

    void handlerRunsOnceAfterTheSheetLeaves()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        ManualClock clock;
        QWidget host;
        host.resize(375, 812);
        // Two controls, the sheet opened from the second: hiding the sheet alone would hand the
        // keyboard to the first.
        QPushButton first(QStringLiteral("first"), &host);
        QPushButton opener(QStringLiteral("opener"), &host);
        opener.move(0, 50);
        host.show();
        opener.setFocus();
        QStringList calls;
        QPointer<ActionSheet> sheet = presentSheet(&host, &calls);
        clock.advance(kLongEnough);
        QVERIFY(sheet->isVisible());
        QCOMPARE(sheet->geometry(), host.rect());

        QWidget *focused = sheet->focusWidget();
        QVERIFY(focused);
        if (input == QLatin1String("click 1")) {
            QTest::mouseClick(sheet->buttonForAction(1), Qt::LeftButton);
        } else if (input == QLatin1String("escape")) {
            QTest::keyClick(focused, Qt::Key_Escape);
        } else if (input == QLatin1String("beside")) {
            QTest::mouseClick(sheet, Qt::LeftButton, {}, QPoint(100, 50));
        } else {
            for (const QString &key : input.split(QLatin1Char(' '))) {
                const Qt::Key code = key == QLatin1String("down") ? Qt::Key_Down
                                     : key == QLatin1String("up") ? Qt::Key_Up
                                                                  : Qt::Key_Return;
                QTest::keyClick(sheet->focusWidget(), code);
            }
        }
        QVERIFY(calls.isEmpty());
        clock.advance(kLongEnough);
        QCOMPARE(calls, QStringList{expected});
        QCOMPARE(host.focusWidget(), &opener);
        // Further input after the choice changes nothing.
        if (sheet)
            sheet->choose(0);
        clock.advance(kLongEnough);
        QCOMPARE(calls, QStringList{expected});
        test::flushDeletes();
        QVERIFY(!sheet);
    }

    void withoutCancelEscapeKeepsTheSheet()
    {
        ManualClock clock;
        QWidget host;
        host.resize(375, 812);
        host.show();
        QStringList calls;
        QPointer<ActionSheet> sheet = presentSheet(&host, &calls, false);
        clock.advance(kLongEnough);
        QTest::keyClick(sheet->focusWidget(), Qt::Key_Escape);
        clock.advance(kLongEnough);
        test::flushDeletes();
        QVERIFY(sheet);
        QVERIFY(calls.isEmpty());
    }

    void captionsOnlyWhenGiven_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("captions");
        QTest::newRow("none") << QString() << QString() << QStringList{};
        QTest::newRow("title") << QStringLiteral("去重设置") << QString()
                               << QStringList{QStringLiteral("去重设置")};
        QTest::newRow("both") << QStringLiteral("标题") << QStringLiteral("说明")
                              << QStringList{QStringLiteral("标题"), QStringLiteral("说明")};
    }

    void captionsOnlyWhenGiven()
    {
        QFETCH(QString, title);
        QFETCH(QString, message);
        QFETCH(QStringList, captions);
        QWidget host;
        host.resize(375, 812);
        host.show();
        auto *sheet = new ActionSheet(title, message);
        sheet->addAction({QStringLiteral("取消"), AlertAction::Style::Cancel, {}});
        sheet->present(&host, false);
        QStringList shown;
        for (const QLabel *label : sheet->findChildren<QLabel *>())
            shown.append(label->text());
        QCOMPARE(shown, captions);
        // The sheet sits at the bottom of the window, inside it.
        QVERIFY(sheet->buttonForAction(0)->mapTo(&host, QPoint()).y() > 812 / 2);
    }
};

QTEST_MAIN(TestActionSheet)
#include "tst_actionsheet.moc"
