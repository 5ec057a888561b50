#include "LabelFixture.h"

namespace corvane::test {

LabelFixture::LabelFixture(QSize size) : m_label(new MorphingLabel(&m_window))
{
    m_window.resize(size);
    m_label->setGeometry(QRect(QPoint(), size));
    m_delegate.morphingDidStart = [this](MorphingLabel *) { ++m_log.started; };
    m_delegate.morphingDidComplete = [this](MorphingLabel *) { ++m_log.completed; };
    m_delegate.morphingOnProgress = [this](MorphingLabel *, float p) { m_log.progress.append(p); };
    m_label->setDelegate(&m_delegate);
    m_window.show();
}

LabelFixture::~LabelFixture()
{
    m_label->setDelegate(nullptr);
}

} // namespace corvane::test
