#include "ui/morphing/MorphingLabelAccessible.h"

#include "ui/morphing/CharacterDiff.h"
#include "ui/morphing/MorphingLabel.h"

namespace corvane {

namespace {

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    if (className == QLatin1String(MorphingLabel::staticMetaObject.className()) &&
        object->isWidgetType())
        return new MorphingLabelAccessible(static_cast<MorphingLabel *>(object));
    return nullptr;
}

} // namespace

MorphingLabelAccessible::MorphingLabelAccessible(MorphingLabel *label)
    : QAccessibleWidget(label, QAccessible::StaticText)
{}

void MorphingLabelAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(&factory);
        return true;
    }();
    Q_UNUSED(installed)
}

MorphingLabel *MorphingLabelAccessible::label() const
{
    return static_cast<MorphingLabel *>(widget());
}

QString MorphingLabelAccessible::text(QAccessible::Text t) const
{
    // A name given on purpose wins; otherwise the label is read by what it says.
    if (t == QAccessible::Name && label()->accessibleName().isEmpty())
        return label()->text();
    return QAccessibleWidget::text(t);
}

void *MorphingLabelAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

void MorphingLabelAccessible::selection(int, int *startOffset, int *endOffset) const
{
    *startOffset = 0;
    *endOffset = 0;
}

QString MorphingLabelAccessible::text(int startOffset, int endOffset) const
{
    return label()->text().mid(startOffset, endOffset - startOffset);
}

int MorphingLabelAccessible::characterCount() const
{
    return static_cast<int>(label()->text().size());
}

QRect MorphingLabelAccessible::characterRect(int offset) const
{
    // Offsets count code units; the label lays out whole user-perceived characters.
    const QList<QRectF> &rects = label()->newRects();
    int start = 0;
    int index = 0;
    for (const QString &character : characters(label()->text())) {
        const int end = start + static_cast<int>(character.size());
        if (offset >= start && offset < end && index < rects.size()) {
            const QRect rect = rects.at(index).toAlignedRect();
            return QRect(label()->mapToGlobal(rect.topLeft()), rect.size());
        }
        start = end;
        ++index;
    }
    return {};
}

int MorphingLabelAccessible::offsetAtPoint(const QPoint &point) const
{
    const QPointF local = label()->mapFromGlobal(point);
    const QList<QRectF> &rects = label()->newRects();
    int start = 0;
    int index = 0;
    for (const QString &character : characters(label()->text())) {
        if (index < rects.size() && rects.at(index).contains(local))
            return start;
        start += static_cast<int>(character.size());
        ++index;
    }
    return -1;
}

QString MorphingLabelAccessible::attributes(int, int *startOffset, int *endOffset) const
{
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

} // namespace corvane
