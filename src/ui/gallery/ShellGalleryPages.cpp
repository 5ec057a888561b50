#include "ui/gallery/ShellGalleryPages.h"

#include "core/home/ChoiceTexts.h"
#include "platform/scheduling/Scheduler.h"
#include "ui/gallery/GalleryButtonStyle.h"
#include "ui/gallery/GalleryControlsViewController.h"
#include "ui/shell/SCBaseNavigationController.h"
#include "ui/shell/SCBaseRootViewController.h"
#include "ui/shell/SCRootTabBarController.h"
#include "ui/shell/ScreenNavigation.h"
#include "ui/toolkit/ActionSheet.h"
#include "ui/toolkit/BarButtonItem.h"
#include "ui/toolkit/TabBarItem.h"

#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>

using namespace std::chrono_literals;

namespace corvane {

namespace {

QColor hexColor(quint32 rgb)
{
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// A screen with a caption and a column of buttons; it can do something once, when it first
// comes into view, so a page can open on the state it shows off.
class DemoScreen final : public SCBaseRootViewController
{
public:
    DemoScreen(const QString &title, const QString &caption, QWidget *parent = nullptr)
        : SCBaseRootViewController(parent), m_layout(new QVBoxLayout(this))
    {
        setTitle(title);
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, hexColor(0xF5F5F5));
        setPalette(palette);
        m_layout->setContentsMargins(24, 24, 24, 24);
        m_layout->setSpacing(12);
        auto *label = new QLabel(caption, this);
        label->setWordWrap(true);
        label->setStyleSheet(QStringLiteral("color: #666666; font-size: 15px;"));
        m_layout->addWidget(label);
        m_layout->addStretch();
    }

    void addButton(const QString &text, std::function<void()> action)
    {
        auto *button = new QPushButton(text, this);
        applyGalleryButtonStyle(button, 44);
        connect(button, &QPushButton::clicked, this, [action = std::move(action)] { action(); });
        m_layout->insertWidget(m_layout->count() - 1, button);
    }

    std::function<void()> onFirstAppearance;

protected:
    void viewDidAppear(bool animated) override
    {
        SCBaseRootViewController::viewDidAppear(animated);
        if (auto once = std::exchange(onFirstAppearance, {}))
            delay(0s, this, once);
    }

private:
    QVBoxLayout *m_layout;
};

DemoScreen *provinceScreen()
{
    auto *screen = new DemoScreen(QStringLiteral("选择省份"),
                                  QStringLiteral("推入的页面：左上角返回，或按 Alt+← 、鼠标后退键、"
                                                 "从左边缘向右拖动返回。"));
    screen->setRightBarButtonItem(new BarButtonItem(QStringLiteral("保存")));
    return screen;
}

ActionSheet *duplicateSheet()
{
    auto *sheet = new ActionSheet(ChoiceTexts::deduplicationTitle());
    sheet->addAction({ChoiceTexts::deduplication(0), AlertAction::Style::Default, {}});
    sheet->addAction({ChoiceTexts::deduplication(1), AlertAction::Style::Default, {}});
    sheet->addAction({QStringLiteral("取消"), AlertAction::Style::Cancel, {}});
    return sheet;
}

QWidget *navigationPage(QWidget *parent, bool pushed)
{
    auto *root =
        new DemoScreen(QStringLiteral("首页"),
                       QStringLiteral("导航栏：深蓝 0x2E458B，白色粗体 19 点标题，白色按钮。"));
    auto *navigation = new SCBaseNavigationController(root, parent);
    root->addButton(QStringLiteral("推入省份选择"),
                    [root] { sc_pushViewController(root, provinceScreen(), true); });
    root->addButton(QStringLiteral("隐藏 / 显示导航栏"), [navigation] {
        navigation->setNavigationBarHidden(!navigation->isNavigationBarHidden(), true);
    });
    if (pushed)
        navigation->pushViewController(provinceScreen(), false);
    return navigation;
}

QWidget *presentationPage(QWidget *parent, bool fullScreen)
{
    auto *screen =
        new DemoScreen(QStringLiteral("弹出"),
                       fullScreen ? QStringLiteral("全屏弹出一个导航栈。")
                                  : QStringLiteral("不在导航栈中的页面用 sc_pushViewController "
                                                   "弹出一个新的导航栈，左侧按钮关闭它。"),
                       parent);
    auto present = [screen, fullScreen] {
        auto *next = new DemoScreen(QStringLiteral("新的导航栈"),
                                    QStringLiteral("左上角（不可见的 44 × 44 按钮）关闭此页。"));
        if (!fullScreen) {
            sc_pushViewController(screen, next, true);
            return;
        }
        auto *navigation = new SCBaseNavigationController(next);
        navigation->setModalPresentationStyle(ViewController::ModalPresentationStyle::FullScreen);
        next->addButton(QStringLiteral("关闭"), [next] { back(next); });
        screen->presentViewController(navigation, true);
    };
    screen->addButton(QStringLiteral("弹出"), present);
    screen->onFirstAppearance = present;
    return screen;
}

QWidget *actionSheetPage(QWidget *parent)
{
    auto *root = new DemoScreen(ChoiceTexts::deduplicationTitle(),
                                QStringLiteral("底部弹出的操作表：↑ ↓ 选择，回车确认，Esc 取消。"));
    auto *navigation = new SCBaseNavigationController(root, parent);
    root->addButton(ChoiceTexts::deduplicationTitle(),
                    [root] { duplicateSheet()->present(root, true); });
    root->onFirstAppearance = [root] { duplicateSheet()->present(root, true); };
    return navigation;
}

// The province list's shape in a list view: a random choice, then the provinces.
class ListScreen final : public SCBaseRootViewController
{
public:
    ListScreen() : m_list(new QListView(this))
    {
        setTitle(QStringLiteral("选择省份"));
        setRightBarButtonItem(new BarButtonItem(QStringLiteral("保存")));
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(m_list);
        m_list->setAccessibleName(title());
        m_list->setModel(new QStringListModel(
            QStringList{
                ChoiceTexts::anyProvince(), QStringLiteral("北京市"), QStringLiteral("天津市"),
                QStringLiteral("河北省"), QStringLiteral("山西省"), QStringLiteral("内蒙古"),
                QStringLiteral("辽宁省"), QStringLiteral("吉林省"), QStringLiteral("黑龙江"),
                QStringLiteral("上海市"), QStringLiteral("江苏省"), QStringLiteral("浙江省")},
            m_list));
        m_list->setCurrentIndex(m_list->model()->index(9, 0));
    }
    Q_DISABLE_COPY_MOVE(ListScreen)

private:
    QListView *m_list;
};

QWidget *tabBarPage(QWidget *parent)
{
    auto *tabs = new SCRootTabBarController(parent);
    auto *home = new SCBaseNavigationController(
        new DemoScreen(QStringLiteral("首页"), QStringLiteral("标签栏：推入页面时隐藏。")));
    auto *quick = new SCBaseNavigationController(
        new DemoScreen(QStringLiteral("快速连接"), QStringLiteral("第二个标签。")));
    home->tabBarItem()->setTitle(QStringLiteral("首页"));
    quick->tabBarItem()->setTitle(QStringLiteral("快速连接"));
    tabs->setViewControllers({home, quick});
    auto *root = static_cast<DemoScreen *>(home->topViewController());
    root->addButton(QStringLiteral("推入（隐藏标签栏）"),
                    [root] { sc_pushViewController(root, provinceScreen(), true); });
    return tabs;
}

} // namespace

QList<GalleryPage> shellGalleryPages()
{
    return {
        {QStringLiteral("导航栏 · Navigation bar"),
         [](QWidget *parent) { return navigationPage(parent, false); }},
        {QStringLiteral("推入 · Pushed screen"),
         [](QWidget *parent) { return navigationPage(parent, true); }},
        {QStringLiteral("弹出 · Modal (default style)"),
         [](QWidget *parent) { return presentationPage(parent, false); }},
        {QStringLiteral("弹出 · Modal (full screen)"),
         [](QWidget *parent) { return presentationPage(parent, true); }},
        {QStringLiteral("操作表 · Action sheet"), &actionSheetPage},
        {QStringLiteral("列表 · List"),
         [](QWidget *parent) -> QWidget * {
             return new SCBaseNavigationController(new ListScreen, parent);
         }},
        {QStringLiteral("控件 · Controls"),
         [](QWidget *parent) -> QWidget * {
             return new SCBaseNavigationController(new GalleryControlsViewController, parent);
         }},
        {QStringLiteral("标签栏 · Tab bar"), &tabBarPage},
    };
}

} // namespace corvane
