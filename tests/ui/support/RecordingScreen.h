#pragma once

#include "ui/toolkit/ViewController.h"

#include <QStringList>

namespace corvane::test {

// A screen that writes its lifecycle calls into a shared journal as "<name>:<event>".
class RecordingScreen final : public ViewController
{
    Q_OBJECT

public:
    RecordingScreen(const QString &name, QStringList *journal, QWidget *parent = nullptr)
        : ViewController(parent), m_name(name), m_journal(journal)
    {
        setTitle(name);
        setObjectName(name);
    }

protected:
    void viewDidLoad() override { record(QStringLiteral("load")); }
    void viewWillAppear(bool) override { record(QStringLiteral("willAppear")); }
    void viewDidAppear(bool) override { record(QStringLiteral("didAppear")); }
    void viewWillDisappear(bool) override { record(QStringLiteral("willDisappear")); }
    void viewDidDisappear(bool) override { record(QStringLiteral("didDisappear")); }

private:
    void record(const QString &event)
    {
        if (m_journal)
            m_journal->append(m_name + QLatin1Char(':') + event);
    }

    QString m_name;
    QStringList *m_journal;
};

} // namespace corvane::test
