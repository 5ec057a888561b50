#pragma once

#include "platform/systemproxy/ProxyKeyStore.h"

#include <QByteArrayList>
#include <QFileDevice>

namespace corvane {

// The [Proxy Settings] group of KDE's kioslaverc, which KIO and the programs of Plasma read.
// Only the lines of the keys Corvane writes are touched: the rest of the file, comments and
// other groups, is written back as it was read. After a change KIO is told to read it again.
class KioProxyFile final : public ProxyKeyStore
{
public:
    // Reads `path` (missing counts as empty); see error().
    explicit KioProxyFile(QString path);

    // Why the file cannot be used (a link, a folder, too large to be KIO's); none when it can.
    std::optional<QString> error() const { return m_error; }

    QString name() const override { return QStringLiteral("kio"); }
    QList<Value> planned(SystemProxy::Ports ports) const override;
    bool accepts(const Key &key, const QString &text) const override;
    std::optional<QString> read(const Key &key) const override;
    std::optional<QString> stage(const Key &key, const std::optional<QString> &text) override;
    std::optional<QString> commit() override;

private:
    // The index of the line that gives `key` its value (KConfig's last one wins), or -1.
    qsizetype lineOf(const Key &key) const;
    // The index of the header of the group holding line `index`, or of the last such group
    // when `index` is -1; -1 when there is none.
    qsizetype headerOf(const QString &group, qsizetype index) const;
    void dropIfEmpty(qsizetype header);

    QString m_path;
    std::optional<QString> m_error;
    QByteArrayList m_lines;
    bool m_existed = false;
    bool m_endsWithNewline = true;
    bool m_changed = false;
    QFileDevice::Permissions m_permissions;
};

} // namespace corvane
