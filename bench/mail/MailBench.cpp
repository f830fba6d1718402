// The bug-report mail's memory and the window's freeze when a report is
// cancelled.
//
// 1. Memory: a file of --size-mb MB (200 unless given) of incompressible
//    bytes is mailed as the report's archive by the mail thread over TLS to a
//    local aiosmtpd. Prints the peak resident memory above the process's
//    baseline beside the archive size (goal: under 64 MB), the time taken and
//    whether the server decoded the same bytes.
// 2. Freeze: the bug-report dialog sends to a local mail server that never
//    answers the final "."; Cancel is clicked once the "." arrived. Prints how
//    long the click held the GUI thread (goal: under 1 s) and how long the
//    mail thread took to end after it.
//
// 3. Packing: a data folder as a user's may hold (a library of 100,000 songs,
//    --log-mb MB of program logs, 200 unless given, and an engine log of
//    which only the end goes in) is packed as a report packs it. Prints the
//    time beside the packer's limit (goal: under half of it) and beside plain
//    "7z a" of the same folder at its default level.
// 4. With --stall only (it takes a minute): a report whose server stops
//    reading once it took DATA, at the program's own time-outs. Prints when
//    the mail thread gave up (goal: one send time-out, 60 s) and whether an
//    archive was left on disk.
//
// Options: --size-mb N, --log-mb N, --skip-memory, --skip-freeze,
// --skip-pack, --stall. The load average is printed before and after.
#include "../../tests/common/EventWait.h"
#include "../../tests/common/TestUserHome.h"
#include "../common/BenchProgram.h"
#include "../common/BenchSongs.h"
#include "AiosmtpdServer.h"
#include "BugreportThread.h"
#include "CBugReport.h"
#include "CDefTextEdit.h"
#include "LocalMailServer.h"
#include "MailServerInfo.h"
#include "MusicDatabase.h"
#include "RetiredThreads.h"
#include "ScriptedSmtpPeer.h"
#include "WorkerThread.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when missing.
long StatusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Sets the peak resident size back to the current one.
bool ResetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

// Writes `bytes` pseudo-random bytes in 1 MB pieces (nothing stays resident)
// and returns their SHA-256 in hex.
QByteArray WriteNoise(const QString& path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::vector<uint64_t> block(1 << 17);
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (qint64 left = bytes; left > 0;) {
        for (uint64_t& word : block) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        const qint64 n = qMin<qint64>(left, qint64(block.size() * sizeof(uint64_t)));
        const char* data = reinterpret_cast<const char*>(block.data());
        file.write(data, n);
        hash.addData(data, int(n));
        left -= n;
    }
    return hash.result().toHex();
}

// The bench's report: this archive and text.
BugreportJob Job(const QString& archive, const QString& body)
{
    BugreportJob job;
    job.attachmentPath = archive;
    job.userName = QStringLiteral("Bench");
    job.userMail = QStringLiteral("bench@example.org");
    job.body = body;
    job.productName = QStringLiteral("Sonacap");
    job.recipient = QStringLiteral("support@example.org");
    return job;
}

// Notes the thread's answer in `answered` and `ok`.
void Answer(BugreportThread& thread, bool* answered, bool* ok)
{
    QObject::connect(&thread, &BugreportThread::updateResultUI, [answered, ok](bool result, QString, void*) {
        *answered = true;
        *ok = result;
    });
}

