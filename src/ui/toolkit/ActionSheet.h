#pragma once

#include "ui/toolkit/AlertAction.h"

#include <QList>
#include <QPointer>
#include <QWidget>
#include <chrono>

class QPushButton;
class QVariantAnimation;

namespace corvane {

// A sheet of choices that slides up from the bottom of a screen: an optional title and
// message, the default actions in the order added, and the cancel action apart below them.
// Up and Down move between the choices, Return picks one, Escape (or a click beside the
// sheet) picks the cancel action when there is one. It deletes itself once a choice is made.
class ActionSheet final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ActionSheet)

public:
    static constexpr std::chrono::milliseconds kDuration{250};

    // An empty title or message is left out.
    explicit ActionSheet(const QString &title = {}, const QString &message = {},
                         QWidget *parent = nullptr);
    ~ActionSheet() override;

    void addAction(AlertAction action);
    // Shows the sheet over the screen that holds `host`.
    void present(QWidget *host, bool animated);
    // Picks the action at `index` (in the order added): the sheet leaves, then its handler runs.
    void choose(int index);
    QPushButton *buttonForAction(int index) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QWidget *buildPanel();
    void applyProgress(double progress);
    void moveFocus(int step);
    void chooseCancel();

    QString m_title;
    QString m_message;
    QList<AlertAction> m_actions;
    QList<QPushButton *> m_buttons;
    QPointer<QWidget> m_host;
    // What had the keyboard when the sheet came up; it gets it back when the sheet leaves.
    QPointer<QWidget> m_returnFocus;
    QWidget *m_panel = nullptr;
    QVariantAnimation *m_animation;
    double m_progress = 0.0;
    bool m_closing = false;
    int m_chosen = -1;
};

} // namespace corvane
