#include "ui/gallery/GalleryControlsViewController.h"

#include "platform/scheduling/Scheduler.h"
#include "ui/gallery/GalleryButtonStyle.h"
#include "ui/toolkit/LayoutConstraint.h"
#include "ui/toolkit/UserInteraction.h"
#include "ui/toolkit/ViewAnimation.h"

#include "ui_GalleryControlsViewController.h"

using namespace std::chrono_literals;

namespace corvane {

GalleryControlsViewController::GalleryControlsViewController(QWidget *parent)
    : SCBaseViewController(parent)
{
    setTitle(QStringLiteral("控件"));
}

GalleryControlsViewController::~GalleryControlsViewController() = default;

void GalleryControlsViewController::viewDidLoad()
{
    SCBaseViewController::viewDidLoad();
    m_ui = std::make_unique<Ui::GalleryControlsViewController>();
    m_ui->setupUi(this);
    m_ipLbl = outlet<QLabel>(QStringLiteral("IPLbl"));
    m_addressLbl = outlet<QLabel>(QStringLiteral("addressLbl"));
    m_connectBtn = outlet<QPushButton>(QStringLiteral("connectBtn"));
    if (auto area = outlet<QWidget>(QStringLiteral("ipArea")))
        m_ipTop = new LayoutConstraint(area, LayoutConstraint::Attribute::TopMargin, this);
    if (auto change = outlet<QPushButton>(QStringLiteral("changeIPBtn"))) {
        applyGalleryButtonStyle(change, 44);
        connect(change, &QPushButton::clicked, this, &GalleryControlsViewController::toggleAddress);
    }
    if (m_connectBtn) {
        applyGalleryButtonStyle(m_connectBtn, 44);
        connect(m_connectBtn, &QPushButton::clicked, this,
                &GalleryControlsViewController::connectTapped);
    }
}

void GalleryControlsViewController::toggleAddress()
{
    m_addressShown = !m_addressShown;
    const double shown = m_addressShown ? 1.0 : 0.0;
    ViewAnimation::animate(0.5, [this, shown] {
        for (QLabel *label : {m_ipLbl.data(), m_addressLbl.data()}) {
            if (label)
                setAlpha(label, shown);
        }
        if (m_ipTop)
            m_ipTop->setConstant(m_addressShown ? 50 : 0);
    });
}

void GalleryControlsViewController::connectTapped()
{
    m_connectBtn->setText(QStringLiteral("连接中..."));
    setUserInteractionEnabled(m_connectBtn, false);
    const QPointer<GalleryControlsViewController> self(this);
    delay(1s, this, [self] {
        if (!self || !self->m_connectBtn)
            return;
        self->m_connectBtn->setText(QStringLiteral("连接"));
        setUserInteractionEnabled(self->m_connectBtn, true);
    });
}

} // namespace corvane
