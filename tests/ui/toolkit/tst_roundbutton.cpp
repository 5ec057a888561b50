#include "ui/toolkit/RoundButton.h"

#include <QTest>
#include <functional>

using namespace corvane;

namespace {

RoundButton *makeButton(QWidget *parent)
{
    auto *button = new RoundButton(parent);
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: #0E7EF5; color: white; "
                                         "border: none; border-radius: 50px; }"
                                         "QPushButton:pressed { background-color: #0B63C2; }"
                                         "QPushButton:disabled { color: gray; }"));
    button->setText(QStringLiteral("连接"));
    button->setGeometry(10, 10, 100, 100);
    button->show();
    return button;
}

} // namespace

// The button keeps its picture between repaints; whatever changes its look must show.
class TestRoundButton final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void showsEveryChangeOfItsLook_data()
    {
        QTest::addColumn<std::function<void(RoundButton *)>>("change");
        QTest::newRow("text") << std::function(
            [](RoundButton *b) { b->setText(QStringLiteral("断开")); });
        QTest::newRow("style sheet") << std::function([](RoundButton *b) {
            b->setStyleSheet(QStringLiteral("QPushButton { background-color: #D0021B; "
                                            "color: white; border-radius: 50px; }"));
        });
        QTest::newRow("font") << std::function([](RoundButton *b) {
            QFont font = b->font();
            font.setPixelSize(30);
            b->setFont(font);
        });
        QTest::newRow("pressed") << std::function([](RoundButton *b) { b->setDown(true); });
        QTest::newRow("disabled") << std::function([](RoundButton *b) { b->setEnabled(false); });
        QTest::newRow("focus") << std::function([](RoundButton *b) { b->setFocus(); });
        QTest::newRow("size") << std::function([](RoundButton *b) { b->resize(90, 90); });
    }

    void showsEveryChangeOfItsLook()
    {
        QFETCH(std::function<void(RoundButton *)>, change);
        QWidget window;
        window.resize(240, 120);
        RoundButton *changed = makeButton(&window);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        // The window holds the focus, so only the focus row gives the button its ring.
        window.setFocusPolicy(Qt::StrongFocus);
        window.setFocus();
        const QImage before = changed->grab().toImage();
        change(changed);
        const QImage after = changed->grab().toImage();
        QVERIFY(after != before);

        // Drawn for the first time in the changed state, a new button looks the same.
        RoundButton *fresh = makeButton(&window);
        change(fresh);
        QCOMPARE(after, fresh->grab().toImage());
    }
};

QTEST_MAIN(TestRoundButton)
#include "tst_roundbutton.moc"
