#include "ui/morphing/CharacterDiff.h"

#include <QTextBoundaryFinder>
#include <algorithm>

namespace corvane {

namespace {

// Characters compare by canonical equality: "é" precomposed equals "e" + combining acute.
QStringList canonical(const QStringList &characters)
{
    QStringList out;
    out.reserve(characters.size());
    for (const QString &c : characters)
        out.append(c.normalized(QString::NormalizationForm_C));
    return out;
}

} // namespace

CharacterDiff CharacterDiff::between(const QStringList &previous,
                                     const std::optional<QStringList> &next)
{
    CharacterDiff diff;
    const qsizetype oldCount = previous.size();
    if (!next) {
        diff.results.fill(CharacterDiffResult::deleted(), oldCount);
        diff.skipDrawingResults.fill(false, oldCount);
        return diff;
    }

    const QStringList left = canonical(previous);
    const QStringList right = canonical(*next);
    const qsizetype newCount = right.size();
    const qsizetype n = std::max(oldCount, newCount);
    diff.results.fill(CharacterDiffResult::add(), n);
    diff.skipDrawingResults.fill(false, n);
    QList<bool> matched(newCount, false);

    for (qsizetype i = 0; i < oldCount; ++i) {
        qsizetype found = -1;
        for (qsizetype j = 0; j < newCount; ++j) {
            if (!matched[j] && right[j] == left[i]) {
                found = j;
                break;
            }
        }
        if (found < 0) {
            diff.results[i] =
                i < newCount - 1 ? CharacterDiffResult::replace() : CharacterDiffResult::deleted();
            continue;
        }
        matched[found] = true;
        if (found == i) {
            diff.results[i] = CharacterDiffResult::same();
            continue;
        }
        const int offset = static_cast<int>(found - i);
        diff.results[i] = i <= newCount - 1 ? CharacterDiffResult::moveAndAdd(offset)
                                            : CharacterDiffResult::move(offset);
        diff.skipDrawingResults[found] = true;
    }
    return diff;
}

QStringList characters(const QString &text)
{
    QStringList out;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (finder.toNextBoundary() >= 0) {
        const qsizetype end = finder.position();
        if (end > start)
            out.append(text.mid(start, end - start));
        start = end;
    }
    return out;
}

} // namespace corvane
