#pragma once

#include <QImage>
#include <QString>

namespace corvane {

// The application's PNG files, decoded by Qt's own PNG reader. Naming the format to Qt's image
// reader is not enough: it still loads every image plug-in to ask whether one claims the
// format, which costs more than the decoding, so format detection is turned off.
class PngResource final
{
public:
    // The image in the resource file `name`.png; a null image if there is none or it does not
    // decode as a PNG.
    static QImage read(const QString &name);
};

} // namespace corvane
