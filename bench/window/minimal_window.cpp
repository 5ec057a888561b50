// corvane-minimal-window: the yardstick Corvane's start-up and idle costs are compared with, the
// least a Qt Widgets sign-in form needs: two line edits, a button and a label in a window of
// Corvane's size.
//
// With --corvane-texts the title, button and label show the quick connect screen's Chinese texts
// in its three fonts, which tells what that look costs plain Qt before any Corvane code runs.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

namespace {
QFont sized(const QFont &base, int points, bool bold)
{
    QFont font = base;
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const bool corvaneTexts = QApplication::arguments().contains(QStringLiteral("--corvane-texts"));
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal"));
    auto *layout = new QVBoxLayout(&window);
    auto *mobile = new QLineEdit(&window);
    mobile->setPlaceholderText(QStringLiteral("Mobile"));
    auto *password = new QLineEdit(&window);
    password->setEchoMode(QLineEdit::Password);
    password->setPlaceholderText(QStringLiteral("Password"));
    auto *signIn = new QPushButton(QStringLiteral("Sign in"), &window);
    auto *status = new QLabel(QStringLiteral("Not signed in"), &window);
    if (corvaneTexts) {
        auto *title = new QLabel(QStringLiteral("快速连接"), &window);
        title->setFont(sized(window.font(), 17, true));
        layout->addWidget(title);
        signIn->setText(QStringLiteral("连接"));
        signIn->setFont(sized(window.font(), 22, true));
        status->setText(QStringLiteral("未连接"));
        status->setFont(sized(window.font(), 20, false));
    }
    layout->addWidget(mobile);
    layout->addWidget(password);
    layout->addWidget(signIn);
    layout->addWidget(status);
    layout->addStretch();
    window.resize(375, 812);
    window.show();
    return QApplication::exec();
}
