// Start-up time of the real program: from process start to its main window
// shown and the event loop idle, with a library of 100,000 songs side by side
// with an empty library. Each start runs as a throw-away user (HOME and the
// XDG folders in a temporary folder) against a private sound server, with the
// program's SONACAP_QUIT_WHEN_IDLE seam, which prints "shown and idle" and
// quits. Prints the figures, the time from "shown and idle" to the process's
// end (quitting), the ratio and the goal (the full start under 1 s).
//
//   startup_bench [--runs N] [--songs N] [--program PATH] [--platform NAME]
//                 [--keep 1]
//
// With --keep 1 the users' folders stay (their path is printed) for profiling
// a start by hand. The platform is xcb on an X server of the benchmark's own
// (Xvfb), as users run the program; "--platform offscreen" runs without one.
// The machine may be shared: the load average is printed before and after.
#include "MusicDatabase.h"
#include "../common/BenchProgram.h"
#include "../common/BenchSongs.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#ifndef SONACAP_PROGRAM
#define SONACAP_PROGRAM ""
#endif
#ifndef SONACAP_PULSE_FIXTURE
#define SONACAP_PULSE_FIXTURE ""
#endif

namespace {

// A user's folders below `home`; returns the environment to start the
// program with.
QProcessEnvironment MakeUser(const QString& home, const QString& platform, const QString& display)
{
    QProcessEnvironment env = bench_program::ThrowAwayUser(home);
    env.insert("QT_QPA_PLATFORM", platform);
    if (!display.isEmpty()) {
        env.insert("DISPLAY", display);
        env.remove("WAYLAND_DISPLAY");
    }
    env.insert("SONACAP_QUIT_WHEN_IDLE", "1");
    return env;
}

// A library as the program leaves it after years of recording: `songs` rows
// of varied names added over two years (some played lately), one in five
// with a cover row, and a user play list of 2,000 songs; their files would
// lie in the Music and Pictures folders of `home`.
bool FillLibrary(const QString& home, int songs)
{
    const QString dataFolder = home + "/.local/share/Tavrel/Sonacap";
    QDir().mkpath(dataFolder);
    if (DB_OpenDatabaseFile(dataFolder + "/music.db") != 0)
        return false;
    const QDate today = QDate::currentDate();
    DB_CreateTransaction();
    int coverId = 1;
    for (int id = 1; id <= songs; ++id) {
        MusicInfoRow row = bench_songs::MakeSong(id, today);
        if (id % 10 == 0)
            row.DateAdded += today.addDays(-(id % 5)).toString(QStringLiteral("MM/dd/yyyy")) + QStringLiteral(" 21:00");
        row.MusicPath = QStringLiteral("%1/Music/song %2.mp3").arg(home).arg(id);
        DB_SetMusicInfo(&row);
        if (id % 5 == 0) {
            const QByteArray cover = QStringLiteral("%1/Pictures/cover %2.jpg").arg(home).arg(id).toUtf8();
            DB_SetImageInfo(coverId++, id, cover.constData());
        }
    }
    for (int i = 1; i <= 2000 && i <= songs; ++i)
        DB_SetMusicItem(i, 4, i * 37 % songs + 1);
    DB_CommitTransaction();
    DB_CloseDatabase();
    return true;
}

struct Start {
    double shownMs = -1;   // process start to "shown and idle"
    double exitMs = -1;    // "shown and idle" to the process's end
};

Start RunOnce(const QString& program, const QProcessEnvironment& env)
{
    Start result;
    QProcess process;
    process.setProcessEnvironment(env);
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, QStringList());
    if (!process.waitForStarted(10000))
        return result;
    QByteArray out;
    while (!out.contains("shown and idle\n")) {
        if (!process.waitForReadyRead(60000))
            break;
        out += process.readAllStandardOutput();
    }
    if (out.contains("shown and idle\n"))
        result.shownMs = timer.nsecsElapsed() / 1e6;
    const qint64 shownNs = timer.nsecsElapsed();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    if (result.shownMs >= 0)
        result.exitMs = (timer.nsecsElapsed() - shownNs) / 1e6;
    return result;
}

using bench_program::Median;

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QMap<QString, QString> options = bench_program::Options(app.arguments());
    const int runs = qMax(1, options.value("--runs", "5").toInt());
    const int songs = qBound(1, options.value("--songs", QString::number(kMaxMusicInfoRows)).toInt(), kMaxMusicInfoRows);
    const QString platform = options.value("--platform", "xcb");
    const bool keep = options.value("--keep") == "1";
    const QString program = bench_program::ProgramToStart(options, QStringLiteral(SONACAP_PROGRAM));
    if (program.isEmpty())
        return 2;

    QTemporaryDir scratch;
    scratch.setAutoRemove(!keep);
    if (keep)
        std::printf("users' folders kept in %s\n", qPrintable(scratch.path()));
    bench_program::PrivateSoundServer sound(QStringLiteral(SONACAP_PULSE_FIXTURE), scratch.filePath("pulse"));
    if (sound.Failed())
        return 2;

    bench_program::Display display;
    if (platform == QLatin1String("xcb") && !display.Start()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 2;
    }
    std::printf("load average at the start: %s\n", qPrintable(bench_program::LoadAverage()));

    const QString emptyHome = scratch.filePath("empty");
    const QString fullHome = scratch.filePath("full");
    const QProcessEnvironment emptyEnv = MakeUser(emptyHome, platform, display.Name());
    const QProcessEnvironment fullEnv = MakeUser(fullHome, platform, display.Name());
    QElapsedTimer fill;
    fill.start();
    if (!FillLibrary(fullHome, songs)) {
        std::fprintf(stderr, "could not write the library\n");
        return 2;
    }
    std::printf("library of %d songs written in %.0f ms\n", songs, fill.nsecsElapsed() / 1e6);

    // One untimed start each: the first start of a new user writes its
    // settings and folders, and the disk cache warms up.
    RunOnce(program, emptyEnv);
    RunOnce(program, fullEnv);

    std::vector<double> emptyShown, fullShown, emptyExit, fullExit;
    for (int i = 0; i < runs; ++i) {
        // Alternate the order so that neither side always follows the other.
        for (int side = 0; side < 2; ++side) {
            const bool full = (i + side) % 2 == 1;
            const Start s = RunOnce(program, full ? fullEnv : emptyEnv);
            if (s.shownMs < 0) {
                std::fprintf(stderr, "a %s start never reported shown and idle\n", full ? "full" : "empty");
                continue;
            }
            (full ? fullShown : emptyShown).push_back(s.shownMs);
            (full ? fullExit : emptyExit).push_back(s.exitMs);
        }
    }

    const double empty = Median(emptyShown);
    const double full = Median(fullShown);
    if (empty <= 0 || full <= 0)
        return 1;
    std::printf("start to shown and idle, median of %d (%s):\n", runs, qPrintable(platform));
    std::printf("  empty library        %8.1f ms   (min %.1f)   exit after %.1f ms\n", empty,
                *std::min_element(emptyShown.begin(), emptyShown.end()), Median(emptyExit));
    std::printf("  %6d songs         %8.1f ms   (min %.1f)   exit after %.1f ms\n", songs, full,
                *std::min_element(fullShown.begin(), fullShown.end()), Median(fullExit));
    const double ratio = full / empty;
    std::printf("  full start %.2fx the empty one; goal: the full start under 1000 ms, %s\n", ratio,
                full < 1000 ? "met" : "MISSED");
    std::printf("load average at the end: %s\n", qPrintable(bench_program::LoadAverage()));
    return 0;
}
