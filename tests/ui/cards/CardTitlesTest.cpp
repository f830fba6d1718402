// Long titles on the pop-up list's rows and on the artwork card, under the
// program's font and style sheet: shortened at the end only, and narrow
// enough for their place in the font they are painted in.
#include "../../common/ProgramLook.h"

#include "CMiniListItem.h"
#include "CShowDownloadingItem.h"
#include "MusicDatabase.h"
#include "MusicRecords.h"

#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Wide and non-ASCII: umlauts, a sharp s and a note outside the BMP.
const QString kTitle = QString::fromUtf8("Long Title \xc3\x84x\xc3\x84x\xc3\x84x\xc3\x84x \xc3\x9c"
                                         "ber Stra\xc3\x9f" "e \xf0\x9d\x84\x9e\xf0\x9d\x84\x9e "
                                         "W\xc3\x84W\xc3\x84W\xc3\x84W\xc3\x84W\xc3\x84W\xc3\x84 Ende");
const QString kArtist = QString::fromUtf8("\xc3\x84rzte Orchester und Ch\xc3\xb6re der Stadt M\xc3\xbcnchen");

class CardTitlesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(0, DB_OpenDatabaseFile(Folder().path() + "/music.db"));
        MusicInfoRow row;
        row.MusicId = kSongId;
        CopyUtf8Field(row.Info.MusicName, sizeof row.Info.MusicName, kTitle.toUtf8());
        CopyUtf8Field(row.Info.Artist, sizeof row.Info.Artist, kArtist.toUtf8());
        row.TimeRecorded = QStringLiteral("03:41");
        row.MusicPath = Folder().path() + "/song.mp3";
        ASSERT_EQ(0, DB_SetMusicInfo(&row));
    }
    static void TearDownTestSuite() { DB_CloseDatabase(); }
    void TearDown() override
    {
        qApp->setStyleSheet(QString());
        SetInterfaceScale(1.0);
    }
    static QTemporaryDir& Folder()
    {
        static QTemporaryDir folder;
        return folder;
    }
    static constexpr int kSongId = 4711;
};

// The shown text of `label` against the full text: a start of it, cut only
// at its end, and no wider than the label in the font it paints with.
void ExpectFitsFromTheStart(QLabel* label, const QString& full)
{
    label->ensurePolished();
    const QString shown = label->text();
    ASSERT_TRUE(shown.endsWith(QStringLiteral("..."))) << shown.toStdString();
    const QString kept = shown.left(shown.size() - 3);
    EXPECT_GE(kept.size(), 4) << shown.toStdString();
    EXPECT_TRUE(full.startsWith(kept)) << shown.toStdString();
    EXPECT_FALSE(kept.at(kept.size() - 1).isHighSurrogate()) << "half a character";
    EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(shown), label->contentsRect().width())
        << shown.toStdString() << " in " << label->font().toString().toStdString();
}

TEST_F(CardTitlesTest, MiniListRowsFitTheirLabelsInThePaintedFont)
{
    for (const double scale : {1.0, 1.5}) {
        SCOPED_TRACE(scale);
        ASSERT_TRUE(program_look::Use(scale)) << "skin.rcc or the interface font is missing from the build";
        QWidget list;
        CMiniListItem row(&list);
        row.SetMusicId(kSongId);
        ASSERT_TRUE(row.TitleLabel()->font().bold()) << "the style sheet's font is in force";
        ExpectFitsFromTheStart(row.TitleLabel(), kTitle);
        ExpectFitsFromTheStart(row.ArtistLabel(), kArtist);

        // A label's font changes under a filled row: its text is shortened
        // again from the whole title, for the new font.
        const QString before = row.TitleLabel()->text();
        QFont wide(QStringLiteral("DejaVu Sans Mono"));
        wide.setPixelSize(static_cast<int>(14.0 * scale));
        wide.setBold(true);
        row.TitleLabel()->setFont(wide);
        ExpectFitsFromTheStart(row.TitleLabel(), kTitle);
        EXPECT_NE(before, row.TitleLabel()->text());
    }
}

// Both shortenings at every width: a start of the text cut between whole
// characters (never half of a surrogate pair, never a letter without its
// accent) that fits.
TEST_F(CardTitlesTest, ShorteningNeverSplitsACharacter)
{
    const QString texts[] = {
        QString::fromUtf8("\xf0\x9d\x84\x9e\xf0\x9d\x84\x9e\xf0\x9d\x84\x9e\xf0\x9d\x84\x9e"
                          "\xf0\x9d\x84\x9e\xf0\x9d\x84\x9e\xf0\x9d\x84\x9e\xf0\x9d\x84\x9e"),
        QString::fromUtf8("A\xcc\x88" "A\xcc\x88" "A\xcc\x88" "A\xcc\x88" "A\xcc\x88" "A\xcc\x88"
                          "A\xcc\x88" "A\xcc\x88" "A\xcc\x88" "A\xcc\x88"),
        kTitle,
    };
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    font.setBold(true);
    const QFontMetrics metrics(font);
    const auto expectWhole = [&](const QString& text, const QString& shown, int width, const char* how) {
        ASSERT_TRUE(shown.endsWith(QStringLiteral("..."))) << how << " " << width;
        const QString kept = shown.left(shown.size() - 3);
        EXPECT_TRUE(text.startsWith(kept)) << how << " " << width;
        if (!kept.isEmpty()) {
            EXPECT_FALSE(kept.at(kept.size() - 1).isHighSurrogate()) << how << " " << width;
            EXPECT_NE(text.at(kept.size()).category(), QChar::Mark_NonSpacing) << how << " " << width;
        }
        EXPECT_LE(metrics.horizontalAdvance(shown), width) << how << " " << width;
    };
    for (const QString& text : texts) {
        for (int width = 30; width < metrics.horizontalAdvance(text); width += 3) {
            expectWhole(text, CShowDownloadingItem::Elide(text, metrics, width), width, "artwork");
            expectWhole(text, CMiniListItem::ElideForLabel(text, font, width - 12, width), width, "row");
        }
    }
}

}  // namespace
