#pragma once

class QWidget;

namespace corvane {

// Integer view tags, kept as the dynamic property "viewTag", so any widget can carry one and be
// found again anywhere in a hierarchy.
void setViewTag(QWidget *view, int tag);
int viewTag(const QWidget *view);
// Depth-first search of `root` and its descendants; `root` itself is checked first.
QWidget *findViewWithTag(QWidget *root, int tag);

} // namespace corvane
