#pragma once

#include "ui/morphing/CharacterDiffResult.h"

#include <QList>
#include <QStringList>
#include <optional>

namespace corvane {

// The per-position difference between two texts, given as lists of user-perceived characters.
// Entry i describes the old character at i and decides whether the new character at i is drawn;
// skipDrawingResults[j] marks new characters that an old one moves onto.
struct CharacterDiff
{
    QList<CharacterDiffResult> results;
    QList<bool> skipDrawingResults;

    // `next` absent means the text goes away: every old character is deleted.
    static CharacterDiff between(const QStringList &previous,
                                 const std::optional<QStringList> &next);
};

// The user-perceived characters (grapheme clusters) of `text`.
QStringList characters(const QString &text);

} // namespace corvane