int MeasureMemory(qint64 sizeMb)
{
    QTemporaryDir dir;
    const QString archive = dir.path() + QStringLiteral("/BugReport.dmp");
    const qint64 size = sizeMb * 1024 * 1024;
    const QByteArray sha = WriteNoise(archive, size);
    AiosmtpdServer server(AiosmtpdServer::Tls, true);
    if (server.Port() == 0) {
        std::fprintf(stderr, "the mail server did not start\n");
        return 1;
    }
    BugreportThread thread(Job(archive, QStringLiteral("A large archive.")), LocalMailServer(server.Port(), true));
    bool answered = false;
    bool ok = false;
    Answer(thread, &answered, &ok);
    const long baselineKb = StatusKb("VmRSS");
    const bool reset = ResetPeak();
    QElapsedTimer timer;
    timer.start();
    thread.start();
    WaitForEvents([&] { return answered; }, 30 * 60 * 1000);
    const double seconds = timer.elapsed() / 1000.0;
    const long peakKb = StatusKb("VmHWM");
    const QJsonObject stored = server.WaitForMail(1, 120000);
    const bool same = stored.value(QStringLiteral("attachment_sha256")).toString().toLatin1() == sha;

    std::printf("mail of a %lld MB archive (%lld bytes): peak resident memory %.1f MB above the baseline of %.1f MB "
                "(goal: under 64 MB)%s\n",
                static_cast<long long>(sizeMb), static_cast<long long>(size), (peakKb - baselineKb) / 1024.0,
                baselineKb / 1024.0, reset ? "" : " [peak not reset: figure includes earlier use]");
    std::printf("  sent in %.1f s (%.1f MB/s), result %s, server decoded %s bytes\n", seconds, sizeMb / seconds,
                ok ? "sent" : "NOT SENT", same ? "the same" : "OTHER");
    return ok && same ? 0 : 1;
}

int MeasureFreeze()
{
    QStringList shown;
    CBugReport::SetMessageHandler([&](QWidget*, const QString& text, int, const QString&) { shown << text; });
    auto script = ScriptedSmtpPeer::HappyScript();
    script.back().reply = "";   // the final "." is never answered
    ScriptedSmtpPeer peer(script);
    MailServerInfo::SetSupport(LocalMailServer(peer.Port(), false));

    auto* report = new CBugReport(nullptr);
    report->show();
    report->NameEdit()->setPlainText(QStringLiteral("Bench"));
    report->MailEdit()->setPlainText(QStringLiteral("bench@example.org"));
    report->DescriptionEdit()->setPlainText(QStringLiteral("Cancelled while the server checks the mail."));
    report->ReportButton()->click();
    if (!WaitForEvents([&] { return peer.Count(".") == 1; }, 60000)) {
        std::fprintf(stderr, "the final \".\" never arrived\n");
        return 1;
    }
    QElapsedTimer timer;
    timer.start();
    report->CancelButton()->click();
    const qint64 frozenMs = timer.elapsed();
    delete report;
    const qint64 deletedMs = timer.elapsed();
    WaitForEvents([] { return RetiredThreads::Count() == 0; }, 10 * 60 * 1000);
    const qint64 stoppedMs = timer.elapsed();
    std::printf("Cancel while the server has not answered the final \".\": the click held the window %lld ms, "
                "closing and deleting the dialog %lld ms (goal: under 1000 ms); the mail thread ended after %lld ms\n",
                static_cast<long long>(frozenMs), static_cast<long long>(deletedMs),
                static_cast<long long>(stoppedMs));
    MailServerInfo::ResetSupport();
    CBugReport::SetMessageHandler(nullptr);
    return 0;
}

// A library of `songs` songs as years of recording leave it, one in five
// with a cover.
bool WriteLibrary(const QString& path, int songs)
{
    if (DB_OpenDatabaseFile(path) != 0)
        return false;
    const QDate today = QDate::currentDate();
    DB_CreateTransaction();
    for (int id = 1; id <= songs; ++id) {
        MusicInfoRow row = bench_songs::MakeSong(id, today);
        row.MusicPath = QStringLiteral("/home/user/Music/Tavrel/Sonacap/%1 %2.mp3").arg(row.Info.MusicName).arg(id);
        DB_SetMusicInfo(&row);
        if (id % 5 == 0)
            DB_SetImageInfo(id / 5, id, QStringLiteral("/home/user/Pictures/cover %1.jpg").arg(id).toUtf8().constData());
    }
    DB_CommitTransaction();
    DB_CloseDatabase();
    return true;
}

// `bytes` of log lines in the log library's form ("time LEVEL\t[file:
// function][thread@line] text"), the values varying as a recording day's do.
// The same words for the same number, as a log names one song many times.
QByteArray SongWords(quint32 number, int most)
{
    bench_songs::Dice dice(number);
    return bench_songs::Words(dice, most).toUtf8();
}

bool WriteLog(const QString& path, qint64 bytes, uint32_t seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    uint32_t state = seed | 1u;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    QByteArray chunk;
    qint64 written = 0;
    qint64 second = 0;
    while (written < bytes) {
        chunk.clear();
        while (chunk.size() < (1 << 20)) {
            second += next() % 3;
            const QByteArray when = QByteArray::number(second / 3600 % 24).rightJustified(2, '0') + ':'
                + QByteArray::number(second / 60 % 60).rightJustified(2, '0') + ':'
                + QByteArray::number(second % 60).rightJustified(2, '0');
            const uint32_t r = next();
            const int id = int(r % 100000) + 1;
            switch (r >> 28) {
            case 0:
                chunk += when + " INFO\t[CMainUI.cpp:CMainUI::OnSongEnd][main@812] song " + QByteArray::number(id)
                    + " \"" + SongWords(id, 3) + "\" saved to /home/user/Music/Tavrel/Sonacap/"
                    + SongWords(id, 3) + ".mp3 (" + QByteArray::number(r % 400) + " s)\n";
                break;
            case 1:
            case 2:
                chunk += when + " INFO\t[RecognitionClient.cpp:RecognitionClient::OnReply][main@233] identify "
                    + QByteArray::number(id) + " answered " + QByteArray::number(200 + (r & 1) * 204) + " in "
                    + QByteArray::number(r % 3000) + " ms: \"" + SongWords(r, 2) + "\"\n";
                break;
            default:
                chunk += when + " DEBUG\t[CSonacapBase.cpp:CSonacapBase::ProcessBlock][processing@"
                    + QByteArray::number(140 + (r & 7)) + "] block " + QByteArray::number(second * 50 + (r & 63))
                    + " peak -" + QByteArray::number((r >> 8) % 60) + "." + QByteArray::number((r >> 4) % 10)
                    + " dB silence " + QByteArray::number((r >> 12) % 2000) + " ms\n";
                break;
            }
        }
        const qint64 n = qMin<qint64>(chunk.size(), bytes - written);
        if (file.write(chunk.constData(), n) != n)
            return false;
        written += n;
    }
    return true;
}

double ArchiveMb(const QString& path)
{
    return QFileInfo(path).size() / (1024.0 * 1024.0);
}

int MeasurePacking(qint64 logMb)
{
    QTemporaryDir dir;
    const QString data = dir.path() + QStringLiteral("/data");
    const QString programLogs = data + QStringLiteral("/log");
    const QString engineLogs = data + QStringLiteral("/recorder/log");
    QDir().mkpath(programLogs);
    QDir().mkpath(engineLogs);
    // A day of program logs, the day before's, and the engine's log of this
    // run, of which only the end goes in.
    const qint64 logBytes = logMb * 1024 * 1024;
    if (!WriteLibrary(data + QStringLiteral("/music.db"), kMaxMusicInfoRows)
        || !WriteLog(programLogs + QStringLiteral("/2024_01_02_Sonacap.log"), logBytes * 3 / 4, 1)
        || !WriteLog(programLogs + QStringLiteral("/2024_01_01_Sonacap.log"), logBytes / 4, 2)
        || !WriteLog(data + QLatin1Char('/') + QLatin1String(WorkerThread::kEngineLog), 2 * WorkerThread::kEngineLogTail,
                     3)) {
        std::fprintf(stderr, "could not write the data folder\n");
        return 1;
    }
    qint64 total = 0;
    for (const QString& name : {QStringLiteral("music.db"), QStringLiteral("log/2024_01_02_Sonacap.log"),
                                QStringLiteral("log/2024_01_01_Sonacap.log")})
        total += QFileInfo(data + QLatin1Char('/') + name).size();
    std::printf("data folder: a library of %d songs (%.1f MB) and %lld MB of program logs; %.1f MB to pack\n",
                kMaxMusicInfoRows, QFileInfo(data + QStringLiteral("/music.db")).size() / (1024.0 * 1024.0),
                static_cast<long long>(logMb), (total + WorkerThread::kEngineLogTail) / (1024.0 * 1024.0));

    // As a report packs it.
    const QString archive = dir.path() + QStringLiteral("/report.7z");
    WorkerThread packer(archive, data);
    QString made;
    QObject::connect(&packer, &WorkerThread::resultReady, [&](const QString& path) { made = path; });
    QElapsedTimer timer;
    timer.start();
    packer.start();
    packer.wait();
    const double packSeconds = timer.elapsed() / 1000.0;
    const double limit = WorkerThread::TimeoutMs() / 1000.0;
    QCoreApplication::processEvents();
    const bool packed = !made.isEmpty();
    std::printf("  report's packing: %.1f s, archive %.1f MB%s; limit %.0f s, goal under %.0f s: %s\n", packSeconds,
                packed ? ArchiveMb(archive) : 0.0, packed ? "" : " (NOT MADE: dropped at the limit or failed)", limit,
                limit / 2, packed && packSeconds < limit / 2 ? "met" : "MISSED");
    packer.TakeArchive();
    QFile::remove(archive);

    // The same folder with plain "7z a" at its default level.
    const QString plain = dir.path() + QStringLiteral("/plain.7z");
    QProcess sevenZip;
    sevenZip.setWorkingDirectory(data);
    sevenZip.setStandardOutputFile(QProcess::nullDevice());
    timer.restart();
    sevenZip.start(QStringLiteral("7z"), {QStringLiteral("a"), plain, QStringLiteral("-r"), QStringLiteral("*")});
    const bool plainDone = sevenZip.waitForFinished(30 * 60 * 1000) && sevenZip.exitCode() == 0;
    const double plainSeconds = timer.elapsed() / 1000.0;
    std::printf("  plain 7z a, default level: %.1f s, archive %.1f MB%s; the report's packing took %.2fx its time\n",
                plainSeconds, ArchiveMb(plain), plainDone ? "" : " (FAILED)", packSeconds / plainSeconds);
    return packed && plainDone ? 0 : 1;
}

