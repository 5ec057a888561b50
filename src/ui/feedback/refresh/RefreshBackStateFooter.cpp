#include "ui/feedback/refresh/RefreshBackStateFooter.h"

namespace corvane {

RefreshBackStateFooter::RefreshBackStateFooter(QWidget *parent) : RefreshControl(parent)
{
    setTitle(QStringLiteral("上拉可以加载更多"), Idle);
    setTitle(QStringLiteral("松开立即加载更多"), Pulling);
    setTitle(QStringLiteral("正在加载更多的数据..."), Refreshing);
    setTitle(QStringLiteral("已经全部加载完毕"), NoMoreData);
    resize(width(), 44);
}

RefreshBackStateFooter::~RefreshBackStateFooter() = default;

} // namespace corvane
