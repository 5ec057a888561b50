#pragma once

#include "ui/shell/SCBaseViewController.h"

#include <QPointer>
#include <memory>

class QLabel;
class QPushButton;

namespace Ui {
class GalleryControlsViewController;
}

namespace corvane {

class LayoutConstraint;

// The controls page of the gallery, laid out in Designer: text fields, a switch, a button
// that goes busy for a second, and an address area that fades and slides with its constraint.
class GalleryControlsViewController final : public SCBaseViewController
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GalleryControlsViewController)

public:
    explicit GalleryControlsViewController(QWidget *parent = nullptr);
    ~GalleryControlsViewController() override;

protected:
    void viewDidLoad() override;

private:
    void toggleAddress();
    void connectTapped();

    std::unique_ptr<Ui::GalleryControlsViewController> m_ui;
    QPointer<QLabel> m_ipLbl;
    QPointer<QLabel> m_addressLbl;
    QPointer<QPushButton> m_connectBtn;
    LayoutConstraint *m_ipTop = nullptr;
    bool m_addressShown = true;
};

} // namespace corvane
