// Recognition through the whole program: the main window with a fake engine
// hands the first 22 seconds of a generated song to the recognition client,
// which asks the fake services on 127.0.0.1; the song's row, its card, its
// database record and the file's tags end with the services' data and cover,
// or, when the song is not recognised, final without them. Closing the window
// while the service stalls neither hangs nor crashes; quitting or closing at
// any step of the chain keeps what had arrived.
#include "MainUITestSupport.h"

#include "CACRrecognize.h"
#include "CAppSettings.h"
#include "CRecognitionCapture.h"
#include "CRecordingWidget.h"
#include "CShowDownloadingScene.h"
#include "CShowDownloadingView.h"
#include "CShowListWidget.h"
#include "CSongEndPipeline.h"
#include "CTagWriter.h"
#include "CTreeWidgetItem.h"
#include "FakeRecognitionService.h"
#include "FileTimeHelpers.h"
#include "MusicDatabase.h"
#include "SongRecordFields.h"
#include "SystemHelpers.h"

#include <QBuffer>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QSet>
#include <QtEndian>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

namespace {

using Route = FakeRecognitionService::Route;

constexpr double kToneHz = 523.25;
constexpr int kRate = 44100;

FakeRecognitionService::Song Hello()
{
    return {"Hello", "Adele", "25", "2015-10-23", "Pop", 295493, "4sPmO7WMQUAf45kwMOtONw", QByteArray()};
}

// The song the engine "writes": an MP3 of the tone.
void WriteToneMp3(const QString& path, double seconds)
{
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    QDir().mkpath(QFileInfo(path).absolutePath());
    SNDFILE* sf = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
    const sf_count_t frames = static_cast<sf_count_t>(seconds * kRate);
    std::vector<float> pcm(static_cast<size_t>(frames) * 2);
    for (sf_count_t i = 0; i < frames; ++i)
        pcm[2 * i] = pcm[2 * i + 1] = static_cast<float>(0.4 * std::sin(2 * M_PI * kToneHz * i / kRate));
    EXPECT_EQ(sf_writef_float(sf, pcm.data(), frames), frames);
    sf_close(sf);
}

// One second of the same tone as the engine hands it over: 16-bit stereo.
std::vector<unsigned char> ToneSecond(int second)
{
    std::vector<unsigned char> pcm(kRate * 4);
    for (int i = 0; i < kRate; ++i) {
        const double t = static_cast<double>(second * kRate + i) / kRate;
        const qint16 v = static_cast<qint16>(13000 * std::sin(2 * M_PI * kToneHz * t));
        qToLittleEndian(v, pcm.data() + 4 * i);
        qToLittleEndian(v, pcm.data() + 4 * i + 2);
    }
    return pcm;
}

// The token answer the service gives, held back until the test lets it go.
constexpr const char* kTokenAnswer = R"({"access_token":"fake-token-Zm9vYmFy","token_type":"Bearer","expires_in":3600})";

QByteArray SolidJpeg(QColor colour)
{
    QImage image(300, 300, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return bytes;
}

QString PicturesFolder()
{
    QString pictures;
    EXPECT_EQ(GetSpecialFolderPath(pictures, kFolderPictures), 0);
    return pictures;
}

QStringList PictureFiles()
{
    return QDir(PicturesFolder()).entryList(QDir::Files, QDir::Name);
}

// The title and the picture the song's MP3 file carries (a null image when none).
struct FileTags {
    QString title;
    QImage picture;
};
FileTags TagsOf(const QString& path)
{
    FileTags tags;
    TagLib::MPEG::File mp3(path.toUtf8().constData());
    if (!mp3.isValid() || !mp3.hasID3v2Tag())
        return tags;
    TagLib::ID3v2::Tag* tag = mp3.ID3v2Tag();
    tags.title = QString::fromStdString(tag->title().to8Bit(true));
    const auto frames = tag->frameListMap()["APIC"];
    if (!frames.isEmpty()) {
        if (const auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frames.front()))
            tags.picture = QImage::fromData(
                QByteArray(picture->picture().data(), static_cast<int>(picture->picture().size())));
    }
    return tags;
}

QRgb CentrePixel(const QImage& image)
{
    return image.pixel(image.width() / 2, image.height() / 2);
}

bool CloseColours(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) < 12 && std::abs(qGreen(a) - qGreen(b)) < 12
           && std::abs(qBlue(a) - qBlue(b)) < 12;
}

class MainUIRecognitionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings = UseRecordingTestSettings();
        settings->SetOutputFileType(1);   // MP3: the format that gets tags
        ResetLibrary();
        previous = SetEngineFactory(&factory);
    }
    void TearDown() override
    {
        window.reset();
        SetEngineFactory(previous);
        RecognitionSetup::ResetCurrent();
    }
    TestMainUI& Open(const RecognitionSetup& setup)
    {
        RecognitionSetup::SetCurrent(setup);
        if (!DB_IsOpen())
            DB_OpenDatabase();
        window.reset(new TestMainUI);
        window->Capture().SetClock([this] { return now.load(); });
        return *window;
    }
    // A song starts; its row appears.
    int StartSong(const QString& path)
    {
        now = 0;
        factory.engine->SongStart(path);
        EXPECT_TRUE(WaitFor([&] { return window->LibraryPage()->RecordingRow() != nullptr; }));
        return window->LibraryPage()->RecordingRow() ? window->LibraryPage()->RecordingRow()->GetMusicId() : -1;
    }
    // The engine's clips up to the 22-second mark, one second each; the last
    // one hands the capture to recognition (on this thread: the engine's).
    // More than two channels come as silence.
    void CaptureUntilTheMark(int channels = 2)
    {
        for (int second = 0; second <= 22; ++second) {
            std::vector<unsigned char> pcm =
                channels == 2 ? ToneSecond(second) : std::vector<unsigned char>(size_t(kRate) * 2 * channels, 0);
            AudioClip clip{};
            clip.type = 3;
            clip.size = static_cast<int>(pcm.size());
            clip.data = pcm.data();
            clip.name = factory.engine->nameBuffer;
            clip.param = {kRate, channels, 16, 0, channels * 2, 1, 0};
            factory.engine->Send(kSonacapNotifyMusicData, &clip);
            now += 1000;
        }
    }
    // The song being recorded has its recognised data (its cover may still
    // be on its way).
    bool CurrentSongHasItsData() const
    {
        const CTreeWidgetItem* row = window->LibraryPage()->RecordingRow();
        return row && row->GetDownloadStatus() == TWM_DOWNLOAD_SUCCEEDED;
    }
    // ... and its whole result, which the recording views show.
    bool CurrentSongRecognised() const
    {
        return CurrentSongHasItsData() && Artwork()->GetState() != CShowDownloadingScene::Downloading;
    }
    // The song as a program started again finds it: its record, its file and
    // its tags, and the row of the library page. Recognised, it has its data
    // and is named after its title; else it is a "Track". Never is it left
    // under the engine's time-stamp name `reported`.
    void ExpectKeptAfterRestart(const RecognitionSetup& setup, int musicId, const QString& reported, bool data,
                                bool cover)
    {
        window.reset();
        TestMainUI& w = Open(setup);
        MusicInfoRow row;
        ASSERT_EQ(DB_GetMusicInfo(musicId, &row), 1);
        DB_GetImageInfo(&row);
        EXPECT_EQ(row.TimeRecorded, SecondToTimeText(17));
        EXPECT_TRUE(QFile::exists(row.MusicPath)) << row.MusicPath.toStdString();
        EXPECT_FALSE(QFile::exists(reported));
        EXPECT_EQ(QFileInfo(row.MusicPath).fileName(), data ? "Hello.mp3" : "Track.mp3");
        EXPECT_EQ(RecordFieldText(row.Info.MusicName), data ? "Hello" : "");
        EXPECT_EQ(RecordFieldText(row.Info.Artist), data ? "Adele" : "");
        EXPECT_EQ(RecordFieldText(row.Info.Album), data ? "25" : "");
        EXPECT_EQ(row.Info.CoverCount, cover ? 1 : 0);
        const FileTags tags = TagsOf(row.MusicPath);
        EXPECT_EQ(tags.title, data ? "Hello" : "");
        EXPECT_EQ(!tags.picture.isNull(), cover);
        const QList<CTreeWidgetItem*> items = w.LibraryPage()->GetItemsByMusicId({musicId});
        ASSERT_EQ(items.size(), 1);
        if (data) {
            EXPECT_EQ(items[0]->text(CTreeWidgetItem::ColArtist), "Adele");
        }
        EXPECT_EQ(items[0]->GetMusicPath(), row.MusicPath);
    }
    // Removes the cover pictures made since `before`.
    void RemoveNewPictures(const QStringList& before)
    {
        for (const QString& name : PictureFiles()) {
            if (!before.contains(name))
                QFile::remove(QDir(PicturesFolder()).filePath(name));
        }
    }
    CShowDownloadingScene* Artwork() const { return window->RecordingPage()->DownloadingView()->Scene(); }

    CAppSettings* settings = nullptr;
    FakeEngineFactory factory;
    IEngineFactory* previous = nullptr;
    std::unique_ptr<TestMainUI> window;
    std::atomic<qint64> now{0};
};

