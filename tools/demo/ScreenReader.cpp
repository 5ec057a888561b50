#include "ScreenReader.h"

#include <QApplication>
#include <QWidget>

namespace corvane {

namespace {

// A list's items count although scrolled out of view, as a screen reader lists them all.
bool showing(QAccessibleInterface *control)
{
    return control->role() == QAccessible::ListItem || !control->state().invisible;
}

QAccessibleInterface *search(QAccessibleInterface *node, QAccessible::Role role,
                             const ScreenReader::NameMatch &matches)
{
    if (!node || !showing(node))
        return nullptr;
    if (node->role() == role && matches(node->text(QAccessible::Name)))
        return node;
    for (int i = 0; i < node->childCount(); ++i) {
        if (QAccessibleInterface *found = search(node->child(i), role, matches))
            return found;
    }
    return nullptr;
}

} // namespace

QAccessibleInterface *ScreenReader::find(QAccessible::Role role, const NameMatch &matches)
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        if (QAccessibleInterface *found =
                search(QAccessible::queryAccessibleInterface(window), role, matches))
            return found;
    }
    return nullptr;
}

QAccessibleInterface *ScreenReader::find(QAccessible::Role role, const QString &name)
{
    return find(role, [&name](const QString &candidate) { return candidate == name; });
}

bool ScreenReader::press(QAccessibleInterface *control)
{
    QAccessibleActionInterface *actions = control ? control->actionInterface() : nullptr;
    if (!actions)
        return false;
    const QStringList offered = actions->actionNames();
    for (const QString &action :
         {QAccessibleActionInterface::pressAction(), QAccessibleActionInterface::toggleAction()}) {
        if (offered.contains(action)) {
            actions->doAction(action);
            return true;
        }
    }
    return false;
}

void ScreenReader::type(QAccessibleInterface *field, const QString &text)
{
    field->setText(QAccessible::Value, text);
}

QString ScreenReader::name(QAccessibleInterface *control)
{
    return control ? control->text(QAccessible::Name) : QString();
}

QAccessibleInterface *ScreenReader::next(QAccessibleInterface *control, QAccessible::Role role)
{
    QAccessibleInterface *parent = control ? control->parent() : nullptr;
    if (!parent)
        return nullptr;
    for (int i = parent->indexOfChild(control) + 1; i < parent->childCount(); ++i) {
        QAccessibleInterface *sibling = parent->child(i);
        if (sibling && sibling->role() == role && showing(sibling))
            return sibling;
    }
    return nullptr;
}

} // namespace corvane
