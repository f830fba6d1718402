// What finishing a recorded song costs the window's thread: a 60-minute
// 320 kbit/s MP3 recognised with a 1 MB cover is finished
//   - inline: as the window did it on its own thread (the tags written into
//     the file, its length scanned with the player library, the file renamed
//     after its title), and
//   - pipeline: through the song-end pipeline, counting only the time the
//     window's thread spends in its calls and in the events it handles until
//     the song is stored,
// beside the peer, a bare copy of the same file. Each round finishes a fresh
// copy of the untagged file; the figures are medians.
//
//   song_end_bench [--rounds N]
#include "CListTreeItem.h"
#include "CShowListWidget.h"
#include "CSongEndPipeline.h"
#include "CTreeWidgetItem.h"
#include "FileTimeHelpers.h"
#include "MusicDatabase.h"
#include "SongRecordFields.h"
#include "trackhold.h"

#include "../common/BenchProgram.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QResource>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <lame/lame.h>

namespace {

constexpr int kMinutes = 60;
constexpr int kChunkSeconds = 10;

// Times every event the GUI thread handles while counting is on (outermost
// deliveries only).
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        if (!counting || depth > 0 || QThread::currentThread() != thread())
            return QApplication::notify(receiver, event);
        ++depth;
        QElapsedTimer timer;
        timer.start();
        const bool done = QApplication::notify(receiver, event);
        busyNs += timer.nsecsElapsed();
        --depth;
        return done;
    }
    bool counting = false;
    int depth = 0;
    qint64 busyNs = 0;
};

// Ten seconds of broadband sound at 320 kbit/s, no tag and no info frame, so
// that chunks joined make one longer stream.
QByteArray Mp3Chunk()
{
    const int rate = 44100;
    const int frames = rate * kChunkSeconds;
    std::vector<short> pcm(static_cast<size_t>(frames) * 2);
    QRandomGenerator noise(7);
    for (int i = 0; i < frames; ++i) {
        const double tone = 5000 * std::sin(i * 0.031) + 3000 * std::sin(i * 0.173);
        pcm[2 * i] = static_cast<short>(tone + noise.bounded(4000) - 2000);
        pcm[2 * i + 1] = static_cast<short>(tone + noise.bounded(4000) - 2000);
    }
    lame_t lame = lame_init();
    lame_set_in_samplerate(lame, rate);
    lame_set_num_channels(lame, 2);
    lame_set_brate(lame, 320);
    lame_set_VBR(lame, vbr_off);
    lame_set_bWriteVbrTag(lame, 0);
    lame_set_write_id3tag_automatic(lame, 0);
    lame_init_params(lame);
    QByteArray out(frames * 2 + 20000, 0);
    auto* buf = reinterpret_cast<unsigned char*>(out.data());
    int n = lame_encode_buffer_interleaved(lame, pcm.data(), frames, buf, out.size());
    n += lame_encode_flush(lame, buf + n, out.size() - n);
    lame_close(lame);
    out.resize(n);
    return out;
}

bool WriteSong(const QString& path)
{
    const QByteArray chunk = Mp3Chunk();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (int i = 0; i < kMinutes * 60 / kChunkSeconds; ++i) {
        if (file.write(chunk) != chunk.size())
            return false;
    }
    return true;
}

// A JPEG of noise of at least a megabyte.
bool WriteCover(const QString& path)
{
    QRandomGenerator noise(11);
    for (int side = 600;; side += 100) {
        QImage image(side, side, QImage::Format_RGB32);
        for (int y = 0; y < side; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < side; ++x)
                line[x] = 0xff000000u | noise.bounded(0x1000000u);
        }
        if (!image.save(path, "JPG", 90))
            return false;
        if (QFile(path).size() >= 1024 * 1024)
            return true;
    }
}

double MsSince(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e6;
}

// A recognised song's row, as recognition leaves it while the song records.
CTreeWidgetItem* RecognisedRow(CShowListWidget* page, const QString& song, const QString& cover)
{
    const QByteArray path = song.toUtf8();
    if (page->CreateNewRecord(path.constData()) != CShowListWidget::kRecordCreated)
        return nullptr;
    RecordMusicInfo info;
    std::memset(&info, 0, sizeof info);
    CopyUtf8Field(info.MusicName, sizeof info.MusicName, QByteArray("Bench Song"));
    CopyUtf8Field(info.Artist, sizeof info.Artist, QByteArray("Bench Artist"));
    CopyUtf8Field(info.Album, sizeof info.Album, QByteArray("Bench Album"));
    info.CoverCount = 1;
    CopyUtf8Field(info.CoverPaths[0], sizeof info.CoverPaths[0], cover.toUtf8());
    page->ApplyRecognition(page->RecordingRow(), &info);
    return page->RecordingRow();
}

