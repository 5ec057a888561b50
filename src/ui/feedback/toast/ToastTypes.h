#pragma once

#include <functional>

namespace corvane {

enum class ToastPosition
{
    top,
    center,
    bottom
};

enum class ToastError
{
    // Message, title and image were all absent.
    missingParameters,
};

// The image of a helper toast: a tick or a cross; no kind means no image.
enum class SCToastKind
{
    success,
    failure
};

// Receives true when the toast was dismissed by a tap, false when its time ran out or it was
// hidden by code.
using ToastCompletion = std::function<void(bool didTap)>;

} // namespace corvane
