#pragma once

#include <QString>
#include <variant>

namespace corvane {

// What the sign-in sends once the typed texts pass the checks.
struct LoginRequest
{
    // Trimmed, as sent and as stored after a success.
    QString mobile;
    QString password;
    // The trimmed password DES-encoded for the wire.
    QString encodedPassword;
};

// The sign-in form's checks, in the order the customer meets them, and the texts shown for the
// service's refusals.
class LoginForm final
{
public:
    LoginForm() = delete;

    static constexpr int kMobileLength = 11;

    // The request for these typed texts, or the message that says why there is none.
    static std::variant<LoginRequest, QString> check(const QString &typedMobile,
                                                     const QString &typedPassword);
    // The service's refusal in the customer's words; unknown messages pass unchanged.
    static QString userMessage(const QString &serviceMessage);
};

} // namespace corvane
