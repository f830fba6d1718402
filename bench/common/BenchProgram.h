#pragma once

// Helpers of the benchmarks that start the real program or a process of their
// own: a throw-away user, the test suite's private sound server, an X server
// of their own (Xvfb), the load average, resident memory and the median of
// runs.
//
// Header only (no target to link): a benchmark, or a test that starts the
// program, includes it by relative path.

#include <QDir>
#include <QElapsedTimer>
#include <QMap>
#include <QStringList>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace bench_program {

// The environment of a user whose home, settings, data and runtime folders
// all lie below `home` (made here), away from the desktop's session bus.
inline QProcessEnvironment ThrowAwayUser(const QString& home)
{
    QDir().mkpath(home + "/.config");
    QDir().mkpath(home + "/.local/share");
    QDir().mkpath(home + "/runtime");
    QFile::setPermissions(home + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    env.insert("XDG_DATA_HOME", home + "/.local/share");
    env.insert("XDG_CACHE_HOME", home + "/.cache");
    env.insert("XDG_RUNTIME_DIR", home + "/runtime");
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    return env;
}

// The test suite's private sound server (tests/pulse/pulse-fixture.sh) in
// `dir`, for as long as the object lives, unless PULSE_SERVER already names
// one; PULSE_SERVER points at it meanwhile.
class PrivateSoundServer
{
public:
    PrivateSoundServer(const QString& script, const QString& dir) : m_script(script), m_dir(dir)
    {
        if (!qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            return;
        if (!Run("start")) {
            std::fprintf(stderr, "the private sound server did not start\n");
            m_failed = true;
            return;
        }
        m_own = true;
        qputenv("PULSE_SERVER", ("unix:" + dir + "/native").toUtf8());
    }
    ~PrivateSoundServer()
    {
        if (m_own)
            Run("stop");
    }
    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;
    bool Failed() const { return m_failed; }

private:
    bool Run(const char* action)
    {
        return QProcess::execute(QStringLiteral("bash"), {m_script, QLatin1String(action), m_dir}) == 0;
    }
    QString m_script;
    QString m_dir;
    bool m_own = false;
    bool m_failed = false;
};

// "--name value" pairs of a command line (the program's name skipped).
inline QMap<QString, QString> Options(const QStringList& args)
{
    QMap<QString, QString> options;
    for (int i = 1; i + 1 < args.size(); i += 2)
        options.insert(args[i], args[i + 1]);
    return options;
}

// The program to start: the built one unless --program names another;
// empty (after saying so) when there is none.
inline QString ProgramToStart(const QMap<QString, QString>& options, const QString& built)
{
    const QString program = options.value(QStringLiteral("--program"), built);
    if (QFile::exists(program))
        return program;
    std::fprintf(stderr, "no program at '%s' (give --program)\n", qPrintable(program));
    return QString();
}

// An X server of our own on a free display (Xvfb picks the number).
class Display
{
public:
    bool Start()
    {
        m_process.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                                  QStringLiteral("-screen"), QStringLiteral("0"),
                                                  QStringLiteral("1920x1080x24"), QStringLiteral("-nolisten"),
                                                  QStringLiteral("tcp")});
        if (!m_process.waitForStarted(10000))
            return false;
        QByteArray out;
        QElapsedTimer t;
        t.start();
        while (!out.contains('\n') && t.elapsed() < 20000) {
            m_process.waitForReadyRead(200);
            out += m_process.readAllStandardOutput();
        }
        bool ok = false;
        const int number = out.trimmed().toInt(&ok);
        if (!ok)
            return false;
        m_name = QStringLiteral(":%1").arg(number);
        return true;
    }
    QString Name() const { return m_name; }
    ~Display()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

private:
    QProcess m_process;
    QString m_name;
};

// The load average over 1, 5 and 15 minutes ("?" when unreadable): figures
// of a shared machine are read against it.
inline QString LoadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(f.readAll()).section(QLatin1Char(' '), 0, 2);
}

// The resident memory of this process in KB (0 when unreadable).
inline long ResidentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

inline double Median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Load of the benchmark's own while it lives: `threads` threads that only
// spin, so that a figure can be taken on a machine busy with other work as
// well as on a quiet one, the same way each time.
class BusyLoad
{
public:
    explicit BusyLoad(int threads)
    {
        for (int i = 0; i < threads; ++i)
            m_threads.emplace_back([stop = m_stop] {
                volatile unsigned spin = 0;
                while (!stop->load(std::memory_order_relaxed))
                    spin = spin + 1;
            });
    }
    ~BusyLoad()
    {
        m_stop->store(true);
        for (std::thread& t : m_threads)
            t.join();
    }
    BusyLoad(const BusyLoad&) = delete;
    BusyLoad& operator=(const BusyLoad&) = delete;
    int Threads() const { return static_cast<int>(m_threads.size()); }

private:
    std::shared_ptr<std::atomic<bool>> m_stop = std::make_shared<std::atomic<bool>>(false);
    std::vector<std::thread> m_threads;
};

}  // namespace bench_program
