#include "ui/common/PngResource.h"

#include "platform/resources/Resources.h"

#include <QBuffer>
#include <QImageReader>

namespace corvane {

QImage PngResource::read(const QString &name)
{
    auto bytes = Resources::data(name, QStringLiteral("png"));
    if (!bytes)
        return {};
    QBuffer buffer(&*bytes);
    QImageReader reader(&buffer, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

} // namespace corvane