TEST_F(MainUIRecognitionTest, RecognisedSongReachesTheRowTheCardAndTheFilesTags)
{
    FakeRecognitionService service({Hello()});
    TestMainUI& w = Open(service.Setup());
    const QString path = OutputFolder() + "/2024-01-01 10-00-00.mp3";
    WriteToneMp3(path, 17);
    const int musicId = StartSong(path);
    ASSERT_EQ(Artwork()->GetState(), CShowDownloadingScene::Downloading);

    CaptureUntilTheMark();
    ASSERT_TRUE(WaitFor([&] { return CurrentSongRecognised(); }, 20000));
    EXPECT_NE(Artwork()->GetState(), CShowDownloadingScene::Downloading);
    // What went out was the song itself: 12 seconds of it as the sample.
    const auto forms = service.Forms();
    ASSERT_EQ(forms.size(), 1u);
    EXPECT_TRUE(forms[0].signatureValid);
    EXPECT_EQ(forms[0].parts.at("sample_bytes").body, std::to_string(44 + 12 * 8000 * 2));

    factory.engine->SongEnd(path);
    ASSERT_TRUE(WaitFor([&] { return w.SongsStored(); }));

    // The database record and the cover picture.
    MusicInfoRow row;
    ASSERT_EQ(DB_GetMusicInfo(musicId, &row), 1);
    DB_GetImageInfo(&row);
    EXPECT_EQ(RecordFieldText(row.Info.MusicName), "Hello");
    EXPECT_EQ(RecordFieldText(row.Info.Artist), "Adele");
    EXPECT_EQ(RecordFieldText(row.Info.Album), "25");
    EXPECT_EQ(RecordFieldText(row.Info.Year), "2015-10-23");
    EXPECT_EQ(RecordFieldText(row.Info.Genre), "Pop");
    ASSERT_EQ(row.Info.CoverCount, 1);
    const QString cover = RecordFieldText(row.Info.CoverPaths[0]);
    QString pictures;
    ASSERT_EQ(GetSpecialFolderPath(pictures, kFolderPictures), 0);
    EXPECT_EQ(QFileInfo(cover).absolutePath(), QFileInfo(pictures).absoluteFilePath());
    const QImage served = QImage::fromData(FakeRecognitionService::PictureFor(Hello().trackId, 300));
    const QImage saved(cover);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), QSize(300, 300));
    EXPECT_TRUE(CloseColours(CentrePixel(saved), CentrePixel(served)));

    // The file: renamed after the title, tagged with the data and the cover.
    EXPECT_EQ(QFileInfo(row.MusicPath).fileName(), "Hello.mp3");
    EXPECT_FALSE(QFile::exists(path));
    {
        TagLib::MPEG::File mp3(row.MusicPath.toUtf8().constData());
        ASSERT_TRUE(mp3.isValid());
        ASSERT_TRUE(mp3.hasID3v2Tag());
        TagLib::ID3v2::Tag* tag = mp3.ID3v2Tag();
        EXPECT_EQ(tag->title().to8Bit(true), "Hello");
        EXPECT_EQ(tag->artist().to8Bit(true), "Adele");
        EXPECT_EQ(tag->album().to8Bit(true), "25");
        EXPECT_EQ(tag->genre().to8Bit(true), "Pop");
        EXPECT_EQ(tag->year(), 2015u);
        const auto frames = tag->frameListMap()["APIC"];
        ASSERT_EQ(frames.size(), 1u);
        const auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frames.front());
        ASSERT_NE(picture, nullptr);
        const QImage embedded = QImage::fromData(
            QByteArray(picture->picture().data(), static_cast<int>(picture->picture().size())));
        EXPECT_EQ(embedded.size(), QSize(300, 300));
        EXPECT_TRUE(CloseColours(CentrePixel(embedded), CentrePixel(served)));
    }

    // The row of the library and the card of the recording page.
    const QList<CTreeWidgetItem*> items = w.LibraryPage()->GetItemsByMusicId({musicId});
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0]->text(CTreeWidgetItem::ColName), "Hello");
    EXPECT_EQ(items[0]->text(CTreeWidgetItem::ColArtist), "Adele");
    EXPECT_EQ(items[0]->text(CTreeWidgetItem::ColAlbum), "25");
    EXPECT_EQ(items[0]->text(CTreeWidgetItem::ColGenre), "Pop");
    EXPECT_EQ(items[0]->GetCoverPath(), cover);
    EXPECT_EQ(items[0]->GetMusicPath(), row.MusicPath);
    EXPECT_EQ(w.LastCardKind(), 1);
    EXPECT_EQ(w.RecordingPage()->GetAllItems(), QList<CTreeWidgetItem*>({items[0]}));
}

TEST_F(MainUIRecognitionTest, SongsTheServiceDoesNotRecogniseEndFinalWithoutItsData)
{
    struct Case {
        const char* name;
        Route route;
        FakeRecognitionService::Override answer;
    };
    const Case cases[] = {
        {"no result", Route::Identify, {200, R"({"status":{"msg":"No result","code":1001,"version":"1.0"}})"}},
        {"time-out", Route::Identify, {200, "{}", true}},
        {"server error", Route::Identify, {500, "<html>internal error</html>"}},
        {"answer that is no JSON", Route::Identify, {200, "Service Unavailable"}},
    };
    FakeRecognitionService service({Hello()});
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        service.ClearOverrides();
        service.SetOverride(c.route, c.answer);
        TestMainUI& w = Open(service.Setup(800, 800));
        const QString path = OutputFolder() + QString("/2024-01-01 11-00-0%1.mp3").arg(n++);
        WriteToneMp3(path, 17);
        const int musicId = StartSong(path);
        CaptureUntilTheMark();
        ASSERT_TRUE(WaitFor([&] {
            return w.LibraryPage()->RecordingRow()
                   && w.LibraryPage()->RecordingRow()->GetDownloadStatus() == TWM_DOWNLOAD_FAILED;
        }, 20000));
        EXPECT_NE(Artwork()->GetState(), CShowDownloadingScene::Downloading);
        service.ReleaseStalls();

        factory.engine->SongEnd(path);
        ASSERT_TRUE(WaitFor([&] { return w.SongsStored(); }));
        MusicInfoRow row;
        ASSERT_EQ(DB_GetMusicInfo(musicId, &row), 1);
        DB_GetImageInfo(&row);
        EXPECT_NE(RecordFieldText(row.Info.MusicName), "Hello");
        EXPECT_TRUE(RecordFieldText(row.Info.Artist).isEmpty());
        EXPECT_EQ(row.Info.CoverCount, 0);
        EXPECT_TRUE(QFile::exists(row.MusicPath));
        {
            TagLib::MPEG::File mp3(row.MusicPath.toUtf8().constData());
            EXPECT_TRUE(!mp3.hasID3v2Tag() || mp3.ID3v2Tag()->title().isEmpty());
        }
        const QList<CTreeWidgetItem*> items = w.LibraryPage()->GetItemsByMusicId({musicId});
        ASSERT_EQ(items.size(), 1);
        EXPECT_EQ(items[0]->GetDownloadStatus(), TWM_DOWNLOAD_FAILED);
        EXPECT_EQ(items[0]->GetCoverPath(), CTreeWidgetItem::DefaultCoverPath());
        EXPECT_EQ(w.RecordingPage()->GetAllItems(), QList<CTreeWidgetItem*>({items[0]}));
        window.reset();
        ResetLibrary();
    }
    service.ClearOverrides();
}

