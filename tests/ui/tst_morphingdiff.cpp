#include "ui/morphing/CharacterDiff.h"

#include <QTest>

using namespace corvane;
using namespace Qt::StringLiterals;
using Kind = CharacterDiffResult::Kind;

Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(CharacterDiffResult)

class TestMorphingDiff final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void diff_data();
    void diff();
    void characterCount_data();
    void characterCount();
    void description_data();
    void description();
};

void TestMorphingDiff::diff_data()
{
    QTest::addColumn<QString>("previous");
    QTest::addColumn<std::optional<QString>>("next");
    QTest::addColumn<QList<CharacterDiffResult>>("results");
    QTest::addColumn<QList<bool>>("skip");

    const auto same = CharacterDiffResult::same();
    const auto add = CharacterDiffResult::add();
    const auto del = CharacterDiffResult::deleted();
    const auto replace = CharacterDiffResult::replace();
    const auto moveAndAdd = &CharacterDiffResult::moveAndAdd;
    const auto move = &CharacterDiffResult::move;

    QTest::newRow("swap") << u"ab"_s << std::optional(u"ba"_s)
                          << QList{moveAndAdd(1), moveAndAdd(-1)} << QList{true, true};
    QTest::newRow("mismatch at the last new position is a deletion")
        << u"abc"_s << std::optional(u"abd"_s) << QList{same, same, del}
        << QList{false, false, false};
    QTest::newRow("mismatch before the last new position is a replacement")
        << u"abcd"_s << std::optional(u"xbcd"_s) << QList{replace, same, same, same}
        << QList{false, false, false, false};
    QTest::newRow("shorter") << u"abc"_s << std::optional(u"a"_s) << QList{same, del, del}
                             << QList{false, false, false};
    QTest::newRow("from empty") << QString() << std::optional(u"ab"_s) << QList{add, add}
                                << QList{false, false};
    QTest::newRow("absent new text") << u"abc"_s << std::optional<QString>() << QList{del, del, del}
                                     << QList{false, false, false};
    QTest::newRow("moved beyond the new end")
        << u"abc"_s << std::optional(u"c"_s) << QList{del, del, move(-2)}
        << QList{true, false, false};
    QTest::newRow("repeated characters match once each")
        << u"aa"_s << std::optional(u"a"_s) << QList{same, del} << QList{false, false};
    QTest::newRow("chinese") << u"未连接"_s << std::optional(u"连接中"_s)
                             << QList{replace, moveAndAdd(-1), moveAndAdd(-1)}
                             << QList{true, true, false};
    QTest::newRow("canonically equal accents")
        << u"e\u0301x"_s << std::optional(u"\u00e9y"_s) << QList{same, del} << QList{false, false};
    QTest::newRow("emoji with modifier")
        << u"👍🏽a"_s << std::optional(u"a👍🏽"_s) << QList{moveAndAdd(1), moveAndAdd(-1)}
        << QList{true, true};
    QTest::newRow("emoji differing only in modifier")
        << u"👍🏽"_s << std::optional(u"👍🏿"_s) << QList{del} << QList{false};
}

void TestMorphingDiff::diff()
{
    QFETCH(QString, previous);
    QFETCH(std::optional<QString>, next);
    QFETCH(QList<CharacterDiffResult>, results);
    QFETCH(QList<bool>, skip);

    const std::optional<QStringList> nextCharacters =
        next ? std::optional(characters(*next)) : std::nullopt;
    const CharacterDiff diff = CharacterDiff::between(characters(previous), nextCharacters);
    QCOMPARE(diff.results.size(), results.size());
    for (qsizetype i = 0; i < results.size(); ++i) {
        QVERIFY2(
            diff.results[i] == results[i],
            qPrintable(QStringLiteral("entry %1: %2").arg(i).arg(diff.results[i].description())));
    }
    QCOMPARE(diff.skipDrawingResults, skip);
}

void TestMorphingDiff::characterCount_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");

    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("chinese") << u"连接中..."_s << 6;
    QTest::newRow("decomposed accent") << u"e\u0301"_s << 1;
    QTest::newRow("stacked combining marks") << u"a\u0300\u0316b"_s << 2;
    QTest::newRow("chinese with combining mark") << u"连\u0301接"_s << 2;
    QTest::newRow("surrogate pair") << u"𠀋"_s << 1;
    QTest::newRow("skin tone") << u"👍🏽"_s << 1;
    QTest::newRow("flag") << u"🇨🇳🇯🇵"_s << 2;
    QTest::newRow("zero width joiner family") << u"👨\u200d👩\u200d👧x"_s << 2;
    QTest::newRow("keycap") << u"1\ufe0f\u20e3"_s << 1;
}

void TestMorphingDiff::characterCount()
{
    QFETCH(QString, text);
    QFETCH(int, count);
    const QStringList split = characters(text);
    QCOMPARE(split.size(), count);
    QCOMPARE(split.join(QString()), text);
}

void TestMorphingDiff::description_data()
{
    QTest::addColumn<CharacterDiffResult>("result");
    QTest::addColumn<QString>("text");

    QTest::newRow("same") << CharacterDiffResult::same() << u"The character is unchanged."_s;
    QTest::newRow("add") << CharacterDiffResult::add() << u"A new character is ADDED."_s;
    QTest::newRow("delete") << CharacterDiffResult::deleted() << u"The character is DELETED."_s;
    QTest::newRow("replace") << CharacterDiffResult::replace()
                             << u"The character is REPLACED with a new character."_s;
    QTest::newRow("move") << CharacterDiffResult::move(-2) << u"The character is MOVED to -2."_s;
    QTest::newRow("move and add") << CharacterDiffResult::moveAndAdd(3)
                                  << u"The character is MOVED to 3 and a new character is ADDED."_s;
}

void TestMorphingDiff::description()
{
    QFETCH(CharacterDiffResult, result);
    QFETCH(QString, text);
    QCOMPARE(result.description(), text);
}

QTEST_GUILESS_MAIN(TestMorphingDiff)
#include "tst_morphingdiff.moc"
