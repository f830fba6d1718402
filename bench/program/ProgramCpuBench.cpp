// CPU time of the whole program, the way a user runs it: the real
// TavrelSonacap on its own X display (Xvfb) with the test suite's private
// sound server and a throw-away home, recording MP3 at 320 kbit/s what a
// player plays into the server's output. The program is driven through its
// SONACAP_COMMANDS_ON_STDIN switch, which presses its own buttons (Stop,
// the page buttons) and minimises its window; Record is clicked for real
// through the X server. The process's CPU time is read from
// /proc/<pid>/stat (all its threads) over each phase:
//
//   idle            started, nothing recorded or played      goal < 1 %
//   Recording page  recording, the page with the animation   goal < 5 %
//   Media page      recording, the library shown             goal < 3 %
//   minimised       recording, the window minimised          (no goal)
//   idle after      recording stopped                        (no goal)
//
// Figures are percent of one core. Then bench_capture runs on the same sound
// server for the engine alone (and its parec | lame peer), printed beside.
//
// Record is clicked (--presses times a round, with Stop between; every other
// click from the library page) while a song already plays, as a user does
// who hears one start: the X server's pointer is moved onto the button and
// pressed and released through the server's XTEST extension, so the click
// reaches the program as a mouse's does. Timed on the steady clock from the
// moment the server has taken the release:
//
//   Record press        how long the click and what follows it hold the
//                       window: "ping"s go to its input one after another
//                       from the click on for a second, and the longest
//                       wait for an answer counts
//                       goal < 150 ms at the 95th percentile
//   Record to capture   until the engine opens the song with its first
//                       captured block                  goal < 50 ms
//
// beside their peers: the same second of pings on the idle window, and the
// sound server's own stream start, from connecting a record stream on the
// default output's monitor (as the engine records) to its first block, on a
// client that is already connected.
//
//   program_cpu_bench [--seconds N] [--rounds N] [--presses N]
//                     [--program PATH] [--capture-bench PATH] [--keep 1]
//
// --seconds is the length of each measured phase (default 20); with several
// rounds the median of each phase is printed. The machine may be shared:
// the load average is printed at the start and the end.
#include "../common/BenchProgram.h"

#include "PulseSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <unistd.h>
#include <vector>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#ifndef SONACAP_PROGRAM
#define SONACAP_PROGRAM ""
#endif
#ifndef SONACAP_CAPTURE_BENCH
#define SONACAP_CAPTURE_BENCH ""
#endif
#ifndef SONACAP_PULSE_FIXTURE
#define SONACAP_PULSE_FIXTURE ""
#endif

namespace {

constexpr int kRate = 44100;

// The steady clock (CLOCK_MONOTONIC, as the program's events give it) in
// milliseconds.
double NowMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct PeerStream {
    PulseSession* session = nullptr;
    bool gotBlock = false;
};

void PeerState(pa_stream*, void* user)
{
    static_cast<PeerStream*>(user)->session->Signal();
}

void PeerRead(pa_stream* stream, size_t, void* user)
{
    auto* peer = static_cast<PeerStream*>(user);
    const void* data = nullptr;
    size_t bytes = 0;
    if (pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
        pa_stream_drop(stream);
        peer->gotBlock = true;
    }
    peer->session->Signal();
}

// The sound server's own stream start in milliseconds: a record stream on
// the default output's monitor, 20 ms fragments as the engine asks for,
// from the connect to its first block; -1 when none came.
double StreamStartMs()
{
    PulseSession session("program bench peer");
    if (!session.Connect())
        return -1;
    PeerStream peer;
    peer.session = &session;
    pa_sample_spec spec;
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = kRate;
    spec.channels = 2;
    PulseLockGuard guard(&session);
    const double begin = NowMs();
    pa_stream* stream = session.StartRecordStream("program bench peer", "@DEFAULT_MONITOR@", spec,
                                                  20 * PA_USEC_PER_MSEC, PA_STREAM_ADJUST_LATENCY, PeerState,
                                                  PeerRead, &peer);
    if (!stream)
        return -1;
    const bool got = session.WaitFor([&] { return peer.gotBlock; }, 5000);
    const double end = NowMs();
    PulseSession::CloseStream(&stream);
    return got ? end - begin : -1;
}

// utime + stime of the process (every thread), in seconds; < 0 when gone.
double CpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    // The command name may hold spaces: the fields count from its ')'.
    const int close = stat.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // Field 3 of the line is fields[0]; utime and stime are fields 14 and 15.
    if (fields.size() < 13)
        return -1;
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    return (fields.at(11).toLongLong() + fields.at(12).toLongLong()) / ticks;
}