int MeasureStall()
{
    QTemporaryDir dir;
    const QString archive = dir.path() + QStringLiteral("/BugReport.dmp");
    WriteNoise(archive, 24 * 1024 * 1024);
    auto script = ScriptedSmtpPeer::HappyScript();
    script[5] = {"DATA", "354 go on\r\n", 0, true};
    ScriptedSmtpPeer peer(script);
    BugreportThread thread(Job(archive, QStringLiteral("The server stops reading.")), LocalMailServer(peer.Port(), false));
    bool answered = false;
    bool ok = false;
    Answer(thread, &answered, &ok);
    QElapsedTimer timer;
    timer.start();
    thread.start();
    WaitForEvents([&] { return peer.Count("DATA") == 1; }, 60000);
    const qint64 dataMs = timer.elapsed();
    WaitForEvents([&] { return answered; }, 10 * 60 * 1000);
    std::printf("server that stops reading after DATA: the report failed %.1f s after DATA (goal: one send time-out, "
                "60 s), result %s, archive %s on disk\n",
                (timer.elapsed() - dataMs) / 1000.0, ok ? "SENT?" : "failed",
                QFile::exists(archive) ? "LEFT" : "not left");
    return answered && !ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    TestUserHome home;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    qint64 sizeMb = 200;
    const int sizeAt = args.indexOf(QStringLiteral("--size-mb"));
    if (sizeAt > 0 && sizeAt + 1 < args.size())
        sizeMb = args.at(sizeAt + 1).toLongLong();
    qint64 logMb = 200;
    const int logAt = args.indexOf(QStringLiteral("--log-mb"));
    if (logAt > 0 && logAt + 1 < args.size())
        logMb = args.at(logAt + 1).toLongLong();
    std::printf("load average at the start: %s\n", qPrintable(bench_program::LoadAverage()));
    int failures = 0;
    if (!args.contains(QStringLiteral("--skip-pack")))
        failures += MeasurePacking(logMb);
    if (!args.contains(QStringLiteral("--skip-memory")))
        failures += MeasureMemory(sizeMb);
    if (!args.contains(QStringLiteral("--skip-freeze")))
        failures += MeasureFreeze();
    if (args.contains(QStringLiteral("--stall")))
        failures += MeasureStall();
    std::printf("load average at the end: %s\n", qPrintable(bench_program::LoadAverage()));
    return failures == 0 ? 0 : 1;
}
