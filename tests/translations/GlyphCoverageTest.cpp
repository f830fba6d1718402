// Every translated text of the program can be read: painted in the interface
// font the program installs beside itself, with the system's fonts filling in
// what it lacks (through fontconfig), no character comes out as an empty box.
// Japanese was all boxes, its name in the language list too, on a machine
// without a font for it.
#include "../common/ProgramLook.h"

#include <QApplication>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>
#include <gtest/gtest.h>

namespace {

// The characters of `text` that no font here draws.
QString MissingCharacters(const QString& text, const QFont& font)
{
    QString flat = text;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    QTextLayout layout(flat, font);
    layout.beginLayout();
    while (layout.createLine().isValid()) {
    }
    layout.endLayout();
    QString missing;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QVector<quint32> glyphs = run.glyphIndexes();
        if (!glyphs.contains(0))
            continue;
        // Which characters: those the run's font has no glyph for.
        const QRawFont raw = run.rawFont();
        for (const QChar c : flat) {
            if (!c.isSpace() && !raw.supportsCharacter(c) && !missing.contains(c))
                missing += c;
        }
    }
    return missing;
}

class GlyphCoverage : public ::testing::TestWithParam<const char*> {};

}  // namespace

TEST_P(GlyphCoverage, EveryTranslatedTextHasItsCharacters)
{
    ASSERT_TRUE(program_look::Use(1.0)) << "skin.rcc or the interface font is missing from the build";
    const QHash<QString, QString> translations = program_look::Translations(QString::fromLatin1(GetParam()));
    ASSERT_FALSE(translations.isEmpty());
    QFont bold = QApplication::font();
    bold.setBold(true);
    QStringList unreadable;
    for (const QString& text : translations) {
        for (const QFont& font : {QApplication::font(), bold}) {
            const QString missing = MissingCharacters(text, font);
            if (!missing.isEmpty()) {
                unreadable << missing + QStringLiteral(" in \"") + text + QLatin1Char('"');
                break;
            }
        }
    }
    EXPECT_TRUE(unreadable.isEmpty())
        << unreadable.size() << " texts come out with empty boxes (no font here has the characters; "
        << "scripts/install-deps.sh installs one):\n  " << unreadable.mid(0, 10).join("\n  ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Languages, GlyphCoverage, ::testing::Values("de", "jp", "rus"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });
