// The main window when things go wrong, against the fake engine: closing
// right after Stop, songs cut short, a lost sound server, a library that
// cannot take new songs, start failures and their reasons, a play list
// deleted by the Delete key.
#include "MainUITestSupport.h"

#include "../../common/DamagedFile.h"

#include "CAppSettings.h"
#include "CListTreeItem.h"
#include "CMusicInfoTreeWidget.h"
#include "CShowListWidget.h"
#include "CToolBar.h"
#include "CTreeLib.h"
#include "CTreeWidgetItem.h"
#include "MusicDatabase.h"
#include "RecordingProbes.h"
#include "SongRecordFields.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cstring>
#include <memory>

namespace {

class MainUIFaultsTest : public FakeEngineWindowTest {
protected:
    void SetUp() override
    {
        FakeEngineWindowTest::SetUp();
        settings->SetOutputFileType(1);
    }
    // A song the fake engine "writes": its file, then code 2.
    QString StartSong(const QString& name, double seconds = 3)
    {
        const QString path = OutputFolder() + "/" + name + ".wav";
        WriteToneWav(path, seconds);
        factory.engine->SongStart(path);
        EXPECT_TRUE(WaitFor([&] { return !window->OpenSongPath().isEmpty(); }));
        WaitFor([] { return false; }, 50);
        return path;
    }
    // Runs a statement on the library file, behind the program's back.
    void OnLibraryFile(const char* sql)
    {
        DB_CloseDatabase();
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((settings->GetLogPath() + "/music.db").toUtf8().constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
        ASSERT_EQ(DB_OpenDatabase(), 0);
    }
    // The library's songs (a finished song not recognised is renamed
    // "Track...", so rows are found by what they hold, not by the old name).
    QList<MusicInfoRow> Songs()
    {
        QMap<int, MusicInfoRow*> rows;
        DB_GetAllMusicInfo(rows);
        QList<MusicInfoRow> out;
        for (MusicInfoRow* r : rows)
            out.append(*r);
        qDeleteAll(rows);
        return out;
    }
    // The one song of the library, whose file must exist.
    MusicInfoRow OnlySong()
    {
        const QList<MusicInfoRow> songs = Songs();
        EXPECT_EQ(songs.size(), 1);
        if (songs.isEmpty())
            return MusicInfoRow();
        EXPECT_TRUE(QFile::exists(songs.first().MusicPath)) << songs.first().MusicPath.toStdString();
        return songs.first();
    }
};

// Stop, then close at once, while the engine still finishes the song (a
// six-channel MP3 is mixed down after Stop): the close waits, a note comes
// up when that takes long, and the song ends up on disk and in the library.
TEST_F(MainUIFaultsTest, CloseRightAfterStopWaitsForTheSong)
{
    TestMainUI& w = Open();
    w.show();
    factory.engine->endSongOnStop = false;
    w.RecorderModuleStart();
    const QString path = StartSong("stopped", 4);
    w.RecorderModuleStop();
    ASSERT_EQ(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);

    EXPECT_FALSE(w.close()) << "the song is not finished yet";
    EXPECT_TRUE(w.IsClosePending());
    EXPECT_FALSE(w.close()) << "a second close waits too";
    EXPECT_TRUE(WaitFor([&] { return w.CloseNote() != nullptr; }, 3000)) << "a note while it takes long";
    EXPECT_TRUE(w.isVisible());

    factory.engine->SongEnd(path);
    EXPECT_TRUE(WaitFor([&] { return !w.isVisible(); })) << "the close goes on by itself";
    window.reset();
    DB_OpenDatabase();
    EXPECT_EQ(OnlySong().TimeRecorded, "00:04") << "the stopped song is in the library";
}

// The name an unrecognised song gets in the library.
const char* const kUntitled = "Track";

// The note's "Close now" does not wait, and still keeps the song: the engine
// finishes it while the window goes, and it is named as any song is.
TEST_F(MainUIFaultsTest, CloseNowFromTheNoteKeepsTheSong)
{
    TestMainUI& w = Open();
    w.show();
    factory.engine->endSongOnStop = false;
    w.RecorderModuleStart();
    const QString path = StartSong("closed-now", 4);
    w.RecorderModuleStop();
    EXPECT_FALSE(w.close());
    ASSERT_TRUE(WaitFor([&] { return w.CloseNote() != nullptr; }, 3000));
    w.CloseNote()->done(QDialogButtonBox::Ok);
    EXPECT_TRUE(WaitFor([&] { return !w.isVisible(); }));
    window.reset();  // the engine finishes the song on release
    DB_OpenDatabase();
    const MusicInfoRow song = OnlySong();
    EXPECT_EQ(song.MusicPath, OutputFolder() + "/" + kUntitled + ".wav") << "its row names the file";
    EXPECT_FALSE(QFile::exists(path)) << "not under the engine's name";
    EXPECT_EQ(song.TimeRecorded, "00:04");
}

// A close that is not carried out leaves everything as it was: the song
// goes on, and a later close still asks.
TEST_F(MainUIFaultsTest, DeclinedCloseChangesNothing)
{
    TestMainUI& w = Open();
    w.show();
    w.RecorderModuleStart();
    const QString path = StartSong("declined", 4);
    w.answers = {QDialogButtonBox::Cancel};
    EXPECT_FALSE(w.close());
    factory.engine->SongEnd(path);
    ASSERT_TRUE(WaitFor([&] { return w.SongsStored(); }));
    EXPECT_EQ(OnlySong().TimeRecorded, "00:04") << "songs finished after a declined close are stored";
    window.reset();
}

struct WriteFailureCase {
    const char* label;
    int reason;
    int error;
    bool kept;
    const char* expected;
    const char* title = nullptr;   // recognised: the song is renamed after it when it ends
};

void PrintTo(const WriteFailureCase& c, std::ostream* os) { *os << c.label; }

class WriteFailureNotice : public MainUIFaultsTest, public ::testing::WithParamInterface<WriteFailureCase> {};

// The engine cut a song short: the window stops recording (no question, no
// recognition notice), says why and where, and stores the song kept.
TEST_P(WriteFailureNotice, StopsAndSaysWhy)
{
    const WriteFailureCase& c = GetParam();
    TestMainUI& w = Open();
    w.RecorderModuleStart();
    const QString path = StartSong("cut");
    QString onDisk = OutputFolder() + "/" + kUntitled + ".wav";
    if (c.title) {
        ASSERT_TRUE(WaitFor([&] { return w.LibraryPage()->RecordingRow() != nullptr; }));
        RecordMusicInfo info;
        std::memset(&info, 0, sizeof info);
        CopyUtf8Field(info.MusicName, sizeof info.MusicName, QByteArray(c.title));
        w.LibraryPage()->SetNewRecordMusicInfo(&info);
        onDisk = OutputFolder() + "/" + c.title + ".wav";
    }
    factory.engine->SongEnd(c.kept ? path : QString());
    factory.engine->WriteFailed(c.reason, c.error, OutputFolder() + "/", c.kept ? path : QString());
    ASSERT_TRUE(WaitFor([&] { return w.SawText(c.expected); })) << c.label;
    EXPECT_TRUE(w.SawText(QDir::toNativeSeparators(OutputFolder())));
    EXPECT_TRUE(w.SawText(c.kept ? "is kept" : "No part of the last song"));
    if (c.kept) {
        // Named as it is on disk, not as the engine wrote it.
        EXPECT_TRUE(QFile::exists(onDisk));
        EXPECT_TRUE(w.SawText(QDir::toNativeSeparators(onDisk)));
        EXPECT_FALSE(w.SawText(QDir::toNativeSeparators(path)));
    }
    EXPECT_EQ(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);
    EXPECT_TRUE(w.IsRecordingStopped());
    EXPECT_EQ(w.DialogCount("guidialogExpire"), 0);
    EXPECT_FALSE(w.SawText("The current path is invalid!"));
    ASSERT_TRUE(WaitFor([&] { return w.SongsStored(); }));
    if (c.kept)
        EXPECT_EQ(OnlySong().TimeRecorded, "00:03");
    else
        EXPECT_TRUE(Songs().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, WriteFailureNotice,
    ::testing::Values(WriteFailureCase{"disk full", kSonacapReasonDiskFull, ENOSPC, true, "disk of the output folder is full"},
                      WriteFailureCase{"disk full after recognition", kSonacapReasonDiskFull, ENOSPC, true,
                                       "disk of the output folder is full", "A Title"},
                      WriteFailureCase{"folder gone", kSonacapReasonFolderNotWritable, ENOENT, false,
                                       "output folder cannot be written"},
                      WriteFailureCase{"io error", kSonacapReasonWriteError, EIO, true, "Input/output error"}),
    [](const ::testing::TestParamInfo<WriteFailureCase>& info) {
        std::string name = info.param.label;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

// A nearly full disk (code 6) is said as such, never as an invalid path.
TEST_F(MainUIFaultsTest, NearlyFullDiskIsNotAnInvalidPath)
{
    TestMainUI& w = Open();
    w.RecorderModuleStart();
    uint64_t freeBytes = 12u << 20;
    factory.engine->Send(kSonacapNotifyDiskFull, &freeBytes);
    ASSERT_TRUE(WaitFor([&] { return w.SawText("nearly full (12 MB free)"); }));
    EXPECT_FALSE(w.SawText("The current path is invalid!"));
    EXPECT_EQ(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);
}

// The sound server went away: the user is told while recording goes on, the
// notice goes by itself once capture is back, and a Record press meanwhile
// sets capture up again instead of trusting the old one.
TEST_F(MainUIFaultsTest, LostServerIsShownAndGoesAwayWhenItIsBack)
{
    TestMainUI& w = Open();
    w.RecorderModuleStart();
    factory.engine->Send(kSonacapNotifyCaptureLost, nullptr);
    ASSERT_TRUE(WaitFor([&] { return w.SawText("The sound server stopped delivering sound"); }));
    EXPECT_TRUE(w.IsCaptureLost());
    EXPECT_EQ(w.ControlBar()->StatusLabel()->text(), "Waiting for the sound server");
    EXPECT_NE(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording) << "recording goes on";
    factory.engine->Send(kSonacapNotifyCaptureRestored, nullptr);
    ASSERT_TRUE(WaitFor([&] { return !w.IsCaptureLost(); }));
    EXPECT_EQ(w.ControlBar()->StatusLabel()->text(), "Ready");

    w.RecorderModuleStop();
    factory.engine->Send(kSonacapNotifyCaptureLost, nullptr);
    ASSERT_TRUE(WaitFor([&] { return w.IsCaptureLost(); }));
    w.mixFormat = kProbeDenied;  // the only probe that ever let a start skip the set-up
    factory.engine->ClearCalls();
    w.RecorderModuleStart();
    const auto calls = factory.engine->Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "Reset"), calls.end());
}

// A failed probe is no sign that all is well: the engine is set up again.
TEST_F(MainUIFaultsTest, FailedProbeSetsTheEngineUpAgain)
{
    TestMainUI& w = Open();
    // A capture that runs as set up is kept: setting it up again would lose
    // the first moments of the song.
    struct Case {
        int probe;
        bool reset;
    } cases[] = {{kProbeFailed, true}, {kProbeGranted, false}, {kProbeDenied, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(w.IsNeedReset(c.probe), c.reset) << c.probe;
    }
}

// A hung server: one probe a press, a clear message, the engine untouched.
TEST_F(MainUIFaultsTest, HungServerRefusesTheStartWithAMessage)
{
    TestMainUI& w = Open();
    w.mixFormat = kProbeServerHung;
    factory.engine->ClearCalls();
    w.probes = 0;
    w.RecorderModuleStart();
    EXPECT_EQ(w.probes, 1);
    EXPECT_TRUE(w.SawText("The sound server does not answer"));
    EXPECT_TRUE(factory.engine->Calls().empty());
    EXPECT_EQ(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);

    w.mixFormat = kProbeGranted;
    w.probes = 0;
    w.RecorderModuleStart();
    EXPECT_EQ(w.probes, 1) << "one probe a Record press";
}

struct StartFailureCase {
    int select;
    int start;
    const char* expected;
};

// Every engine refusal reads as its own reason.
TEST_F(MainUIFaultsTest, StartFailuresSayWhy)
{
    const StartFailureCase cases[] = {
        {kErrSystem, 0, "sound server cannot be reached"},
        {kErrInvalidDevice, 0, "cannot be found"},
        {kErrNoDevice, 0, "no output device"},
        {0, kErrDiskFull, "not enough free space"},
        {0, kErrOutputFolder, "output folder cannot be written"},
        {0, kErrNoRecorder, "sound server cannot be reached"},
        {0, kErrBadFormat, "chosen format"},
    };
    TestMainUI& w = Open();
    // Another sample rate: the first press sets the capture up again, and
    // after a capture that failed so does every other.
    settings->SetSampleRate(48000);
    for (const StartFailureCase& c : cases) {
        w.dialogs.clear();
        factory.engine->selectResult = c.select;
        factory.engine->startResult = c.start;
        w.RecorderModuleStart();
        EXPECT_TRUE(w.SawText("Recording could not start.")) << c.expected;
        EXPECT_TRUE(w.SawText(c.expected)) << c.expected;
        EXPECT_EQ(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording) << c.expected;
        if (c.select != 0) {
            const auto calls = factory.engine->Calls();
            EXPECT_NE(calls.back().rfind("SelectMode", 0), std::string::npos) << "no Start without capture";
        }
    }
    settings->SetSampleRate(44100);
}

// An output folder chosen but not made yet is made before recording starts.
TEST_F(MainUIFaultsTest, MissingOutputFolderIsMade)
{
    QDir(OutputFolder()).removeRecursively();
    TestMainUI& w = Open();
    w.RecorderModuleStart();
    EXPECT_TRUE(QDir(OutputFolder()).exists());
    EXPECT_EQ(w.ControlBar()->GetRecordState(), IRecordStateSource::WaitingForSong);
}

// A folder that cannot take songs is refused at Record with its own reason
// (/sys/kernel read as a full disk), and the engine is not started on it.
TEST_F(MainUIFaultsTest, UnusableOutputFolderSaysTheRealReason)
{
    QTemporaryDir tmp;
    const QString file = tmp.filePath("a-file");
    QFile(file).open(QIODevice::WriteOnly);
    const struct {
        QString folder;
        const char* expected;
    } cases[] = {
        {"/sys/kernel", "belongs to the system"},
        {"/proc/sonacap", "belongs to the system"},
        {file, "is a file, not a folder"},
        {file + "/songs", "cannot be created"},
    };
    const QStringList original = settings->GetOutputPath();
    TestMainUI& w = Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        settings->SetOutputPath({c.folder});
        w.dialogs.clear();
        factory.engine->ClearCalls();
        w.RecorderModuleStart();
        EXPECT_TRUE(w.SawText("Recording could not start."));
        EXPECT_TRUE(w.SawText(c.expected));
        EXPECT_TRUE(w.SawText(c.folder));
        EXPECT_FALSE(w.SawText("free space"));
        EXPECT_EQ(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);
        for (const std::string& call : factory.engine->Calls())
            EXPECT_NE(call.rfind("Start", 0), 0u) << "the engine started on " << c.folder.toStdString();
    }
    settings->SetOutputPath(original);
}

// A library that refuses new rows costs no song: the files stay, the user
// is told once a recording with SQLite's reason, and recording goes on. The
// same for a full library, with its own words.
TEST_F(MainUIFaultsTest, UnwritableLibraryKeepsEverySong)
{
    OnLibraryFile("create trigger refuse before insert on MusicInfo "
                  "begin select raise(fail, 'database disk image is malformed'); end");
    TestMainUI& w = Open();
    w.RecorderModuleStart();
    QStringList songs;
    for (const char* name : {"first", "second"}) {
        const QString path = StartSong(name);
        factory.engine->SongEnd(path);
        songs << path;
    }
    WaitFor([] { return false; }, 200);
    int told = 0;
    for (const auto& d : w.dialogs)
        told += d.text.contains("New recordings cannot be stored in the library") ? 1 : 0;
    EXPECT_EQ(told, 1);
    EXPECT_TRUE(w.SawText("database disk image is malformed"));
    EXPECT_FALSE(w.SawText("maximum"));
    for (const QString& path : songs)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    EXPECT_NE(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);

    // A new recording tells again.
    w.RecorderModuleStop();
    w.RecorderModuleStart();
    factory.engine->SongEnd(StartSong("third"));
    ASSERT_TRUE(WaitFor([&] {
        int n = 0;
        for (const auto& d : w.dialogs)
            n += d.text.contains("New recordings cannot be stored") ? 1 : 0;
        return n == 2;
    }));
}

TEST_F(MainUIFaultsTest, FullLibrarySaysSoAndKeepsTheFile)
{
    OnLibraryFile("with recursive n(i) as (select 1 union all select i + 1 from n where i < 100000) "
                  "insert into MusicInfo (MusicId, MusicPath) select i, '/elsewhere' from n");
    TestMainUI& w = Open();
    w.RecorderModuleStart();
    const QString path = StartSong("over");
    factory.engine->SongEnd(path);
    ASSERT_TRUE(WaitFor([&] { return w.SawText("The library is full"); }));
    EXPECT_TRUE(w.SawText("100,000"));
    WaitFor([] { return false; }, 100);
    EXPECT_TRUE(QFile::exists(path));
}

// Row and file always agree: a file renamed after its title gets its old
// name back when the row cannot be stored.
TEST_F(MainUIFaultsTest, RenameIsUndoneWhenTheRowIsNotStored)
{
    TestMainUI& w = Open();
    w.RecorderModuleStart();
    const QString path = StartSong("renamed", 3);
    ASSERT_TRUE(WaitFor([&] { return w.LibraryPage()->RecordingRow() != nullptr; }));
    const int musicId = w.LibraryPage()->RecordingRow()->GetMusicId();
    RecordMusicInfo info;
    std::memset(&info, 0, sizeof info);
    CopyUtf8Field(info.MusicName, sizeof info.MusicName, QByteArray("A Title"));
    w.LibraryPage()->SetNewRecordMusicInfo(&info);
    OnLibraryFile("create trigger refuse before update on MusicInfo "
                  "begin select raise(fail, 'disk I/O error'); end");
    factory.engine->SongEnd(path);
    ASSERT_TRUE(WaitFor([&] { return w.SongsStored(); }));
    EXPECT_TRUE(QFile::exists(path)) << "the file keeps the name its row has";
    EXPECT_FALSE(QFile::exists(OutputFolder() + "/A Title.wav"));
    MusicInfoRow row;
    if (DB_GetMusicInfo(musicId, &row) == 1) {
        EXPECT_EQ(row.MusicPath, path);
    }
    EXPECT_TRUE(w.SawText("disk I/O error"));
}

// Delete with nothing selected in a play list asks about the list itself,
// naming it, even after "Do not show this again" was ticked for songs.
TEST_F(MainUIFaultsTest, DeleteKeyOnAPlayListAsksAboutTheList)
{
    settings->SetDeleteType(1);
    TestMainUI& w = Open();
    w.show();
    w.TreeLib()->SelectList(4);
    ASSERT_TRUE(WaitFor([&] { return w.LibraryPage()->GetShownListId() == 4; }));
    w.LibraryPage()->TrackList()->clearSelection();
    w.answers = {QDialogButtonBox::Cancel};
    w.DeleteMusic();
    EXPECT_TRUE(w.SawText("delete the play list \"PlayList 1\""));
    EXPECT_NE(w.TreeLib()->FindList(4), nullptr) << "No keeps the list";

    w.answers = {QDialogButtonBox::Ok};
    w.DeleteMusic();
    EXPECT_EQ(w.TreeLib()->FindList(4), nullptr);
}

// A file that is there but holds nothing playable is said to be so.
TEST_F(MainUIFaultsTest, UnplayableFileSaysSo)
{
    TestMainUI& w = Open();
    w.RecorderModuleStart();
    const QString path = StartSong("garbled", 3);
    factory.engine->SongEnd(path);
    ASSERT_TRUE(WaitFor([&] { return w.SongsStored(); }));
    w.RecorderModuleStop();
    {
        QFile file(OnlySong().MusicPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(4096, 'x'));
    }
    w.TreeLib()->SelectList(2);
    ASSERT_TRUE(WaitFor([&] { return w.LibraryPage()->GetVisibleCount() == 1; }));
    w.StartNewPlay(0);
    EXPECT_TRUE(w.SawText("cannot be played"));
    EXPECT_FALSE(w.SawText("could not be found"));
}

// A library found damaged at start: the user is told, with the copy kept
// and the library rebuilt from it.
TEST_F(MainUIFaultsTest, DamagedLibraryIsToldAtStart)
{
    DB_CloseDatabase();
    const QString file = settings->GetLogPath() + "/music.db";
    {
        // Pages of rows, then garbage over the middle of them.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
        sqlite3_exec(db, "create table MusicInfo (MusicId int primary key, MusicPath varchar(512))", nullptr, nullptr,
                     nullptr);
        ASSERT_EQ(sqlite3_exec(db,
                               "with recursive n(i) as (select 1 union all select i + 1 from n where i < 3000) "
                               "insert into MusicInfo (MusicId, MusicPath) "
                               "select i, printf('/music/song %d with a long enough name.mp3', i) from n",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    const QByteArray before = DamageFile(file, 0.5, 8192);
    ASSERT_FALSE(before.isEmpty());

    ASSERT_EQ(DB_OpenDatabase(), 0);
    TestMainUI& w = Open();
    ASSERT_TRUE(WaitFor([&] { return w.SawText("The library could not be used as it was"); }));
    // The songs off the two garbage pages.
    const int saved = DB_LastRepair().songsSaved;
    EXPECT_GT(saved, 2800);
    EXPECT_LE(saved, 3000);
    EXPECT_TRUE(w.SawText(QStringLiteral("%1 songs kept with their data").arg(saved)));
    QString backup;
    EXPECT_FALSE(DB_OpenProblem(&backup).isEmpty());
    ASSERT_FALSE(backup.isEmpty());
    EXPECT_TRUE(w.SawText(QDir::toNativeSeparators(backup)));
    QFile copy(backup);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_TRUE(copy.readAll() == before) << "the copy is the file as it was";
    window.reset();
    QFile::remove(backup);
}

} // namespace
