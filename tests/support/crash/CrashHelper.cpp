// A program that installs the crash handler and then crashes (or not) as its
// first argument says; the crash handler test runs it and reads what it left.
//   crash_helper <mode> <base folder>
// Prints "stamp <run stamp>" first. Modes: nullwrite, overflow, fatal,
// thread (a null write on a thread named "crasher"), normal, keep, threads
// (four threads logging at once, log kept), long (an overlong message, log
// kept).
#include "CrashHandler.h"

#include <QCoreApplication>
#include <QDebug>
#include <QString>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <sys/resource.h>

extern "C" {
__attribute__((noinline, no_sanitize("undefined"))) void CrashByNullWrite(volatile int* target)
{
    *target = 42;
}

volatile int g_deepest = 1 << 30;

__attribute__((noinline)) int CrashByRecursion(int depth)
{
    volatile char frame[512];
    frame[depth % 512] = static_cast<char>(depth);
    if (depth > g_deepest)
        return 0;
    return CrashByRecursion(depth + 1) + frame[(depth + 1) % 512];
}
}

namespace {
volatile int* g_null = nullptr;

class Logger : public QThread
{
public:
    explicit Logger(int id) : m_id(id) {}
    void run() override
    {
        const QString padding(40 + m_id * 17, QLatin1Char('a' + m_id));
        for (int i = 0; i < 500; ++i)
            qDebug().noquote() << QStringLiteral("thread %1 line %2 %3").arg(m_id).arg(i).arg(padding);
    }
    int m_id;
};

class Crasher : public QThread
{
public:
    void run() override { CrashByNullWrite(g_null); }
};
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    QCoreApplication app(argc, argv);
    const QByteArray mode = argv[1];

    CrashHandler* handler = CrashHandler::GetInstance();
    handler->SetReportFolder(QString::fromLocal8Bit(argv[2]));
    handler->InstallMessageHandler();
    handler->InstallExceptionFilter();
    std::printf("stamp %s\n", CrashHandler::GetSessionTimeStamp());
    std::fflush(stdout);
    qDebug() << "helper started in mode" << mode;
    qWarning("a warning");

    if (mode == "nullwrite")
        CrashByNullWrite(g_null);
    if (mode == "overflow")
        return CrashByRecursion(0);
    if (mode == "fatal")
        qFatal("fatal reason %d", 7);
    if (mode == "thread") {
        Crasher crasher;
        crasher.setObjectName(QStringLiteral("crasher"));
        crasher.start();
        crasher.wait();
    }
    if (mode == "keep" || mode == "threads" || mode == "long")
        handler->SetKeepLog(true);
    if (mode == "threads") {
        Logger* loggers[4];
        for (int i = 0; i < 4; ++i) {
            loggers[i] = new Logger(i);
            loggers[i]->start();
        }
        for (Logger* logger : loggers) {
            logger->wait();
            delete logger;
        }
    }
    if (mode == "long")
        qDebug().noquote() << QString(3000, QChar(0x00E9));
    qDebug() << "helper ends normally";
    return 0;
}
