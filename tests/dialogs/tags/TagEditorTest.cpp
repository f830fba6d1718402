// The tag and cover editor against a real temporary library: a music
// database, a tagged MP3 and the program's pictures folder, opened through the
// library page's "Edit Music Tags" as the program does.
#include "CCoverWidget.h"
#include "CDefLineEdit.h"
#include "CEditCoverWidget.h"
#include "CListTreeItem.h"
#include "CMusicTagsEditDialog.h"
#include "CShowListWidget.h"
#include "CTagWriter.h"
#include "CTreeWidgetItem.h"
#include "DialogSeams.h"
#include "LibrarySeams.h"
#include "MusicDatabase.h"
#include "ViewsTestSupport.h"

#include "../../common/TypeText.h"

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QTest>
#include <QUrl>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <cstring>
#include <functional>
#include <memory>

namespace {
// Answers the page's own notices and counts them.
class TestPage : public CShowListWidget {
public:
    using CShowListWidget::CShowListWidget;
    QStringList notices;
protected:
    int AskQuestion(const QString& text, const QList<DialogButtonInfo>&, bool, bool*) override
    {
        notices << text;
        return QDialogButtonBox::Ok;
    }
};

QByteArray Bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}


void Press(QDialogButtonBox* box, QDialogButtonBox::StandardButton which)
{
    box->button(which)->click();
}

void DropFiles(QWidget* target, const QStringList& files)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& f : files)
        urls << QUrl::fromLocalFile(f);
    mime.setUrls(urls);
    // Qt hands a drop to the widget that took the drag when it entered.
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

QString Tag(TagLib::ID3v2::Tag* tag, const char* frame)
{
    const TagLib::ID3v2::FrameList list = tag->frameListMap()[frame];
    return list.isEmpty() ? QString() : QString::fromUtf8(list.front()->toString().toCString(true));
}
} // namespace