TEST_F(MainUIRecognitionTest, ClosingWhileTheServiceStallsNeitherHangsNorCrashes)
{
    FakeRecognitionService service({Hello()});
    service.SetOverride(Route::Identify, {200, "{}", true});
    Open(service.Setup(60000, 60000));
    const QString path = OutputFolder() + "/2024-01-01 12-00-00.mp3";
    WriteToneMp3(path, 17);
    StartSong(path);
    // The engine's thread waits in the recognition client for the service.
    std::thread engine([&] { CaptureUntilTheMark(); });
    factory.onRelease = [&] { engine.join(); };
    ASSERT_TRUE(service.WaitFor(Route::Identify, 1, 20000));

    QElapsedTimer timer;
    timer.start();
    window.reset();
    // Far below the minute the service would make it wait.
    EXPECT_LT(timer.elapsed(), 30000);
    EXPECT_FALSE(engine.joinable());
    service.ClearOverrides();
}

TEST_F(MainUIRecognitionTest, AResultLandsOnTheSongItsSampleCameFromAndNoOther)
{
    // Song A's sample goes to recognition; its result is held back (the
    // token answer stalls) and let go at a given moment. Song B follows A
    // and is never recognised itself.
    enum When { DuringItsSong, WhileItIsFinished, AfterTheNextSongStarted, AfterItWasDropped };
    const struct {
        const char* name;
        When when;
        bool shown;   // on the recording views, which show the song being recorded first
    } cases[] = {
        {"during its song", DuringItsSong, true},
        {"after it ended, while it is finished", WhileItIsFinished, true},
        {"after the next song started", AfterTheNextSongStarted, false},
        {"after it was dropped as too short", AfterItWasDropped, false},
    };
    const QRgb served = CentrePixel(QImage::fromData(FakeRecognitionService::PictureFor(Hello().trackId, 300)));
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRecognitionService service({Hello()});
        service.SetOverride(Route::Token, {200, kTokenAnswer, true});
        TestMainUI& w = Open(service.Setup());
        QSet<int> tagWrites;
        QObject::connect(w.SongEnd()->TagWriter(), &CTagWriter::BusyChanged, [&](int musicId, bool busy) {
            if (busy)
                tagWrites.insert(musicId);
        });
        int results = 0;
        QObject::connect(w.Recognizer(), &CACRrecognize::signalFinished, [&] { ++results; });
        QStringList shown;
        QObject::connect(w.LibraryPage(), &CShowListWidget::MusicInfoToUiSignal, [&](const RecordMusicInfo* info) {
            shown.append(info ? RecordFieldText(info->MusicName) : QString("(not recognised)"));
        });
        const QStringList picturesBefore = PictureFiles();
        const QString a = OutputFolder() + QString("/2024-02-01 10-00-0%1.mp3").arg(n);
        const QString b = OutputFolder() + QString("/2024-02-01 10-10-0%1.mp3").arg(n++);
        WriteToneMp3(a, c.when == AfterItWasDropped ? 0.5 : 17);
        WriteToneMp3(b, 17);

        const int songA = StartSong(a);
        CaptureUntilTheMark();
        ASSERT_TRUE(service.WaitFor(Route::Token, 1, 10000));
        if (c.when == DuringItsSong) {
            service.ReleaseStalls();
            ASSERT_TRUE(WaitFor([&] { return CurrentSongRecognised(); }, 10000));
        }
        factory.engine->SongEnd(a);
        ASSERT_TRUE(WaitFor([&] { return w.LibraryPage()->RecordingRow() == nullptr; }));
        if (c.when == WhileItIsFinished) {
            // The song waits for its own result, its file as the engine left it.
            Pause(300);
            EXPECT_TRUE(w.IsFinishingSongs());
            EXPECT_TRUE(QFile::exists(a));
            service.ReleaseStalls();
            ASSERT_TRUE(WaitFor([&] { return w.SongsStored(); }, 15000));
        }
        if (c.when == AfterItWasDropped) {
            ASSERT_TRUE(WaitFor([&] { return !w.IsFinishingSongs(); }));
        }
        const int songB = StartSong(b);
        if (c.when == AfterTheNextSongStarted || c.when == AfterItWasDropped) {
            service.ReleaseStalls();
            ASSERT_TRUE(WaitFor([&] { return results == 1; }, 15000));
            // The cover is decoded on a worker before the result is applied.
            Pause(300);
        }
        factory.engine->SongEnd(b);
        ASSERT_TRUE(WaitFor([&] { return w.SongsStored(); }, 15000));
        EXPECT_EQ(results, 1);
        // Once, complete with its cover; never over the song being recorded.
        EXPECT_EQ(shown, c.shown ? QStringList({"Hello"}) : QStringList());

        // B never takes A's data, its name or its cover.
        MusicInfoRow rowB;
        ASSERT_EQ(DB_GetMusicInfo(songB, &rowB), 1);
        DB_GetImageInfo(&rowB);
        EXPECT_NE(RecordFieldText(rowB.Info.MusicName), "Hello");
        EXPECT_TRUE(RecordFieldText(rowB.Info.Artist).isEmpty());
        EXPECT_EQ(rowB.Info.CoverCount, 0);
        EXPECT_FALSE(QFileInfo(rowB.MusicPath).fileName().startsWith("Hello"));
        EXPECT_TRUE(TagsOf(rowB.MusicPath).title.isEmpty());
        EXPECT_FALSE(tagWrites.contains(songB));

        MusicInfoRow rowA;
        if (c.when == AfterItWasDropped) {
            // Its song is gone (B may have its MusicId now): the result
            // goes, and so does its cover file.
            EXPECT_EQ(MusicRowCount(), 1);
            EXPECT_FALSE(QFile::exists(a));
            EXPECT_EQ(PictureFiles(), picturesBefore);
        } else {
            ASSERT_EQ(DB_GetMusicInfo(songA, &rowA), 1);
            DB_GetImageInfo(&rowA);
            EXPECT_EQ(RecordFieldText(rowA.Info.MusicName), "Hello");
            EXPECT_EQ(RecordFieldText(rowA.Info.Artist), "Adele");
            ASSERT_EQ(rowA.Info.CoverCount, 1);
            EXPECT_TRUE(QFile::exists(RecordFieldText(rowA.Info.CoverPaths[0])));
            // Its file: named after its title, tagged by the worker writer.
            EXPECT_EQ(QFileInfo(rowA.MusicPath).fileName(), "Hello.mp3");
            EXPECT_FALSE(QFile::exists(a));
            const FileTags tags = TagsOf(rowA.MusicPath);
            EXPECT_EQ(tags.title, "Hello");
            ASSERT_FALSE(tags.picture.isNull());
            EXPECT_TRUE(CloseColours(CentrePixel(tags.picture), served));
            EXPECT_TRUE(tagWrites.contains(songA));
        }
        window.reset();
        ResetLibrary();
        RemoveNewPictures(picturesBefore);
    }
}

