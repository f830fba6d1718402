#pragma once

// Songs for the benchmarks that fill a large library, as varied as a user's:
// titles of one to four word-like words, artists and albums of one to three
// made of a few thousand syllable-built words (so a filter's first letter
// matches most songs and each further letter far fewer), some of them with
// accented letters and one title in fifty in Japanese, lengths from two to
// eight minutes, genres of a dozen kinds, and dates added at any minute of the
// last two years. The same id always gives the same song.
//
// Header only (no target to link): a benchmark includes it by relative path.

#include "MusicDatabase.h"

#include <QDate>
#include <QStringList>

#include <cstring>

namespace bench_songs {

// A small generator of its own, so that every benchmark and every run build
// the same library.
class Dice
{
public:
    explicit Dice(quint32 seed) : m_state(seed * 2654435761u + 0x9E3779B9u) { Roll(); }
    quint32 Roll()
    {
        // xorshift32: unsigned, so it wraps instead of overflowing.
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    int Below(int n) { return static_cast<int>(Roll() % static_cast<quint32>(n)); }

private:
    quint32 m_state;
};

// Word number n of the vocabulary: two or three syllables, sometimes closed
// by a consonant, capitalised ("Velor", "Mintaka"); one word in ten has an
// accented vowel ("Brélou").
inline QString Word(int n)
{
    static const char* const kOnsets[] = {"b", "c", "d", "f", "g", "h", "j", "k", "l", "m", "n", "p", "r",
                                          "s", "t", "v", "w", "z", "br", "ch", "cl", "dr", "fl", "gr", "pl",
                                          "sh", "st", "tr", "th", "sl"};
    static const char* const kVowels[] = {"a", "e", "i", "o", "u", "a", "e", "o", "ai", "ea", "ou", "y"};
    static const char* const kCodas[] = {"", "", "", "n", "r", "s", "l", "m", "x", "nd", "st"};
    Dice dice(static_cast<quint32>(n) + 7919u);
    QString word;
    const int syllables = 2 + dice.Below(2);
    for (int i = 0; i < syllables; ++i) {
        word += QLatin1String(kOnsets[dice.Below(sizeof kOnsets / sizeof *kOnsets)]);
        word += QLatin1String(kVowels[dice.Below(sizeof kVowels / sizeof *kVowels)]);
    }
    word += QLatin1String(kCodas[dice.Below(sizeof kCodas / sizeof *kCodas)]);
    if (dice.Below(10) == 0) {
        static const char16_t kAccented[] = u"éèüöåøíá";
        static const QString vowels = QStringLiteral("aeiou");
        for (int i = 1; i < word.size(); ++i) {
            if (vowels.contains(word[i])) {
                word[i] = QChar(kAccented[dice.Below(8)]);
                break;
            }
        }
    }
    word[0] = word[0].toUpper();
    return word;
}

// A title in Japanese: two to six katakana.
inline QString JapaneseTitle(Dice& dice)
{
    QString title;
    const int count = 2 + dice.Below(5);
    for (int i = 0; i < count; ++i)
        title += QChar(0x30A2 + dice.Below(0x30F3 - 0x30A2));
    return title;
}

// One to `most` words, the number and the words drawn from dice; common words
// come up more often than rare ones, as in real titles.
inline QString Words(Dice& dice, int most)
{
    constexpr int kVocabulary = 4000;
    QStringList parts;
    const int count = 1 + dice.Below(most);
    for (int i = 0; i < count; ++i) {
        // The smaller of two draws: low word numbers are the common words.
        const int n = qMin(dice.Below(kVocabulary), dice.Below(kVocabulary));
        parts << Word(n);
    }
    return parts.join(QLatin1Char(' '));
}

// Song `id`, added within the two years before `today`; the caller sets its
// MusicPath.
inline MusicInfoRow MakeSong(int id, const QDate& today)
{
    static const char* const kGenres[] = {"Pop", "Rock", "Jazz", "Classical", "Electronic", "Hip-Hop",
                                          "Folk", "Blues", "Soundtrack", "Pop;Rock", "Country", ""};
    Dice dice(static_cast<quint32>(id));
    MusicInfoRow row;
    std::memset(&row.Info, 0, sizeof row.Info);
    row.MusicId = id;
    const QString title = dice.Below(50) == 0 ? JapaneseTitle(dice) : Words(dice, 4);
    CopyUtf8Field(row.Info.MusicName, sizeof row.Info.MusicName, title.toUtf8());
    CopyUtf8Field(row.Info.Artist, sizeof row.Info.Artist, Words(dice, 3).toUtf8());
    CopyUtf8Field(row.Info.Album, sizeof row.Info.Album, Words(dice, 3).toUtf8());
    CopyUtf8Field(row.Info.Genre, sizeof row.Info.Genre,
                  QByteArray(kGenres[dice.Below(sizeof kGenres / sizeof *kGenres)]));
    const int seconds = 120 + dice.Below(360);
    row.TimeRecorded = QStringLiteral("%1:%2").arg(seconds / 60, 2, 10, QLatin1Char('0')).arg(seconds % 60, 2, 10,
                                                                                              QLatin1Char('0'));
    const int minute = dice.Below(24 * 60);
    row.DateAdded = today.addDays(-dice.Below(730)).toString(QStringLiteral("MM/dd/yyyy"))
        + QStringLiteral(" %1:%2").arg(minute / 60, 2, 10, QLatin1Char('0')).arg(minute % 60, 2, 10, QLatin1Char('0'));
    return row;
}

}  // namespace bench_songs
