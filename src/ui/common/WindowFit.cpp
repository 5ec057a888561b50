#include "ui/common/WindowFit.h"

namespace corvane {

QSize WindowFit::firstSize(const QRect &available)
{
    if (available.isEmpty())
        return kDesignSize;
    return kDesignSize.boundedTo(available.size() - kFrameAllowance).expandedTo(kMinimumSize);
}

} // namespace corvane
