#pragma once

#include "ui/gallery/GalleryPage.h"

#include <QList>
#include <QWidget>

class QListWidget;
class QStackedWidget;

namespace corvane {

// A window of the layouts' design size (375 x 812) that shows one component page at a time. It
// opens on the index of pages; PageDown and PageUp step through them and Escape goes back to the
// index.
class GalleryWidget final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GalleryWidget)

public:
    static constexpr QSize kDesignSize{375, 812};

    explicit GalleryWidget(QWidget *parent = nullptr);
    explicit GalleryWidget(const QList<GalleryPage> &pages, QWidget *parent = nullptr);
    ~GalleryWidget() override;

    void setPages(const QList<GalleryPage> &pages);
    qsizetype pageCount() const { return m_pages.size(); }
    QString pageTitle(qsizetype index) const;
    // Builds the page on first use; -1 shows the index.
    void showPage(qsizetype index);
    qsizetype currentPage() const { return m_current; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QList<GalleryPage> m_pages;
    QList<QWidget *> m_built;
    QStackedWidget *m_stack;
    QListWidget *m_index;
    qsizetype m_current = -1;
};

} // namespace corvane