class TagEditorTest : public LibraryDbTest {
protected:
    void SetUp() override
    {
        LibraryDbTest::SetUp();
        song = Path("Old Name.mp3");
        WriteFile(song, Mp3Bytes());
        programCover = PicturesFolder() + "/cover1.png";
        sharedCover = PicturesFolder() + "/shared.png";
        userCover = Path("mine.png");
        WriteImage(programCover, Qt::red);
        WriteImage(sharedCover, Qt::yellow);
        WriteImage(userCover, Qt::blue);

        MusicInfoRow row = MakeRow(1, "Old Title", "Old Artist", "Old Album", "Rock;Pop;", DateText(0), song);
        SET_FIELD(row.Info.Year, "1999");
        ASSERT_EQ(DB_SetMusicInfo(&row), 0);
        DB_SetImageInfo(11, 1, programCover.toUtf8().constData());
        DB_SetImageInfo(12, 1, userCover.toUtf8().constData());
        DB_SetImageInfo(13, 1, sharedCover.toUtf8().constData());
        AddSong(2, "Other", "Someone", "Else", "Jazz;", DateText(0), Path("other.mp3"));
        WriteFile(Path("other.mp3"), "other song");
        DB_SetImageInfo(21, 2, sharedCover.toUtf8().constData());
        // The song's file carries the old data, as recorded.
        CShowListWidget::WriteMusicTags(Stored(1).get());

        Build();

        SetQuestionAsker([this](QWidget*, const QString& text, const QList<DialogButtonInfo>&, bool, bool*) {
            messages << text;
            return int(QDialogButtonBox::Ok);
        });
        SetPictureFileChooser([this](QWidget*, const QString&, const QString& folder, const QString& filter) {
            chooserFolder = folder;
            chooserFilter = filter;
            return picked;
        });
        SetTagEditorRunner([this](MusicInfoRow* record, QWidget* parent) {
            CMusicTagsEditDialog dialog(record, parent);
            if (script)
                script(dialog);
            return dialog.result() == QDialog::Accepted;
        });
    }
    void TearDown() override
    {
        SetTagEditorRunner(nullptr);
        SetPictureFileChooser(nullptr);
        SetQuestionAsker(nullptr);
        delete page;
        page = nullptr;
        qDeleteAll(entries);
        entries.clear();
        LibraryDbTest::TearDown();
    }
    void Build()
    {
        entries = StoredListEntries();
        page = new TestPage(entries, nullptr, nullptr);
        page->resize(800, 500);
        page->ShowList(1);
    }
    // The page read again from the database.
    void Rebuild()
    {
        delete page;   // closes the database, as the program's quit does
        qDeleteAll(entries);
        entries.clear();
        ASSERT_EQ(DB_OpenDatabaseFile(dir.path() + "/music.db"), 0);
        Build();
    }
    // A fresh library for the next case of a table.
    void Reset()
    {
        TearDown();
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        messages.clear();
        picked.clear();
        script = nullptr;
        SetUp();
    }
    CTreeWidgetItem* Row(int id) const { return page->GetItemsByMusicId({id}).value(0); }
    // Everything a Save may touch: both songs' records with their covers,
    // and every file and folder of the test (the database file aside).
    QString Snapshot()
    {
        QStringList lines;
        for (int id : {1, 2}) {
            const auto r = Stored(id);
            if (!r) {
                lines << QString("song %1 missing").arg(id);
                continue;
            }
            QString line = QString("song %1|%2|%3|%4|%5|%6|%7|%8|%9")
                               .arg(id)
                               .arg(QString::fromUtf8(r->Info.MusicName), QString::fromUtf8(r->Info.Artist),
                                    QString::fromUtf8(r->Info.Album), QString::fromUtf8(r->Info.Year),
                                    QString::fromUtf8(r->Info.Genre), r->MusicPath)
                               .arg(r->ImageId)
                               .arg(r->Info.CoverCount);
            for (int i = 0; i < r->Info.CoverCount; ++i)
                line += QString("|%1=%2").arg(r->Info.CoverIds[i]).arg(QString::fromUtf8(r->Info.CoverPaths[i]));
            lines << line;
        }
        QDirIterator it(dir.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (QFileInfo(path).fileName().startsWith("music.db") || path.contains("/.config/")
                || path.contains("/.local/"))
                continue;
            const QByteArray hash = QFileInfo(path).isDir()
                ? QByteArray("folder")
                : QCryptographicHash::hash(Bytes(path), QCryptographicHash::Md5).toHex();
            lines << path.mid(dir.path().size()) + " " + QString::fromLatin1(hash);
        }
        lines.sort();
        return lines.join('\n');
    }
    QString Jpeg(const QString& name, Qt::GlobalColor color)
    {
        const QString path = Path(name);
        QImage image(24, 24, QImage::Format_RGB32);
        image.fill(color);
        EXPECT_TRUE(image.save(path, "JPG"));
        return path;
    }

    QList<CListTreeItem*> entries;
    TestPage* page = nullptr;
    QString song, programCover, sharedCover, userCover;
    QStringList messages;
    QStringList picked;
    QString chooserFolder, chooserFilter;
    std::function<void(CMusicTagsEditDialog&)> script;
};