TEST_F(MainUIRecognitionTest, SongsOfOneTitleKeepCoverFilesOfTheirOwn)
{
    FakeRecognitionService::Song red{"Intro", "Artist A", "A", "2001", "Pop", 200000, "trackOfArtistA",
                                     SolidJpeg(Qt::red)};
    FakeRecognitionService::Song blue{"Intro", "Artist B", "B", "2002", "Pop", 200000, "trackOfArtistB",
                                      SolidJpeg(Qt::blue)};
    FakeRecognitionService service({red, blue});
    TestMainUI& w = Open(service.Setup());
    const QStringList picturesBefore = PictureFiles();
    int musicIds[2] = {};
    for (int i = 0; i < 2; ++i) {
        const QString path = OutputFolder() + QString("/2024-03-01 10-00-0%1.mp3").arg(i);
        WriteToneMp3(path, 17);
        musicIds[i] = StartSong(path);
        CaptureUntilTheMark();
        ASSERT_TRUE(WaitFor([&] { return CurrentSongRecognised(); }, 20000));
        factory.engine->SongEnd(path);
        ASSERT_TRUE(WaitFor([&] { return w.SongsStored(); }, 15000));
    }
    const QColor colours[2] = {Qt::red, Qt::blue};
    QString covers[2];
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        MusicInfoRow row;
        ASSERT_EQ(DB_GetMusicInfo(musicIds[i], &row), 1);
        DB_GetImageInfo(&row);
        ASSERT_EQ(row.Info.CoverCount, 1);
        covers[i] = RecordFieldText(row.Info.CoverPaths[0]);
        EXPECT_EQ(QFileInfo(covers[i]).absolutePath(), QFileInfo(PicturesFolder()).absoluteFilePath());
        const QImage saved(covers[i]);
        ASSERT_FALSE(saved.isNull());
        EXPECT_TRUE(CloseColours(CentrePixel(saved), colours[i].rgb()));
        const FileTags tags = TagsOf(row.MusicPath);
        ASSERT_FALSE(tags.picture.isNull());
        EXPECT_TRUE(CloseColours(CentrePixel(tags.picture), colours[i].rgb()));
    }
    EXPECT_NE(covers[0], covers[1]);
    EXPECT_EQ(PictureFiles().size(), picturesBefore.size() + 2);
}

