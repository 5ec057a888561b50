#include "ui/morphing/CharacterDiffResult.h"

namespace corvane {

QString CharacterDiffResult::description() const
{
    switch (m_kind) {
    case Kind::Same:
        return QStringLiteral("The character is unchanged.");
    case Kind::Add:
        return QStringLiteral("A new character is ADDED.");
    case Kind::Delete:
        return QStringLiteral("The character is DELETED.");
    case Kind::Replace:
        return QStringLiteral("The character is REPLACED with a new character.");
    case Kind::Move:
        return QStringLiteral("The character is MOVED to %1.").arg(m_offset);
    case Kind::MoveAndAdd:
        return QStringLiteral("The character is MOVED to %1 and a new character is ADDED.")
            .arg(m_offset);
    }
    return {};
}

} // namespace corvane