TEST_F(TagEditorTest, SaveBringsRowDatabaseFileNameAndTagsIntoStep)
{
    const QString outside = Jpeg("outside pic.jpg", Qt::cyan);
    const QString dropped = Path("Dropped #1 \xc3\x84.png");
    WriteImage(dropped, Qt::magenta);
    int changed = 0;
    QObject::connect(page, &CShowListWidget::MusicItemInfoChanged, [&] { ++changed; });

    script = [&](CMusicTagsEditDialog& d) {
        EXPECT_EQ(d.TitleEdit()->GetText(), QStringLiteral("Old Title"));
        TypeText(d.TitleEdit(), "New Title");
        TypeText(d.ArtistEdit(), "New Artist");
        TypeText(d.AlbumEdit(), "New Album");
        TypeText(d.YearEdit(), "0042");
        d.GenreBox()->setCurrentIndex(1);   // Pop
        d.DeleteButton()->click();          // the chosen program picture
        picked = QStringList{outside};
        d.AddButton()->click();
        DropFiles(d.CoverWidget(), {dropped});
        ASSERT_EQ(d.CoverWidget()->Tiles().size(), 4);
        QTest::mouseClick(d.CoverWidget()->Tiles().at(3), Qt::LeftButton);
        Press(d.ButtonBox(), QDialogButtonBox::Ok);
    };
    page->EditTagsMusic(Row(1));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(chooserFolder, PicturesFolder());
    EXPECT_TRUE(chooserFilter.contains("*.jpg"));

    // The database.
    const auto r = Stored(1);
    ASSERT_TRUE(r);
    EXPECT_STREQ(r->Info.MusicName, "New Title");
    EXPECT_STREQ(r->Info.Artist, "New Artist");
    EXPECT_STREQ(r->Info.Album, "New Album");
    EXPECT_STREQ(r->Info.Year, "42");
    EXPECT_STREQ(r->Info.Genre, "Pop;Rock;");
    ASSERT_EQ(r->Info.CoverCount, 4);
    EXPECT_EQ(r->ImageId, 3);
    EXPECT_EQ(r->Info.CoverIds[0], 12);
    EXPECT_EQ(QString::fromUtf8(r->Info.CoverPaths[0]), userCover);
    EXPECT_EQ(r->Info.CoverIds[1], 13);
    EXPECT_EQ(QString::fromUtf8(r->Info.CoverPaths[1]), sharedCover);
    // New pictures are copies in the pictures folder, named by time and slot.
    const QRegularExpression stamp("^\\d\\d_\\d\\d_\\d{4}_\\d\\d_\\d\\d_\\d\\d_(\\d)\\.(jpg|png)$");
    const QString copies[] = {QString::fromUtf8(r->Info.CoverPaths[2]), QString::fromUtf8(r->Info.CoverPaths[3])};
    const QString originals[] = {outside, dropped};
    for (int i = 0; i < 2; ++i) {
        const QFileInfo copy(copies[i]);
        EXPECT_EQ(copy.absolutePath(), PicturesFolder());
        const auto m = stamp.match(copy.fileName());
        ASSERT_TRUE(m.hasMatch()) << copy.fileName().toStdString();
        EXPECT_EQ(m.captured(1).toInt(), i + 2);
        EXPECT_EQ(Bytes(copies[i]), Bytes(originals[i]));
        EXPECT_GT(r->Info.CoverIds[2 + i], 0);
        EXPECT_TRUE(QFile::exists(originals[i]));
    }
    EXPECT_NE(r->Info.CoverIds[2], r->Info.CoverIds[3]);
    // The dropped program picture: its row and its file went.
    EXPECT_EQ(DB_GetImageId(programCover), 0);
    EXPECT_FALSE(QFile::exists(programCover));
    EXPECT_TRUE(QFile::exists(userCover));
    EXPECT_TRUE(QFile::exists(sharedCover));

    // The file name and the row.
    const QString renamed = Path("New Title.mp3");
    EXPECT_EQ(r->MusicPath, renamed);
    EXPECT_TRUE(QFile::exists(renamed));
    EXPECT_FALSE(QFile::exists(song));
    CTreeWidgetItem* row = Row(1);
    EXPECT_EQ(row->GetMusicPath(), renamed);
    EXPECT_EQ(row->text(CTreeWidgetItem::ColName), QStringLiteral("New Title"));
    EXPECT_EQ(row->text(CTreeWidgetItem::ColArtist), QStringLiteral("New Artist"));
    EXPECT_EQ(row->GetCoverPath(), copies[1]);

    // The file's own tags follow on the worker.
    EXPECT_TRUE(row->IsBusy());
    page->TagWriter()->WaitUntilIdle();
    EXPECT_FALSE(row->IsBusy());
    TagLib::MPEG::File mp3(renamed.toUtf8().constData());
    ASSERT_TRUE(mp3.hasID3v2Tag());
    TagLib::ID3v2::Tag* tag = mp3.ID3v2Tag();
    EXPECT_EQ(Tag(tag, "TIT2"), QStringLiteral("New Title"));
    EXPECT_EQ(Tag(tag, "TPE1"), QStringLiteral("New Artist"));
    EXPECT_EQ(Tag(tag, "TALB"), QStringLiteral("New Album"));
    EXPECT_EQ(Tag(tag, "TDRC"), QStringLiteral("42"));
    const TagLib::ID3v2::FrameList genres = tag->frameListMap()["TCON"];
    ASSERT_EQ(genres.size(), 1u);
    const auto* genre = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(genres.front());
    ASSERT_TRUE(genre);
    EXPECT_EQ(genre->fieldList().toString(";").to8Bit(true), "Pop;Rock");
    const TagLib::ID3v2::FrameList pictures = tag->frameListMap()["APIC"];
    ASSERT_EQ(pictures.size(), 1u);
    const auto* picture = static_cast<TagLib::ID3v2::AttachedPictureFrame*>(pictures.front());
    EXPECT_EQ(QByteArray(picture->picture().data(), int(picture->picture().size())), Bytes(dropped));
    EXPECT_TRUE(QDir(dir.path()).entryList({".sonacap-tagged-*", ".capdev-tags-*"}, QDir::Hidden | QDir::Files).isEmpty());
}

