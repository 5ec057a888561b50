#pragma once

#include "ui/feedback/toast/ToastStyle.h"
#include "ui/feedback/toast/ToastTypes.h"

#include <QPixmap>
#include <QString>
#include <optional>
#include <variant>

class QWidget;

namespace corvane {

// Builds toast bubbles and activity overlays for a host view; they are created as hidden
// children of the host and shown by ToastHost.
namespace ToastBuilder {

// A bubble with the given parts; a null image means none. Fails only when all three are absent.
std::variant<QWidget *, ToastError> toastView(QWidget *host, const std::optional<QString> &message,
                                              const std::optional<QString> &title,
                                              const QPixmap &image, const ToastStyle &style);

// A host-sized transparent overlay holding a rounded box with a spinning indicator and, when
// given, a message under it.
QWidget *activityView(QWidget *host, const std::optional<QString> &message,
                      const ToastStyle &style);

} // namespace ToastBuilder

} // namespace corvane
