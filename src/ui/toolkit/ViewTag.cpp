#include "ui/toolkit/ViewTag.h"

#include <QVariant>
#include <QWidget>

namespace corvane {

namespace {
constexpr const char *tagProperty = "viewTag";
} // namespace

void setViewTag(QWidget *view, int tag)
{
    view->setProperty(tagProperty, tag);
}

int viewTag(const QWidget *view)
{
    return view->property(tagProperty).toInt();
}

QWidget *findViewWithTag(QWidget *root, int tag)
{
    if (!root)
        return nullptr;
    if (viewTag(root) == tag)
        return root;
    for (QObject *child : root->children()) {
        if (auto *widget = qobject_cast<QWidget *>(child)) {
            if (QWidget *found = findViewWithTag(widget, tag))
                return found;
        }
    }
    return nullptr;
}

} // namespace corvane