TEST_F(TagEditorTest, CancelChangesNothing)
{
    const QString outside = Jpeg("outside.jpg", Qt::cyan);
    const struct {
        const char* name;
        std::function<void(CMusicTagsEditDialog&)> end;
    } cases[] = {
        {"Cancel", [](CMusicTagsEditDialog& d) { Press(d.ButtonBox(), QDialogButtonBox::Cancel); }},
        {"Escape", [](CMusicTagsEditDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString before = Snapshot();
        int changed = 0;
        auto conn = QObject::connect(page, &CShowListWidget::MusicItemInfoChanged, [&] { ++changed; });
        script = [&](CMusicTagsEditDialog& d) {
            TypeText(d.TitleEdit(), "Never Stored");
            TypeText(d.ArtistEdit(), "Nobody");
            TypeText(d.YearEdit(), "2001");
            d.GenreBox()->setEditText("Jazz");
            d.DeleteButton()->click();
            picked = QStringList{outside};
            d.AddButton()->click();
            c.end(d);
            EXPECT_EQ(d.result(), QDialog::Rejected);
        };
        page->EditTagsMusic(Row(1));
        QObject::disconnect(conn);
        EXPECT_EQ(changed, 0);
        EXPECT_FALSE(Row(1)->IsBusy());
        EXPECT_EQ(Snapshot(), before);
        EXPECT_EQ(Row(1)->text(CTreeWidgetItem::ColName), QStringLiteral("Old Title"));
    }
}

TEST_F(TagEditorTest, AFailedSaveLeavesRowDatabaseAndFilesAsTheyWere)
{
    struct Case {
        const char* name;
        std::function<void()> fault;   // after the edits, before OK
        std::function<void()> mend;    // after OK
    };
    const Case cases[] = {
        {"the picked picture is gone before the copy", [this] { QFile::remove(Path("outside.jpg")); }, [] {}},
        {"a folder holds the title's file name", [this] { QDir().mkdir(Path("New Title.mp3")); }, [] {}},
        {"the library cannot store the covers", [] { DB_CloseDatabase(); },
         [this] { ASSERT_EQ(DB_OpenDatabaseFile(dir.path() + "/music.db"), 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        const QString outside = Jpeg("outside.jpg", Qt::cyan);
        QString before;
        bool stillOpen = false;
        script = [&](CMusicTagsEditDialog& d) {
            TypeText(d.TitleEdit(), "New Title");
            TypeText(d.ArtistEdit(), "New Artist");
            d.DeleteButton()->click();   // the program picture nothing else names
            picked = QStringList{outside};
            d.AddButton()->click();
            c.fault();
            if (DB_IsOpen())
                before = Snapshot();
            Press(d.ButtonBox(), QDialogButtonBox::Ok);
            c.mend();
            if (before.isEmpty())
                before = Snapshot();
            stillOpen = d.result() != QDialog::Accepted;
        };
        // The database case takes its picture after reopening: compare
        // against the state before the fault instead.
        const QString untouched = Snapshot();
        page->EditTagsMusic(Row(1));
        EXPECT_TRUE(stillOpen);
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages.first().contains("Nothing was changed")) << messages.first().toStdString();
        const QString after = Snapshot();
        EXPECT_EQ(after, before);
        if (!DB_IsOpen())
            continue;
        EXPECT_TRUE(QFile::exists(song));
        EXPECT_TRUE(QFile::exists(programCover));
        EXPECT_EQ(Row(1)->GetMusicPath(), song);
        EXPECT_EQ(Row(1)->text(CTreeWidgetItem::ColName), QStringLiteral("Old Title"));
        EXPECT_FALSE(Row(1)->IsBusy());
        if (QByteArray(c.name).startsWith("the library")) {
            EXPECT_EQ(after, untouched);
        }
    }
}

TEST_F(TagEditorTest, PicturesAndNamesOthersStillUseStay)
{
    // A file of the new title's name exists already; a folder of the same
    // name as the pictures folder but in other letter case is not it.
    WriteFile(Path("New Title.mp3"), "someone else's song");
    const QString otherCase = dir.path() + "/home/pictures/tavrel/sonacap";
    QDir().mkpath(otherCase);
    const QString lower = otherCase + "/lower.png";
    WriteImage(lower, Qt::darkGreen);

    script = [&](CMusicTagsEditDialog& d) {
        TypeText(d.TitleEdit(), "New Title");
        // Every candidate goes: the program picture, the user's own one and
        // the one another song shares.
        for (int i = 0; i < 3; ++i)
            d.DeleteButton()->click();
        EXPECT_FALSE(d.DeleteButton()->isEnabled());
        // The program picture comes back, picked from the pictures folder.
        picked = QStringList{programCover, lower};
        d.AddButton()->click();
        Press(d.ButtonBox(), QDialogButtonBox::Ok);
    };
    page->EditTagsMusic(Row(1));
    EXPECT_TRUE(messages.isEmpty());

    const auto r = Stored(1);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->MusicPath, Path("New Title 1.mp3"));
    EXPECT_EQ(Bytes(Path("New Title.mp3")), QByteArray("someone else's song"));
    ASSERT_EQ(r->Info.CoverCount, 2);
    EXPECT_EQ(QString::fromUtf8(r->Info.CoverPaths[0]), programCover);   // not copied again
    const QString copy = QString::fromUtf8(r->Info.CoverPaths[1]);
    EXPECT_EQ(QFileInfo(copy).absolutePath(), PicturesFolder());
    EXPECT_EQ(Bytes(copy), Bytes(lower));
    for (const QString& kept : {programCover, userCover, sharedCover, lower})
        EXPECT_TRUE(QFile::exists(kept)) << kept.toStdString();
    // The shared picture keeps the other song's row; this song's rows went.
    EXPECT_EQ(DB_GetImageId(sharedCover), 1);
    EXPECT_EQ(DB_GetImageId(userCover), 0);
    const auto other = Stored(2);
    ASSERT_EQ(other->Info.CoverCount, 1);
    EXPECT_EQ(other->Info.CoverIds[0], 21);
    page->TagWriter()->WaitUntilIdle();
}

TEST_F(TagEditorTest, FieldsShowAndStoreTheRecordsTexts)
{
    struct Case {
        const char* name;
        const char* genre;                  // stored before
        QStringList items;                  // the box shows
        std::function<void(QComboBox*)> pick;
        const char* stored;                 // genre text after OK
    };
    const Case cases[] = {
        {"choose the second", "Rock;Pop;", {"Rock", "Pop"}, [](QComboBox* b) { b->setCurrentIndex(1); }, "Pop;Rock;"},
        {"no final separator", "Rock;Pop", {"Rock"}, nullptr, "Rock;"},
        {"empty part ends the text", "Rock;;Pop;", {"Rock"}, nullptr, "Rock;"},
        {"leading empty part", ";Rock;", {"", "Rock"}, [](QComboBox* b) { b->setCurrentIndex(1); }, ";Rock;"},
        {"one genre without separator", "Jazz", {"Jazz"}, nullptr, "Jazz;"},
        {"a genre twice", "Rock;Pop;Rock;", {"Rock", "Pop"}, nullptr, "Rock;Pop;"},
        {"typed over the first", "Rock;", {"Rock"}, [](QComboBox* b) { b->setEditText("Jazz"); }, "Jazz;Rock;"},
        {"no genre", "", {"Other"}, nullptr, "Other;"},
        {"six genres keep five", "A;B;C;D;E;F;", {"A", "B", "C", "D", "E", "F"},
         [](QComboBox* b) { b->setCurrentIndex(5); }, "F;A;B;C;D;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = Stored(1);
        SET_FIELD(r->Info.Genre, QString::fromUtf8(c.genre));
        DB_UpdateMusicInfo(r.get());
        script = [&](CMusicTagsEditDialog& d) {
            QStringList items;
            for (int i = 0; i < d.GenreBox()->count(); ++i)
                items << d.GenreBox()->itemText(i);
            EXPECT_EQ(items, c.items);
            if (c.pick)
                c.pick(d.GenreBox());
            Press(d.ButtonBox(), QDialogButtonBox::Ok);
        };
        page->EditTagsMusic(Row(1));
        EXPECT_STREQ(Stored(1)->Info.Genre, c.stored);
    }

    // Years lose their leading zeros; the field takes four digits at most.
    const struct {
        const char* typed;
        const char* stored;
    } years[] = {{"0042", "42"}, {"0000", ""}, {"2024", "2024"}, {"12345", "1234"}, {"19a9", "199"}};
    for (const auto& y : years) {
        SCOPED_TRACE(y.typed);
        script = [&](CMusicTagsEditDialog& d) {
            TypeText(d.YearEdit(), y.typed);
            Press(d.ButtonBox(), QDialogButtonBox::Ok);
        };
        page->EditTagsMusic(Row(1));
        EXPECT_STREQ(Stored(1)->Info.Year, y.stored);
    }
    page->TagWriter()->WaitUntilIdle();
}

TEST_F(TagEditorTest, AnUntitledSongShowsItsFileNameAndTheCoverButtonsFollowTheCount)
{
    // A song without a title shows its file's name without the extension
    // (not cut at its first dot), stores it as the title and keeps its file
    // name (the name already holds it).
    auto r = Stored(1);
    SET_FIELD(r->Info.MusicName, "");
    const QString dotted = Path("My.Song.mp3");
    ASSERT_TRUE(QFile::rename(song, dotted));
    r->MusicPath = dotted;
    DB_UpdateMusicInfo(r.get());
    Rebuild();
    const QString a = Jpeg("a.jpg", Qt::red), b = Jpeg("b.jpg", Qt::green);
    script = [&](CMusicTagsEditDialog& d) {
        EXPECT_EQ(d.TitleEdit()->GetText(), QStringLiteral("My.Song"));
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Music Tags Edit"));
        EXPECT_EQ(d.TitleEdit()->maxLength(), 127);
        EXPECT_EQ(d.YearEdit()->maxLength(), 4);
        EXPECT_TRUE(d.AddButton()->isEnabled());
        EXPECT_TRUE(d.DeleteButton()->isEnabled());
        // Five candidates: Add is off; a sixth picked one is not taken.
        picked = QStringList{a, b, Jpeg("c.jpg", Qt::blue)};
        d.AddButton()->click();
        EXPECT_EQ(d.CoverWidget()->CoverCount(), 5);
        EXPECT_FALSE(d.AddButton()->isEnabled());
        d.DeleteButton()->click();
        EXPECT_TRUE(d.AddButton()->isEnabled());
        // A file that is no picture stops the ones after it.
        WriteFile(Path("bad.jpg"), "text");
        picked = QStringList{Path("bad.jpg"), a};
        d.AddButton()->click();
        EXPECT_EQ(d.CoverWidget()->CoverCount(), 4);
        Press(d.ButtonBox(), QDialogButtonBox::Ok);
    };
    page->EditTagsMusic(Row(1));
    EXPECT_STREQ(Stored(1)->Info.MusicName, "My.Song");
    EXPECT_EQ(Stored(1)->MusicPath, dotted);
    EXPECT_EQ(Stored(1)->Info.CoverCount, 4);
    page->TagWriter()->WaitUntilIdle();
}

TEST_F(TagEditorTest, AFileThatTakesNoTagsStaysAsItWasAndTheUserHearsOfIt)
{
    WriteFile(song, QByteArray(5000, 'z'));   // named like an MP3, but none
    script = [&](CMusicTagsEditDialog& d) {
        TypeText(d.ArtistEdit(), "Someone New");
        Press(d.ButtonBox(), QDialogButtonBox::Ok);
    };
    page->EditTagsMusic(Row(1));
    EXPECT_TRUE(page->notices.isEmpty());
    page->TagWriter()->WaitUntilIdle();
    // The library has the new data; the file is untouched, and the user is told.
    EXPECT_STREQ(Stored(1)->Info.Artist, "Someone New");
    const QString file = Stored(1)->MusicPath;
    EXPECT_EQ(Bytes(file), QByteArray(5000, 'z'));
    ASSERT_EQ(page->notices.size(), 1);
    EXPECT_TRUE(page->notices.first().contains(file)) << page->notices.first().toStdString();
    EXPECT_FALSE(Row(1)->IsBusy());
}

TEST_F(TagEditorTest, ALongTitleNamesTheFileAsTheRecordKeepsIt)
{
    // 100 Japanese characters are 300 bytes of UTF-8; the record keeps 127.
    const QString title = QString(100, QChar(0x97f3));
    script = [&](CMusicTagsEditDialog& d) {
        TypeText(d.TitleEdit(), "x");
        d.TitleEdit()->setText(title);   // pasted: the test keyboard knows ASCII only
        Press(d.ButtonBox(), QDialogButtonBox::Ok);
    };
    page->EditTagsMusic(Row(1));
    const auto r = Stored(1);
    const QString kept = QString::fromUtf8(r->Info.MusicName);
    EXPECT_EQ(kept, title.left(42));
    EXPECT_EQ(r->MusicPath, Path(kept + ".mp3"));
    EXPECT_TRUE(QFile::exists(r->MusicPath));
    page->TagWriter()->WaitUntilIdle();
}

TEST(DefLineEditTest, ALongValueShowsCutUntilFocusedAndIsKeptWhole)
{
    const QString value = QString("A rather long title that cannot fit a narrow field ").repeated(2);
    CDefLineEdit edit(value, nullptr);
    // As the dialog's layout sizes it, before anything has the focus.
    edit.resize(80, 24);
    QResizeEvent narrow(QSize(80, 24), QSize(200, 24));
    QApplication::sendEvent(&edit, &narrow);
    EXPECT_LT(edit.text().size(), value.size());
    EXPECT_TRUE(value.startsWith(edit.text()));
    EXPECT_LE(edit.fontMetrics().horizontalAdvance(edit.text()), 80);
    EXPECT_EQ(edit.GetText(), value);

    // Focused, it shows and edits the whole text.
    QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
    QApplication::sendEvent(&edit, &in);
    EXPECT_EQ(edit.text(), value);
    QResizeEvent narrower(QSize(60, 24), QSize(80, 24));
    QApplication::sendEvent(&edit, &narrower);
    EXPECT_EQ(edit.text(), value);
    edit.setText("Short");
    EXPECT_EQ(edit.GetText(), QStringLiteral("Short"));
}
