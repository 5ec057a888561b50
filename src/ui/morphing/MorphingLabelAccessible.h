#pragma once

#include <QAccessibleWidget>

namespace corvane {

class MorphingLabel;

// What assistive technology sees of a morphing label: a static text whose name and text are the
// label's current text, the one it is morphing towards. Qt finds it through the factory that
// install() registers.
class MorphingLabelAccessible final : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit MorphingLabelAccessible(MorphingLabel *label);

    // Registers the factory once per process; safe to call again.
    static void install();

    QString text(QAccessible::Text t) const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

private:
    MorphingLabel *label() const;
};

} // namespace corvane
