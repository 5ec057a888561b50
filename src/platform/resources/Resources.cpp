#include "platform/resources/Resources.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace corvane {

namespace {
QStringList &roots()
{
    static QStringList list{QStringLiteral(":/")};
    return list;
}
} // namespace

QString Resources::path(const QString &name, const QString &type)
{
    const QString fileName = type.isEmpty() ? name : name + u'.' + type;
    for (const QString &root : roots()) {
        const QString direct = root + u'/' + fileName;
        if (QFileInfo(direct).isFile())
            return QFileInfo(direct).filePath();
        QDirIterator it(root, {fileName}, QDir::Files, QDirIterator::Subdirectories);
        if (it.hasNext())
            return it.next();
    }
    return {};
}

std::optional<QByteArray> Resources::data(const QString &name, const QString &type)
{
    const QString file = path(name, type);
    if (file.isEmpty())
        return std::nullopt;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return f.readAll();
}

QStringList Resources::searchRoots()
{
    return roots();
}

void Resources::setSearchRoots(const QStringList &list)
{
    roots() = list;
}

} // namespace corvane