TEST_F(MainUIRecognitionTest, AnImageAnswerThatIsNoPictureLeavesTheSongWithoutCover)
{
    FakeRecognitionService service({Hello()});
    service.SetOverride(Route::Image, {200, "<html>this is no picture</html>"});
    TestMainUI& w = Open(service.Setup());
    const QStringList picturesBefore = PictureFiles();
    const QString path = OutputFolder() + "/2024-04-01 10-00-00.mp3";
    WriteToneMp3(path, 17);
    const int musicId = StartSong(path);
    CaptureUntilTheMark();
    ASSERT_TRUE(WaitFor([&] { return CurrentSongRecognised(); }, 20000));
    factory.engine->SongEnd(path);
    ASSERT_TRUE(WaitFor([&] { return w.SongsStored(); }, 15000));

    MusicInfoRow row;
    ASSERT_EQ(DB_GetMusicInfo(musicId, &row), 1);
    DB_GetImageInfo(&row);
    EXPECT_EQ(RecordFieldText(row.Info.MusicName), "Hello");
    EXPECT_EQ(row.Info.CoverCount, 0);
    EXPECT_EQ(PictureFiles(), picturesBefore);
    EXPECT_TRUE(TagsOf(row.MusicPath).picture.isNull());
    const QList<CTreeWidgetItem*> items = w.LibraryPage()->GetItemsByMusicId({musicId});
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0]->GetCoverPath(), CTreeWidgetItem::DefaultCoverPath());
    service.ClearOverrides();
}

TEST_F(MainUIRecognitionTest, ASongStillWaitingForItsResultIsStoredWhenTheWindowCloses)
{
    FakeRecognitionService service({Hello()});
    service.SetOverride(Route::Token, {200, kTokenAnswer, true});
    TestMainUI& w = Open(service.Setup());
    const QString path = OutputFolder() + "/2024-05-01 10-00-00.mp3";
    WriteToneMp3(path, 17);
    const int musicId = StartSong(path);
    CaptureUntilTheMark();
    ASSERT_TRUE(service.WaitFor(Route::Token, 1, 10000));
    factory.engine->SongEnd(path);
    ASSERT_TRUE(WaitFor([&] { return w.LibraryPage()->RecordingRow() == nullptr; }));
    ASSERT_TRUE(w.IsFinishingSongs());

    // Stored at once with the data it has, without waiting for its cover.
    QElapsedTimer timer;
    timer.start();
    window.reset();
    EXPECT_LT(timer.elapsed(), 5000);
    service.ReleaseStalls();
    ExpectKeptAfterRestart(service.Setup(), musicId, path, true, false);
    service.ClearOverrides();
}

// Whatever ends it (the quit command, "Close now" on the closing note, or a
// close that waits by itself) and wherever the chain of requests hangs, the
// song keeps what had arrived: its data once the identify answer came, named
// after its title, or else named "Track". A close waits for a cover that is
// on its way a few seconds at most.
TEST_F(MainUIRecognitionTest, QuittingOrClosingAtEachStepOfTheChainKeepsWhatArrived)
{
    enum Ending { Quit, CloseNow, Close };
    const struct {
        const char* name;
        Ending ending;
        Route hangs;   // the request the chain waits for when the user ends
        bool data, cover;
    } cases[] = {
        {"quit, identify still out", Quit, Route::Identify, false, false},
        {"quit after identify, token still out", Quit, Route::Token, true, false},
        {"quit, track still out", Quit, Route::Track, true, false},
        {"quit, cover still out", Quit, Route::Image, true, false},
        {"Close now, identify still out", CloseNow, Route::Identify, false, false},
        {"Close now after identify, token still out", CloseNow, Route::Token, true, false},
        {"Close now, track still out", CloseNow, Route::Track, true, false},
        {"Close now, cover still out", CloseNow, Route::Image, true, false},
        {"close, identify answers while it waits", Close, Route::Identify, true, true},
        {"close after identify, token never answers", Close, Route::Token, true, false},
        {"close, track never answers", Close, Route::Track, true, false},
        {"close, cover never comes", Close, Route::Image, true, false},
    };
    const QStringList picturesBefore = PictureFiles();
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRecognitionService service({Hello()});
        // Only the close that waits by itself gets its identify answer, late.
        const bool answersLate = c.ending == Close && c.hangs == Route::Identify;
        service.SetOverride(c.hangs, {200, "{}", true, answersLate});
        // Longer than any wait of the program: only its own bounds end one.
        TestMainUI& w = Open(service.Setup(60000, 60000));
        w.show();
        const QString path = OutputFolder() + QString("/2024-07-01 10-00-%1.mp3").arg(n++, 2, 10, QChar('0'));
        WriteToneMp3(path, 17);
        w.RecorderModuleStart();
        const int musicId = StartSong(path);
        CaptureUntilTheMark();
        ASSERT_TRUE(service.WaitFor(c.hangs, 1, 10000));
        if (c.hangs != Route::Identify) {
            ASSERT_TRUE(WaitFor([&] { return CurrentSongHasItsData(); }));
        }

        QElapsedTimer closing;
        closing.start();
        switch (c.ending) {
        case Quit:
            // The event loop ends and the window goes, the song still open.
            window.reset();
            break;
        case CloseNow:
            w.RecorderModuleStop();
            EXPECT_FALSE(w.close());
            ASSERT_TRUE(WaitFor([&] { return w.CloseNote() != nullptr; }, 5000));
            w.CloseNote()->done(QDialogButtonBox::Ok);
            ASSERT_TRUE(WaitFor([&] { return !w.isVisible(); }));
            break;
        case Close:
            w.RecorderModuleStop();
            EXPECT_FALSE(w.close()) << "the song is not stored yet";
            if (answersLate) {
                Pause(300);
                service.ReleaseStalls();
            }
            ASSERT_TRUE(WaitFor([&] { return !w.isVisible(); }, 15000)) << "the close goes on by itself";
            std::printf("%s: the window closed %lld ms after the close\n", c.name,
                        static_cast<long long>(closing.elapsed()));
            break;
        }
        window.reset();
        service.ClearOverrides();
        ExpectKeptAfterRestart(service.Setup(), musicId, path, c.data, c.cover);
        window.reset();
        ResetLibrary();
        RemoveNewPictures(picturesBefore);
    }
}

