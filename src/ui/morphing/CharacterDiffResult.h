#pragma once

#include <QString>

namespace corvane {

// What happens to the character at one position when a label's text changes.
class CharacterDiffResult final
{
public:
    enum class Kind
    {
        Move,
        MoveAndAdd,
        Same,
        Add,
        Delete,
        Replace
    };

    // A new character, the state of every position before the texts are compared.
    CharacterDiffResult() = default;

    static CharacterDiffResult move(int offset) { return {Kind::Move, offset}; }
    static CharacterDiffResult moveAndAdd(int offset) { return {Kind::MoveAndAdd, offset}; }
    static CharacterDiffResult same() { return {Kind::Same, 0}; }
    static CharacterDiffResult add() { return {Kind::Add, 0}; }
    static CharacterDiffResult deleted() { return {Kind::Delete, 0}; }
    static CharacterDiffResult replace() { return {Kind::Replace, 0}; }

    Kind kind() const { return m_kind; }
    // How many positions to the right a moved character goes (0 unless it moves).
    int offset() const { return m_offset; }
    QString description() const;

    friend bool operator==(const CharacterDiffResult &, const CharacterDiffResult &) = default;

private:
    CharacterDiffResult(Kind kind, int offset) : m_kind(kind), m_offset(offset) {}

    Kind m_kind = Kind::Add;
    int m_offset = 0;
};

} // namespace corvane
