#pragma once

#include "ui/feedback/toast/ToastTypes.h"

#include <QString>
#include <optional>

class QWidget;

namespace corvane {

// The one toast call of the screens: shows `message` (with a tick or a cross for `kind`) in the
// middle of `view` for ToastManager's duration, hides `view`'s activity toast, and removes a
// loading placeholder under `view` one second later.
void sc_showToast(QWidget *view, const std::optional<QString> &message,
                  std::optional<SCToastKind> kind = std::nullopt);

} // namespace corvane
