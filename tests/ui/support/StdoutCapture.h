#pragma once

#include <QByteArray>
#include <QTemporaryFile>

namespace corvane::test {

// Sends the process's standard output to a temporary file while it exists; text() reads what
// was written so far.
class StdoutCapture final
{
public:
    StdoutCapture();
    ~StdoutCapture();
    Q_DISABLE_COPY_MOVE(StdoutCapture)

    QByteArray text();

private:
    QTemporaryFile m_file;
    int m_saved = -1;
};

} // namespace corvane::test