// A song that ended waits for its recognition result a bounded time only:
// whatever never comes, the song is stored then with what it has.
TEST_F(MainUIRecognitionTest, ASongWhoseResultNeverComesIsStoredAfterABoundedWait)
{
    const struct {
        const char* name;
        Route hangs;
        bool data;
    } cases[] = {
        {"identify never answers", Route::Identify, false},
        {"cover never comes", Route::Image, true},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRecognitionService service({Hello()});
        service.SetOverride(c.hangs, {200, "{}", true});
        TestMainUI& w = Open(service.Setup(60000, 60000));
        w.SongEnd()->SetWaits(1500, CSongEndPipeline::kCoverWaitOnCloseMs);
        const QString path = OutputFolder() + QString("/2024-08-01 10-00-0%1.mp3").arg(n++);
        WriteToneMp3(path, 17);
        const int musicId = StartSong(path);
        CaptureUntilTheMark();
        ASSERT_TRUE(service.WaitFor(c.hangs, 1, 10000));
        if (c.data) {
            ASSERT_TRUE(WaitFor([&] { return CurrentSongHasItsData(); }));
        }
        factory.engine->SongEnd(path);
        ASSERT_TRUE(WaitFor([&] { return w.LibraryPage()->RecordingRow() == nullptr; }));
        Pause(500);
        EXPECT_TRUE(w.IsFinishingSongs()) << "it waits for its result";
        ASSERT_TRUE(WaitFor([&] { return w.SongsStored(); }, 10000)) << "and not for ever";

        MusicInfoRow row;
        ASSERT_EQ(DB_GetMusicInfo(musicId, &row), 1);
        EXPECT_EQ(RecordFieldText(row.Info.MusicName), c.data ? "Hello" : "");
        EXPECT_EQ(QFileInfo(row.MusicPath).fileName(), c.data ? "Hello.mp3" : "Track.mp3");
        EXPECT_EQ(TagsOf(row.MusicPath).title, c.data ? "Hello" : "");
        window.reset();
        service.ClearOverrides();
        ResetLibrary();
    }
}

// The song's cover comes after its wait ended, while its tags are being
// written (the service's answer just after the bound), and the window goes
// at that moment: what the song's row claims, its file carries.
TEST_F(MainUIRecognitionTest, ACoverThatComesWhileTheTagsAreWrittenReachesTheFileToo)
{
    FakeRecognitionService service({Hello()});
    service.SetOverride(Route::Image, {200, "{}", true});
    TestMainUI& w = Open(service.Setup(60000, 60000));
    w.SongEnd()->SetWaits(300, CSongEndPipeline::kCoverWaitOnCloseMs);
    const QString path = OutputFolder() + "/2024-09-01 10-00-00.mp3";
    WriteToneMp3(path, 17);
    const int musicId = StartSong(path);
    const int serial = w.SongEnd()->CurrentSong();
    CaptureUntilTheMark();
    ASSERT_TRUE(service.WaitFor(Route::Image, 1, 10000));
    ASSERT_TRUE(WaitFor([&] { return CurrentSongHasItsData(); }));

    // As the tag write starts, the recognition's full result arrives, and
    // the window goes before anything else is handled.
    QObject receiver;
    bool coverSent = false;
    QObject::connect(w.SongEnd()->TagWriter(), &CTagWriter::BusyChanged, &receiver, [&](int id, bool busy) {
        if (id != musicId || !busy || coverSent)
            return;
        coverSent = true;
        QMap<QString, QVariant> result;
        result.insert("identify", serial);
        result.insert("message", "Success");
        result.insert("title", "Hello");
        result.insert("artist", "Adele");
        result.insert("album", "25");
        result.insert("imageBuffer", SolidJpeg(Qt::darkCyan));
        emit w.Recognizer()->signalGetResult(result);
        QMetaObject::invokeMethod(&receiver, [&] { window.reset(); }, Qt::QueuedConnection);
    });
    factory.engine->SongEnd(path);
    ASSERT_TRUE(WaitFor([&] { return !window; }, 10000));
    EXPECT_TRUE(coverSent);
    service.ReleaseStalls();
    service.ClearOverrides();

    if (!DB_IsOpen())
        DB_OpenDatabase();
    MusicInfoRow row;
    ASSERT_EQ(DB_GetMusicInfo(musicId, &row), 1);
    DB_GetImageInfo(&row);
    EXPECT_EQ(QFileInfo(row.MusicPath).fileName(), "Hello.mp3");
    const FileTags tags = TagsOf(row.MusicPath);
    EXPECT_EQ(tags.title, "Hello");
    EXPECT_EQ(!tags.picture.isNull(), row.Info.CoverCount > 0) << "the file carries the cover its row claims";
    if (row.Info.CoverCount > 0) {
        EXPECT_TRUE(CloseColours(CentrePixel(tags.picture), QColor(Qt::darkCyan).rgb()));
        EXPECT_TRUE(QFile::exists(RecordFieldText(row.Info.CoverPaths[0])));
    }
}

