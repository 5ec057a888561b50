#include "ui/gallery/FeedbackGalleryPages.h"

#include "ui/common/Helpers.h"
#include "ui/feedback/decoration/ViewDecoration.h"
#include "ui/feedback/placeholder/SCEmptyView.h"
#include "ui/feedback/placeholder/SCErrorView.h"
#include "ui/feedback/placeholder/SCLoadingView.h"
#include "ui/feedback/pulse/PulseView.h"
#include "ui/feedback/refresh/SCRefreshFooter.h"
#include "ui/feedback/refresh/SCRefreshHeader.h"
#include "ui/feedback/toast/ShowToast.h"
#include "ui/feedback/toast/ToastHost.h"
#include "ui/feedback/toast/ToastManager.h"
#include "ui/feedback/views/ImageView.h"
#include "ui/gallery/GalleryButtonStyle.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {

namespace {

QWidget *makePage(QWidget *parent)
{
    auto *page = new QWidget(parent);
    QPalette palette = page->palette();
    palette.setColor(QPalette::Window, kBackgroundGrayColor());
    page->setPalette(palette);
    page->setAutoFillBackground(true);
    return page;
}

QPushButton *addButton(QWidget *page, const QString &name, const QString &text, QRect frame)
{
    auto *button = new QPushButton(text, page);
    button->setObjectName(name);
    applyGalleryButtonStyle(button, frame.height());
    button->setGeometry(frame);
    return button;
}

QWidget *toastPage(QWidget *parent)
{
    QWidget *page = makePage(parent);
    struct Entry
    {
        const char *name;
        QString text;
        std::function<void(QWidget *)> show;
    };
    const ToastManager &manager = ToastManager::shared();
    const auto at = [&manager](ToastPosition position, const QString &message) {
        return [&manager, position, message](QWidget *host) {
            ToastHost::of(host)->makeToast(message, manager.duration, position, std::nullopt,
                                           QPixmap(), manager.style);
        };
    };
    const QList<Entry> entries{
        {"toast-top", QStringLiteral("顶部"), at(ToastPosition::top, QStringLiteral("顶部提示"))},
        {"toast-center", QStringLiteral("中间"),
         at(ToastPosition::center, QStringLiteral("请选择订单"))},
        {"toast-bottom", QStringLiteral("底部"),
         at(ToastPosition::bottom, QStringLiteral("网络连接失败，请稍后再试"))},
        {"toast-success", QStringLiteral("成功"),
         [](QWidget *host) {
             sc_showToast(host, QStringLiteral("登录成功"), SCToastKind::success);
         }},
        {"toast-failure", QStringLiteral("失败"),
         [](QWidget *host) {
             sc_showToast(host, QStringLiteral("登录失败"), SCToastKind::failure);
         }},
        {"toast-activity", QStringLiteral("加载中"),
         [](QWidget *host) {
             ToastHost *toasts = ToastHost::of(host);
             if (toasts->activityView())
                 toasts->hideToastActivity();
             else
                 toasts->makeToastActivity(ToastPosition::center);
         }},
    };
    int index = 0;
    for (const Entry &entry : entries) {
        const QRect frame(16 + (index % 3) * 117, 200 + (index / 3) * 44, 109, 36);
        QPushButton *button = addButton(page, QLatin1String(entry.name), entry.text, frame);
        QObject::connect(button, &QPushButton::clicked, page,
                         [page, show = entry.show] { show(page); });
        ++index;
    }
    return page;
}

QWidget *decorationPage(QWidget *parent)
{
    QWidget *page = makePage(parent);
    const auto box = [page](QRect frame, const QString &text) {
        auto *label = new QLabel(text, page);
        label->setAlignment(Qt::AlignCenter);
        label->setFont(systemFont(14));
        label->setGeometry(frame);
        return label;
    };
    ViewDecoration *rounded = ViewDecoration::of(box({24, 40, 150, 90}, QStringLiteral("圆角 12")));
    rounded->setBackgroundColor(hexColor(0xDCE8FA));
    rounded->setCornerRadius(12);
    ViewDecoration *bordered =
        ViewDecoration::of(box({200, 40, 150, 90}, QStringLiteral("边框 1")));
    bordered->setCornerRadius(15);
    bordered->setBorderWidth(1);
    bordered->setBorderColor(hexColor(0x0E7EF5));
    ViewDecoration *shadowed = ViewDecoration::of(box({24, 170, 326, 90}, QStringLiteral("阴影")));
    shadowed->setCornerRadius(8);
    shadowed->setAddShadow(true);

    const auto pulsing = [page](QRect frame, const QString &text, int animation) {
        auto *dot = new QLabel(text, page);
        dot->setAlignment(Qt::AlignCenter);
        dot->setFont(boldSystemFont(16));
        dot->setGeometry(frame);
        QPalette palette = dot->palette();
        palette.setColor(QPalette::WindowText, Qt::white);
        dot->setPalette(palette);
        ViewDecoration *layer = ViewDecoration::of(dot);
        layer->setBackgroundColor(hexColor(0x2E458B));
        layer->setCornerRadius(frame.width() / 2.0);
        PulseView::startPulse(dot, hexColor(0x2E458B), animation);
    };
    pulsing({47, 380, 100, 100}, QStringLiteral("雷达"), PulseView::radar);
    pulsing({227, 380, 100, 100}, QStringLiteral("呼吸"), PulseView::breathing);
    return page;
}

QWidget *refreshPage(QWidget *parent)
{
    QWidget *page = makePage(parent);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    QList<QPixmap> frames;
    for (int i = 0; i < 33; ++i)
        frames.append(ImageView::namedImage(QStringLiteral("loading_%1").arg(i)));
    for (const RefreshControl::State state :
         {RefreshControl::Idle, RefreshControl::Pulling, RefreshControl::Refreshing}) {
        auto *header = new SCRefreshHeader(page);
        header->setImages({frames.first()}, 0, RefreshControl::Idle);
        header->setImages({frames.first()}, 0, RefreshControl::Pulling);
        header->setImages(frames, 2.0, RefreshControl::Refreshing);
        header->setState(state);
        header->setFixedHeight(85);
        layout->addWidget(header);
    }
    for (const RefreshControl::State state :
         {RefreshControl::Idle, RefreshControl::Refreshing, RefreshControl::NoMoreData}) {
        auto *footer = new SCRefreshFooter(page);
        footer->setState(state);
        footer->setFixedHeight(44);
        layout->addWidget(footer);
    }
    layout->addStretch();
    return page;
}

template <typename Placeholder>
GalleryPage placeholderPage(const QString &title, std::function<void(Placeholder *)> finish = {})
{
    return {title, [finish](QWidget *parent) -> QWidget * {
                auto *view = new Placeholder(parent ? parent->rect() : QRect(), parent);
                if (finish)
                    finish(view);
                return view;
            }};
}

} // namespace

QList<GalleryPage> feedbackGalleryPages()
{
    return {
        {QStringLiteral("提示 Toasts"), toastPage},
        placeholderPage<SCLoadingView>(QStringLiteral("加载 Loading")),
        placeholderPage<SCErrorView>(QStringLiteral("网络错误 Error"),
                                     [](SCErrorView *view) {
                                         view->setClick([view] {
                                             sc_showToast(view, QStringLiteral("正在重新加载"));
                                         });
                                     }),
        placeholderPage<SCEmptyView>(
            QStringLiteral("空列表 Empty"),
            [](SCEmptyView *view) { view->emptyLabel()->setText(QStringLiteral("暂无数据")); }),
        {QStringLiteral("装饰与脉冲 Decorations"), decorationPage},
        {QStringLiteral("刷新控件 Refresh"), refreshPage},
    };
}

} // namespace corvane