// The window's old way, all on its thread.
double Inline(CShowListWidget* page, const QString& song, const QString& cover)
{
    CTreeWidgetItem* row = RecognisedRow(page, song, cover);
    if (!row)
        return -1;
    std::unique_ptr<MusicInfoRow> record(row->GetMusicInfo());
    QElapsedTimer timer;
    timer.start();
    record->MusicPath = song;
    CShowListWidget::WriteMusicTags(record.get());
    SaveLoadMuiscName(RecordFieldText(record->Info.MusicName), record->MusicPath);
    DB_UpdateMusicInfo(record.get());
    const int fileId = WM_AddFile(record->MusicPath.toUtf8().constData());
    int64_t ms = 0;
    if (fileId >= 0) {
        WM_GetMediaDuration(fileId, &ms);
        WM_DeleteFile(fileId);
    }
    record->TimeRecorded = SecondToTimeText(static_cast<unsigned>(ms / 1000));
    DB_UpdateMusicInfo(record.get());
    const double spent = MsSince(timer);
    QFile::remove(record->MusicPath);
    page->TakeRecordingRow();
    delete row;
    return ms >= (kMinutes * 60 - 1) * 1000 ? spent : -1;
}

struct PipelineRun {
    double guiMs = -1;
    double wallMs = -1;
};

PipelineRun Pipeline(TimedApplication& app, CShowListWidget* page, const QString& song, const QString& cover, int serial)
{
    PipelineRun run;
    CSongEndPipeline pipeline(page);
    pipeline.SongStarted(serial);
    CTreeWidgetItem* row = RecognisedRow(page, song, cover);
    if (!row)
        return run;
    CTreeWidgetItem* stored = nullptr;
    qint64 seconds = 0;
    QObject::connect(&pipeline, &CSongEndPipeline::SongStored, [&](CTreeWidgetItem* r, qint64 s, const QString&) {
        stored = r;
        seconds = s;
    });
    app.busyNs = 0;
    app.counting = true;
    QElapsedTimer timer;
    timer.start();
    pipeline.SongEnded(serial, song, -1);
    app.busyNs += timer.nsecsElapsed();
    while (!stored && timer.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    app.counting = false;
    run.wallMs = MsSince(timer);
    run.guiMs = app.busyNs / 1e6;
    if (!stored || seconds < kMinutes * 60 - 1)
        return PipelineRun();
    MusicInfoRow record;
    if (DB_GetMusicInfo(row->GetMusicId(), &record) == 1)
        QFile::remove(record.MusicPath);
    delete stored;
    return run;
}

double Copy(const QString& from, const QString& to)
{
    QElapsedTimer timer;
    timer.start();
    const bool copied = QFile::copy(from, to);
    const double spent = MsSince(timer);
    QFile::remove(to);
    return copied ? spent : -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    TimedApplication app(argc, argv);
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const int rounds = qMax(1, bench_program::Options(args).value(QStringLiteral("--rounds"), "5").toInt());
    QResource::registerResource(QCoreApplication::applicationDirPath() + QStringLiteral("/skin.rcc"));
    // The songs lie where the program writes them: on the disk of the home folder.
    const QString folder = home.path() + "/songs";
    QDir().mkpath(folder);
    if (DB_OpenDatabaseFile(home.path() + "/music.db") != 0) {
        std::fprintf(stderr, "cannot open the database\n");
        return 1;
    }
    WM_Create("song_end_bench");
    const QString original = folder + "/original.mp3";
    const QString cover = home.path() + "/cover.jpg";
    if (!WriteSong(original) || !WriteCover(cover)) {
        std::fprintf(stderr, "cannot write the song or its cover\n");
        return 1;
    }
    std::printf("load average at the start: %s\n", qPrintable(bench_program::LoadAverage()));
    std::printf("song: %d minutes at 320 kbit/s, %.1f MB; cover %.0f kB; %d rounds\n", kMinutes,
                QFile(original).size() / 1048576.0, QFile(cover).size() / 1024.0, rounds);

    QList<CListTreeItem*> entries;
    auto* page = new CShowListWidget(entries, nullptr, nullptr);
    std::vector<double> copy, inlineMs, guiMs, wallMs;
    for (int round = 0; round < rounds; ++round) {
        const QString song = folder + QStringLiteral("/2024-01-01 10-00-%1.mp3").arg(round, 2, 10, QLatin1Char('0'));
        copy.push_back(Copy(original, song + ".copy"));
        // Alternate the order so that neither side always follows the other.
        for (int side = 0; side < 2; ++side) {
            if (!QFile::copy(original, song))
                return 1;
            if ((side + round) % 2 == 0) {
                inlineMs.push_back(Inline(page, song, cover));
            } else {
                const PipelineRun run = Pipeline(app, page, song, cover, round + 1);
                guiMs.push_back(run.guiMs);
                wallMs.push_back(run.wallMs);
            }
        }
    }
    delete page;
    for (const auto* figures : {&copy, &inlineMs, &guiMs}) {
        for (double v : *figures) {
            if (v < 0) {
                std::fprintf(stderr, "a round failed\n");
                return 1;
            }
        }
    }
    const double peer = bench_program::Median(copy);
    const double before = bench_program::Median(inlineMs);
    const double after = bench_program::Median(guiMs);
    std::printf("bare copy of the file (peer):                       %8.1f ms\n", peer);
    std::printf("inline on the window's thread (tags, length, name): %8.1f ms  %.2f x the copy\n", before,
                before / peer);
    std::printf("pipeline, window's thread:                          %8.1f ms  %.3f x the copy (goal < 20 ms)\n",
                after, after / peer);
    std::printf("pipeline, until the song is stored:                 %8.1f ms  %.2f x the copy\n",
                bench_program::Median(wallMs), bench_program::Median(wallMs) / peer);
    std::printf("load average at the end: %s\n", qPrintable(bench_program::LoadAverage()));
    return 0;
}