void Wait(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(50, ms - t.elapsed())));
}

// The value below which `share` (0..1) of the figures lie, by nearest rank;
// -1 for none.
double Percentile(std::vector<double> v, double share)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    const size_t rank = static_cast<size_t>(std::ceil(share * static_cast<double>(v.size())));
    return v[std::min(v.size(), std::max<size_t>(rank, 1)) - 1];
}

// The pointer of the benchmark's X server, moved and clicked through its
// XTEST extension: the program gets the click as it gets a mouse's.
class Pointer
{
public:
    explicit Pointer(const QString& display)
    {
        m_display = XOpenDisplay(display.toLocal8Bit().constData());
        int event = 0, error = 0, major = 0, minor = 0;
        if (m_display && !XTestQueryExtension(m_display, &event, &error, &major, &minor)) {
            XCloseDisplay(m_display);
            m_display = nullptr;
        }
    }
    ~Pointer()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    Pointer(const Pointer&) = delete;
    Pointer& operator=(const Pointer&) = delete;

    bool IsOpen() const { return m_display != nullptr; }
    void MoveTo(int x, int y)
    {
        XTestFakeMotionEvent(m_display, -1, x, y, CurrentTime);
        XSync(m_display, False);
    }
    // Presses and releases the left button; the steady clock once the server
    // has taken the release (the button acts on it).
    double Click()
    {
        XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
        XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
        XSync(m_display, False);
        return NowMs();
    }

private:
    ::Display* m_display = nullptr;
};

// Percent of one core the process used over `seconds`.
double Measure(qint64 pid, int seconds)
{
    const double cpu0 = CpuSeconds(pid);
    QElapsedTimer wall;
    wall.start();
    Wait(seconds * 1000);
    const double cpu1 = CpuSeconds(pid);
    if (cpu0 < 0 || cpu1 < 0)
        return -1;
    return 100.0 * (cpu1 - cpu0) / (wall.nsecsElapsed() / 1e9);
}

