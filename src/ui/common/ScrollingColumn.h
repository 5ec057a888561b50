#pragma once

class QAbstractScrollArea;
class QScrollArea;
class QWidget;

namespace corvane {

// Fits a screen's content to any window: the content scrolls when the window is shorter than
// it, and stays a centred column of readable width when the window is wider.
class ScrollingColumn final
{
public:
    ScrollingColumn() = delete;

    // The widest a column of rows and buttons gets.
    static constexpr int kMaxWidth = 480;

    // Puts `content`, an item of its parent's layout, into a vertical scroll area in its
    // place, centred and at most `maxWidth` wide. Returns the scroll area.
    static QScrollArea *wrap(QWidget *content, int maxWidth = kMaxWidth);
    // A slim rounded scroll bar in the rows' grey, for every list of the screens.
    static void styleScrollBar(QAbstractScrollArea *area);
};

} // namespace corvane
