#pragma once

#include <QAccessible>
#include <QString>
#include <functional>

namespace corvane {

// Finds and works the controls of the application's windows through their accessibility
// interfaces, as a screen-reader user does: by role and spoken name, pressing, typing and
// reading on. Only what is showing counts.
class ScreenReader final
{
public:
    using NameMatch = std::function<bool(const QString &name)>;

    // The first showing control of `role` whose name matches; null when there is none.
    static QAccessibleInterface *find(QAccessible::Role role, const NameMatch &matches);
    static QAccessibleInterface *find(QAccessible::Role role, const QString &name);

    // Presses a button or picks a list item; false when the control offers neither.
    static bool press(QAccessibleInterface *control);
    // Replaces the text of an editable field.
    static void type(QAccessibleInterface *field, const QString &text);
    static QString name(QAccessibleInterface *control);
    // The next showing control of `role` after `control` among its siblings, as a screen reader
    // reads on; null when there is none.
    static QAccessibleInterface *next(QAccessibleInterface *control, QAccessible::Role role);
};

} // namespace corvane
