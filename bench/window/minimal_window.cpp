// corvane-minimal-window: the yardstick Corvane's start-up and idle costs are compared with, the
// least a Qt Widgets sign-in form needs: two line edits, a button and a label in a phone-sized
// window.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
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
    layout->addWidget(mobile);
    layout->addWidget(password);
    layout->addWidget(signIn);
    layout->addWidget(status);
    layout->addStretch();
    window.resize(375, 812);
    window.show();
    return QApplication::exec();
}
