#include "platform/resources/Resources.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>

// Texts are looked up during static initialisation too (corvanectl's option descriptions),
// maybe before the compiled-in resources' own initialiser has run; registering twice is harmless.
// (Outside any namespace: the macro declares the generated function where it stands.)
static void registerCompiledResources()
{
    Q_INIT_RESOURCE(corvane_resources);
}

namespace corvane {

namespace {
QStringList &roots()
{
    static QStringList list{QStringLiteral(":/")};
    return list;
}

// Every walk of the compiled-in tree costs millions of instructions (each step asks the tree
// again from its top), and that tree never changes: it is walked once per root, and file names
// are then looked up. Qt's own files under qt-project.org are not ours and are left out.
using FileIndex = QHash<QString, QString>;

void indexFolder(const QString &folder, bool top, FileIndex &index)
{
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        if (entry.isDir()) {
            if (!(top && entry.fileName() == u"qt-project.org"))
                indexFolder(entry.filePath(), false, index);
        } else if (!index.contains(entry.fileName())) {
            index.insert(entry.fileName(), entry.filePath());
        }
    }
}

const FileIndex &compiledIndex(const QString &root)
{
    static QHash<QString, FileIndex> indexes;
    if (indexes.isEmpty())
        registerCompiledResources();
    auto found = indexes.constFind(root);
    if (found == indexes.cend()) {
        FileIndex index;
        indexFolder(root, true, index);
        found = indexes.insert(root, std::move(index));
    }
    return *found;
}

// Folders on disk can change between lookups (tests write into them), so they are searched
// each time.
QString searchFolder(const QString &root, const QString &fileName)
{
    const QString direct = root + u'/' + fileName;
    if (QFileInfo(direct).isFile())
        return QFileInfo(direct).filePath();
    QDirIterator it(root, {fileName}, QDir::Files, QDirIterator::Subdirectories);
    return it.hasNext() ? it.next() : QString();
}
} // namespace

QString Resources::path(const QString &name, const QString &type)
{
    const QString fileName = type.isEmpty() ? name : name + u'.' + type;
    for (const QString &root : roots()) {
        const QString found = root.startsWith(u':') ? compiledIndex(root).value(fileName)
                                                    : searchFolder(root, fileName);
        if (!found.isEmpty())
            return found;
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
