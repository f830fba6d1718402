#pragma once

// Helpers of the benchmarks that start the real program: a throw-away user
// for it, the test suite's private sound server, and the median of runs.
//
// Header only; this folder has no CMakeLists.txt, a benchmark (or a test that
// starts the program) includes it by relative path.

#include <QDir>
#include <QMap>
#include <QStringList>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <algorithm>
#include <cstdio>
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

inline double Median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace bench_program