// A song: a few chords with a beat and a melody over them, never silent, so
// the recording stays one song; 16-bit stereo WAV.
bool WriteSong(const QString& path, int seconds)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const quint32 frames = static_cast<quint32>(seconds) * kRate;
    const quint32 dataBytes = frames * 4;
    auto put32 = [&](quint32 v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [&](quint16 v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    f.write("RIFF", 4);
    put32(36 + dataBytes);
    f.write("WAVEfmt ", 8);
    put32(16);
    put16(1);
    put16(2);
    put32(kRate);
    put32(kRate * 4);
    put16(4);
    put16(16);
    f.write("data", 4);
    put32(dataBytes);
    static const double kChords[4][3] = {
        {261.63, 329.63, 392.00}, {220.00, 261.63, 329.63}, {174.61, 220.00, 261.63}, {196.00, 246.94, 293.66}};
    static const double kMelody[8] = {523.25, 587.33, 659.25, 587.33, 523.25, 493.88, 440.00, 493.88};
    std::vector<qint16> block(static_cast<size_t>(kRate) * 2);
    for (int second = 0; second < seconds; ++second) {
        for (int i = 0; i < kRate; ++i) {
            const double t = (static_cast<double>(second) * kRate + i) / kRate;
            const double* chord = kChords[static_cast<int>(t / 2) % 4];
            double left = 0;
            for (int n = 0; n < 3; ++n)
                left += 0.12 * std::sin(2 * M_PI * chord[n] * t);
            const double beat = std::fmod(t, 0.5);
            left += 0.3 * std::exp(-beat * 18) * std::sin(2 * M_PI * 60 * beat);
            const double note = kMelody[static_cast<int>(t * 4) % 8];
            const double right = left + 0.15 * std::sin(2 * M_PI * note * t);
            block[static_cast<size_t>(i) * 2] = static_cast<qint16>(std::lround(12000 * left));
            block[static_cast<size_t>(i) * 2 + 1] = static_cast<qint16>(std::lround(12000 * right));
        }
        f.write(reinterpret_cast<const char*>(block.data()), static_cast<qint64>(block.size() * 2));
    }
    return f.error() == QFile::NoError;
}

// The program with its command input; answers come back on its output.
class Program
{
public:
    bool Start(const QString& path, const QProcessEnvironment& env, const QString& log)
    {
        m_process.setProcessEnvironment(env);
        m_process.setStandardErrorFile(log);
        m_process.start(path, QStringList());
        return m_process.waitForStarted(10000) && Command("ping", 60000);
    }
    // Sends one command and waits for its "ok".
    bool Command(const QByteArray& command, int timeoutMs = 15000)
    {
        return Answer(command, timeoutMs, nullptr);
    }
    // The words after "<prefix> " on the line the command printed before its
    // "ok"; empty when the command failed or printed none.
    QList<QByteArray> Reply(const QByteArray& command, const QByteArray& prefix)
    {
        QByteArray printed;
        if (!Answer(command, 15000, &printed))
            return {};
        for (const QByteArray& line : printed.split('\n')) {
            if (line.startsWith(prefix + ' '))
                return line.mid(prefix.size() + 1).trimmed().split(' ');
        }
        return {};
    }
    // The value of the next "event <name> <value>" line; -1 when none came
    // within the time.
    long long Event(const QByteArray& name, int timeoutMs)
    {
        const QByteArray prefix = "event " + name + ' ';
        QElapsedTimer t;
        t.start();
        for (;;) {
            Consume(m_output.lastIndexOf('\n') + 1);
            for (int i = 0; i < m_events.size(); ++i) {
                if (m_events[i].startsWith(prefix))
                    return m_events.takeAt(i).mid(prefix.size()).toLongLong();
            }
            if (t.elapsed() > timeoutMs || m_process.state() != QProcess::Running)
                return -1;
            m_process.waitForReadyRead(20);
            m_output += m_process.readAllStandardOutput();
        }
    }
    qint64 Pid() const { return m_process.processId(); }
    void Quit()
    {
        Command("quit", 5000);
        if (!m_process.waitForFinished(20000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

private:
    // Sends one command and waits for its "ok"; what the program printed
    // before that answer goes to `printed`.
    bool Answer(const QByteArray& command, int timeoutMs, QByteArray* printed)
    {
        m_process.write(command + '\n');
        const QByteArray answer = "ok " + command + '\n';
        QElapsedTimer t;
        t.start();
        while (!m_output.contains(answer)) {
            if (t.elapsed() > timeoutMs || m_process.state() != QProcess::Running)
                return false;
            m_process.waitForReadyRead(100);
            m_output += m_process.readAllStandardOutput();
        }
        const int end = m_output.indexOf(answer);
        if (printed)
            *printed = m_output.left(end);
        Consume(end + answer.size());
        return true;
    }
    // Drops the first `bytes` of the output, keeping the event lines in them.
    void Consume(int bytes)
    {
        const QList<QByteArray> lines = m_output.left(bytes).split('\n');
        for (const QByteArray& line : lines) {
            if (line.startsWith("event "))
                m_events.append(line.trimmed());
        }
        m_output.remove(0, bytes);
    }

    QProcess m_process;
    QByteArray m_output;
    QList<QByteArray> m_events;
};

QProcessEnvironment MakeUser(const QString& home, const QString& display)
{
    QProcessEnvironment env = bench_program::ThrowAwayUser(home);
    QDir().mkpath(home + "/.local/share/Tavrel/Sonacap");
    QDir().mkpath(home + "/Music");
    // MP3 at 320 kbit/s, as bench_capture records it; what plays is recorded.
    QFile ini(home + "/.local/share/Tavrel/Sonacap/sonacap.ini");
    if (ini.open(QIODevice::WriteOnly | QIODevice::Text)) {
        QTextStream out(&ini);
        out << "[General]\nBit_Rate=320\nOutput_File_Type=0\nRecord_Mode=-1\nLanguage=en\n"
            << "Output_Path=" << home << "/Music\n"
            // The notice after Stop, as a user has it who ticked "Do not show
            // this again": it would cover the window the next click aims at.
            << "[PortInfo]\nstate=1\n";
    }
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("DISPLAY", display);
    env.insert("SONACAP_COMMANDS_ON_STDIN", "1");
    env.remove("WAYLAND_DISPLAY");
    return env;
}

using bench_program::Median;

const char* const kPhases[] = {"idle", "Recording page", "Media page", "minimised", "idle after"};

// How long the window is held: pings sent one after another (2 ms apart)
// for `ms`, the longest time one of them waited for its answer; -1 when one
// went unanswered.
double LongestPing(Program& p, int ms)
{
    double longest = 0;
    const double end = NowMs() + ms;
    while (NowMs() < end) {
        const double sent = NowMs();
        if (!p.Command("ping"))
            return -1;
        longest = std::max(longest, NowMs() - sent);
        QThread::usleep(2000);
    }
    return longest;
}

// One run of the program through every phase; false when it failed.
bool RunRound(const QString& program, const QProcessEnvironment& env, const QString& display, const QString& song,
              const QString& log, int seconds, int presses, std::map<QString, std::vector<double>>& figures)
{
    Program p;
    if (!p.Start(program, env, log)) {
        std::fprintf(stderr, "the program did not start or answer (its log: %s)\n", qPrintable(log));
        return false;
    }
    const qint64 pid = p.Pid();
    Wait(3000);   // start-up work done
    figures["idle"].push_back(Measure(pid, seconds));
    for (int i = 0; i < 3; ++i)
        figures["idle ping"].push_back(LongestPing(p, 1000));

    const QList<QByteArray> where = p.Reply("where record", "at record");
    if (where.size() != 2) {
        std::fprintf(stderr, "the program did not say where its Record button is\n");
        p.Quit();
        return false;
    }
    Pointer pointer(display);
    if (!pointer.IsOpen()) {
        std::fprintf(stderr, "no XTEST input on the X server %s\n", qPrintable(display));
        p.Quit();
        return false;
    }

    QProcess player;
    player.start(QStringLiteral("paplay"), {song});
    if (!player.waitForStarted(5000)) {
        std::fprintf(stderr, "paplay did not start\n");
        p.Quit();
        return false;
    }
    Wait(1500);   // the song plays
    for (int press = 0; press < presses; ++press) {
        // Every other click comes from the library, as when a user who
        // browses it hears a song begin: the click brings the Recording page.
        p.Command(press % 2 == 0 ? "page media" : "page recording");
        figures["stream start"].push_back(StreamStartMs());
        // Onto the button first, as a hand moves before it clicks.
        pointer.MoveTo(where.at(0).toInt(), where.at(1).toInt());
        Wait(300);
        const double clicked = pointer.Click();
        // What follows the click on the window's thread (the click itself,
        // the page it brings, the new song's row) comes within that second.
        figures["record press"].push_back(LongestPing(p, 1000));
        if (p.Event("record-clicked", 10000) < 0) {
            std::fprintf(stderr, "the Record click did not reach the program\n");
            p.Quit();
            return false;
        }
        const long long captured = p.Event("song-start", 10000);
        figures["record to capture"].push_back(captured < 0 ? -1 : static_cast<double>(captured) - clicked);
        if (press + 1 == presses)
            break;
        Wait(1500);   // a song of a second and a half
        p.Command("stop");
        Wait(1500);   // stored
    }
    Wait(3000);   // the file is open and being written
    p.Command("page recording");
    Wait(1000);
    figures["Recording page"].push_back(Measure(pid, seconds));
    p.Command("page media");
    Wait(2000);
    figures["Media page"].push_back(Measure(pid, seconds));
    p.Command("page recording");
    p.Command("minimize");
    Wait(2000);
    figures["minimised"].push_back(Measure(pid, seconds));
    p.Command("restore");
    player.waitForFinished(-1);
    p.Command("stop");
    Wait(3000);
    figures["idle after"].push_back(Measure(pid, seconds));
    p.Quit();
    return true;
}

// The engine alone: bench_capture's MP3 line (and its peer's), run on the same
// sound server.
QStringList CaptureFigures(const QString& captureBench, int seconds)
{
    QStringList lines;
    if (!QFile::exists(captureBench))
        return lines;
    QProcess capture;
    capture.start(captureBench, {QString::number(seconds)});
    capture.waitForFinished(-1);
    const QStringList output = QString::fromLocal8Bit(capture.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : output) {
        if (line.contains(QLatin1String("% of one core")))
            lines << line;
    }
    return lines;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QMap<QString, QString> options = bench_program::Options(app.arguments());
    const int seconds = qMax(5, options.value("--seconds", "20").toInt());
    const int rounds = qMax(1, options.value("--rounds", "1").toInt());
    const int presses = qMax(1, options.value("--presses", "12").toInt());
    const bool keep = options.value("--keep") == "1";
    const QString captureBench = options.value("--capture-bench", QStringLiteral(SONACAP_CAPTURE_BENCH));
    const QString program = bench_program::ProgramToStart(options, QStringLiteral(SONACAP_PROGRAM));
    if (program.isEmpty())
        return 2;
    std::printf("load average at the start: %s (%ld cores)\n", qPrintable(bench_program::LoadAverage()), sysconf(_SC_NPROCESSORS_ONLN));

    QTemporaryDir scratch;
    scratch.setAutoRemove(!keep);
    if (keep)
        std::printf("folders kept in %s\n", qPrintable(scratch.path()));
    bench_program::PrivateSoundServer sound(QStringLiteral(SONACAP_PULSE_FIXTURE), scratch.filePath("pulse"));
    if (sound.Failed())
        return 2;
    bench_program::Display display;
    if (!display.Start()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 2;
    }
    // Long enough for every recording phase, with room to spare.
    const QString song = scratch.filePath("song.wav");
    WriteSong(song, 3 * seconds + 20 + 4 * presses);

    std::map<QString, std::vector<double>> figures;
    bool ok = true;
    for (int round = 0; round < rounds && ok; ++round) {
        const QString home = scratch.filePath(QStringLiteral("home%1").arg(round));
        ok = RunRound(program, MakeUser(home, display.Name()), display.Name(), song,
                      scratch.filePath(QStringLiteral("program%1.log").arg(round)), seconds, presses, figures);
    }
    QStringList capture;
    if (ok)
        capture = CaptureFigures(captureBench, 2 * seconds);
    if (!ok)
        return 1;

    std::printf("whole program, %% of one core over %d s per phase, median of %d round(s):\n", seconds, rounds);
    const std::map<QString, double> goals = {{"idle", 1.0}, {"Recording page", 5.0}, {"Media page", 3.0}};
    for (const char* phase : kPhases) {
        const double value = Median(figures[phase]);
        const auto goal = goals.find(phase);
        if (goal != goals.end())
            std::printf("  %-15s %6.2f %%   goal < %.0f %%: %s (%.2fx of the goal)\n", phase, value, goal->second,
                        value < goal->second ? "met" : "MISSED", value / goal->second);
        else
            std::printf("  %-15s %6.2f %%\n", phase, value);
    }
    const std::vector<double>& pressTimes = figures["record press"];
    const std::vector<double>& captures = figures["record to capture"];
    const bool allCaptured = std::none_of(captures.begin(), captures.end(), [](double v) { return v < 0; });
    const double press95 = Percentile(pressTimes, 0.95);
    const double toCapture = Median(captures);
    const double stream = Median(figures["stream start"]);
    std::printf("Record clicked through the X server with a song playing, %zu click(s) in %d round(s):\n",
                pressTimes.size(), rounds);
    std::printf("  Record press        median %6.1f ms, 95th percentile %6.1f ms   goal < 150 ms: %s (%.2fx of the "
                "goal)\n",
                Median(pressTimes), press95, press95 < 150 ? "met" : "MISSED", press95 / 150);
    std::printf("  each press, ms:   ");
    for (const double v : pressTimes)
        std::printf(" %.0f", v);
    std::printf("\n  each capture, ms: ");
    for (const double v : captures)
        std::printf(" %.0f", v);
    std::printf("\n");
    std::printf("  peer: idle window   median %6.1f ms, 95th percentile %6.1f ms\n", Median(figures["idle ping"]),
                Percentile(figures["idle ping"], 0.95));
    if (!allCaptured) {
        std::printf("  Record to capture   a click started no song   goal < 50 ms: MISSED\n");
    } else {
        std::printf("  Record to capture   median %6.1f ms, 95th percentile %6.1f ms   goal < 50 ms: %s (%.2fx of "
                    "the goal)\n",
                    toCapture, Percentile(captures, 0.95), toCapture < 50 ? "met" : "MISSED", toCapture / 50);
    }
    if (stream > 0 && allCaptured)
        std::printf("  peer: sound server's stream start median %6.1f ms (Record to capture is %.1fx of it)\n", stream,
                    toCapture / stream);
    else
        std::printf("  peer: sound server's stream start did not deliver a block\n");
    std::printf("engine alone (bench_capture, %d s):\n", 2 * seconds);
    for (const QString& line : capture)
        std::printf("  %s\n", qPrintable(line));
    std::printf("load average at the end: %s\n", qPrintable(bench_program::LoadAverage()));
    return 0;
}
