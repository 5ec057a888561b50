#pragma once

#include <QString>
#include <functional>

namespace corvane {

// One choice of an action sheet; the handler runs after the sheet has gone.
struct AlertAction
{
    enum class Style
    {
        Default,
        Cancel,
        Destructive
    };

    QString title;
    Style style = Style::Default;
    std::function<void()> handler;
};

} // namespace corvane