// The window goes while the end of the song being recorded is still on its
// way to it (and maybe the start of the next one): the song keeps its own
// file, its data and its name; the next song's file is kept too, and never
// taken for it.
TEST_F(MainUIRecognitionTest, ASongWhoseEndHadNotReachedTheWindowKeepsItsOwnFile)
{
    const struct {
        const char* name;
        bool nextStarted;
    } cases[] = {
        {"its end on its way", false},
        {"its end and the next song's start on their way", true},
    };
    const QStringList picturesBefore = PictureFiles();
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRecognitionService service({Hello()});
        Open(service.Setup());
        const QString a = OutputFolder() + QString("/2024-10-01 10-00-0%1.mp3").arg(n);
        const QString b = OutputFolder() + QString("/2024-10-01 10-10-0%1.mp3").arg(n++);
        WriteToneMp3(a, 17);
        const int musicId = StartSong(a);
        CaptureUntilTheMark();
        ASSERT_TRUE(WaitFor([&] { return CurrentSongRecognised(); }, 10000));

        // The engine's thread hands these over; the window goes before it
        // takes them.
        factory.engine->SongEnd(a);
        if (c.nextStarted) {
            WriteToneMp3(b, 17);
            factory.engine->SongStart(b);
        }
        window.reset();

        ExpectKeptAfterRestart(service.Setup(), musicId, a, true, true);
        if (c.nextStarted) {
            // The next song is added at the start, as a song of its own.
            ASSERT_TRUE(WaitFor([&] { return MusicRowCount() == 2; }, 10000));
            QMap<int, MusicInfoRow*> rows;
            DB_GetAllMusicInfo(rows);
            int found = 0;
            for (const MusicInfoRow* row : rows) {
                if (row->MusicId == musicId)
                    continue;
                ++found;
                EXPECT_EQ(row->MusicPath, b);
                EXPECT_EQ(RecordFieldText(row->Info.MusicName), "");
            }
            qDeleteAll(rows);
            EXPECT_EQ(found, 1);
        } else {
            EXPECT_EQ(MusicRowCount(), 1);
        }
        window.reset();
        ResetLibrary();
        RemoveNewPictures(picturesBefore);
    }
}

TEST_F(MainUIRecognitionTest, ASongWhoseSampleNeverWentOutIsStoredWithoutWaitingForAResult)
{
    // A six-channel sample goes out as a temporary WAV beside the song; here
    // that file cannot be made (a folder has its name), so no recognition
    // is asked for and no result will ever come.
    FakeRecognitionService service({Hello()});
    TestMainUI& w = Open(service.Setup());
    const QString path = OutputFolder() + "/2024-06-01 10-00-00.mp3";
    WriteToneMp3(path, 17);
    const QString blocked = CRecognitionCapture::TemporaryWavName(path);
    ASSERT_TRUE(QDir().mkpath(blocked));
    const int musicId = StartSong(path);
    // The engine names the song it writes with every clip.
    const QByteArray name = path.toLocal8Bit();
    std::memcpy(factory.engine->nameBuffer, name.constData(), size_t(name.size()) + 1);
    CaptureUntilTheMark(6);
    factory.engine->SongEnd(path);

    // Stored at once, not after the wait for a result that is meant for
    // samples that went out.
    ASSERT_TRUE(WaitFor([&] { return w.SongsStored(); }, 10000));
    EXPECT_TRUE(service.Forms().empty());
    MusicInfoRow row;
    ASSERT_EQ(DB_GetMusicInfo(musicId, &row), 1);
    EXPECT_EQ(row.TimeRecorded, SecondToTimeText(17));
    EXPECT_EQ(w.LibraryPage()->GetItemsByMusicId({musicId}).size(), 1);
    QDir(blocked).removeRecursively();
}

} // namespace
