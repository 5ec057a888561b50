#include "platform/log/Log.h"

#include <cstdio>

namespace corvane {

namespace {
Log::Sink &sink()
{
    static Log::Sink current;
    return current;
}

Log::Sink &warningSink()
{
    static Log::Sink current;
    return current;
}
} // namespace

void Log::write(QtMsgType level, const QString &line)
{
    if (sink()) {
        sink()(level, line);
        return;
    }
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

void Log::warn(const QString &line)
{
    if (warningSink())
        warningSink()(QtWarningMsg, line);
    else
        warning(line);
}

Log::Sink Log::setSink(Sink next)
{
    return std::exchange(sink(), std::move(next));
}

Log::Sink Log::setWarningSink(Sink next)
{
    return std::exchange(warningSink(), std::move(next));
}

} // namespace corvane
