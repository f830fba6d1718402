#include "CrashHandler.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <chrono>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <execinfo.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

namespace {
// ---- shared by the message handler (guarded by g_logLock) ----
std::mutex g_logLock;
char g_line[2048];
int g_logFd = -1;                        // the open debug log, or -1
bool g_logStarted = false;
std::chrono::steady_clock::time_point g_logStart;

// ---- read by the crash path, written before the filter is installed ----
char g_reportPath[4096];
volatile sig_atomic_t g_crashed = 0;
volatile sig_atomic_t g_inCrash = 0;
void* g_altStack = nullptr;

const int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};

// ---- async-signal-safe writing ----
void WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n <= 0)
            return;
        data += n;
        size -= static_cast<size_t>(n);
    }
}

void Put(int fd, const char* text)
{
    WriteAll(fd, text, strlen(text));
}

void PutDecimal(int fd, long long value)
{
    char digits[32];
    char* p = digits + sizeof(digits) - 1;
    *p = '\0';
    const bool negative = value < 0;
    unsigned long long v = negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    do {
        *--p = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (negative)
        *--p = '-';
    Put(fd, p);
}

void PutHex(int fd, uintptr_t value)
{
    static const char hex[] = "0123456789abcdef";
    char digits[2 + 2 * sizeof(uintptr_t) + 1];
    char* p = digits + sizeof(digits) - 1;
    *p = '\0';
    do {
        *--p = hex[value & 0xF];
        value >>= 4;
    } while (value != 0);
    *--p = 'x';
    *--p = '0';
    Put(fd, p);
}

// Copies a /proc file into the report.
void CopyFile(int fd, const char* path)
{
    const int in = open(path, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        Put(fd, "(cannot read ");
        Put(fd, path);
        Put(fd, ")\n");
        return;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(in, buffer, sizeof(buffer));
        if (n <= 0)
            break;
        WriteAll(fd, buffer, static_cast<size_t>(n));
    }
    close(in);
}

const char* SignalName(int sig)
{
    switch (sig) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    case SIGTRAP: return "SIGTRAP";
    case SIGSYS: return "SIGSYS";
    default: return "?";
    }
}

const char* CodeName(int sig, int code)
{
    switch (code) {
    case SI_USER: return "SI_USER";
    case SI_KERNEL: return "SI_KERNEL";
    case SI_QUEUE: return "SI_QUEUE";
    case SI_TKILL: return "SI_TKILL";
    default: break;
    }
    if (sig == SIGSEGV) {
        if (code == SEGV_MAPERR) return "SEGV_MAPERR";
        if (code == SEGV_ACCERR) return "SEGV_ACCERR";
    } else if (sig == SIGBUS) {
        if (code == BUS_ADRALN) return "BUS_ADRALN";
        if (code == BUS_ADRERR) return "BUS_ADRERR";
        if (code == BUS_OBJERR) return "BUS_OBJERR";
    } else if (sig == SIGFPE) {
        if (code == FPE_INTDIV) return "FPE_INTDIV";
        if (code == FPE_INTOVF) return "FPE_INTOVF";
        if (code == FPE_FLTDIV) return "FPE_FLTDIV";
        if (code == FPE_FLTINV) return "FPE_FLTINV";
    } else if (sig == SIGILL) {
        if (code == ILL_ILLOPC) return "ILL_ILLOPC";
        if (code == ILL_ILLOPN) return "ILL_ILLOPN";
        if (code == ILL_PRVOPC) return "ILL_PRVOPC";
    }
    return "?";
}

void WriteCrashReport(int sig, const siginfo_t* info, const void* context)
{
    const int fd = open(g_reportPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    Put(fd, "Crash report of run ");
    Put(fd, CrashHandler::GetSessionTimeStamp());
    Put(fd, "\nSignal: ");
    PutDecimal(fd, sig);
    Put(fd, " (");
    Put(fd, SignalName(sig));
    Put(fd, ")\nCode: ");
    PutDecimal(fd, info ? info->si_code : 0);
    Put(fd, " (");
    Put(fd, CodeName(sig, info ? info->si_code : 0));
    Put(fd, ")\nAddress: ");
    PutHex(fd, reinterpret_cast<uintptr_t>(info ? info->si_addr : nullptr));
#if defined(__x86_64__)
    if (context) {
        Put(fd, "\nInstruction: ");
        PutHex(fd, static_cast<uintptr_t>(static_cast<const ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]));
    }
#else
    (void)context;
#endif
    const long tid = syscall(SYS_gettid);
    Put(fd, "\nProcess: ");
    PutDecimal(fd, getpid());
    Put(fd, "\nThread: ");
    PutDecimal(fd, tid);
    // "/proc/self/task/<tid>/comm" holds the thread's name.
    char commPath[64] = "/proc/self/task/";
    {
        char digits[24];
        char* p = digits + sizeof(digits) - 1;
        *p = '\0';
        long v = tid;
        do {
            *--p = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v > 0);
        strncat(commPath, p, sizeof(commPath) - strlen(commPath) - 1);
        strncat(commPath, "/comm", sizeof(commPath) - strlen(commPath) - 1);
    }
    Put(fd, " ");
    CopyFile(fd, commPath);   // ends with its own line feed

    Put(fd, "\nBacktrace:\n");
    void* frames[128];
    const int count = backtrace(frames, 128);
    backtrace_symbols_fd(frames, count, fd);

    Put(fd, "\nMemory map:\n");
    CopyFile(fd, "/proc/self/maps");
    close(fd);
}

void CrashSignal(int sig, siginfo_t* info, void* context)
{
    // SA_RESETHAND has put the default action back: a second fault inside
    // the writer ends the process instead of coming here again.
    if (!g_inCrash) {
        g_inCrash = 1;
        WriteCrashReport(sig, info, context);
        g_crashed = 1;
    }
    // Blocked while this handler runs; delivered with the default action as
    // soon as it returns, so the process dies of the signal it got.
    raise(sig);
}
} // namespace

CrashHandler* CrashHandler::GetInstance()
{
    static CrashHandler instance;
    return &instance;
}

const char* CrashHandler::GetSessionTimeStamp()
{
    static char stamp[32];
    static std::once_flag once;
    std::call_once(once, [] {
        const QByteArray text =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy_MM_dd_hh_mm_ss")).toLatin1();
        qstrncpy(stamp, text.constData(), sizeof(stamp));
    });
    return stamp;
}

CrashHandler::CrashHandler() = default;

CrashHandler::~CrashHandler()
{
    std::lock_guard<std::mutex> guard(g_logLock);
    if (!m_debugLog)
        return;
    qInstallMessageHandler(nullptr);
    g_logFd = -1;
    if (m_keepLog || g_crashed) {
        m_debugLog->flush();
        m_debugLog->close();
    } else {
        m_debugLog->close();
        m_debugLog->remove();
    }
    delete m_debugLog;
    m_debugLog = nullptr;
}

void CrashHandler::SetReportFolder(const QString& base)
{
    QString folder = QDir::toNativeSeparators(base);
    if (!folder.isEmpty()) {
        if (!folder.endsWith(QDir::separator()))
            folder += QDir::separator();
        folder += QStringLiteral("CrashReport") + QDir::separator();
        if (!QDir().mkpath(folder))
            fprintf(stderr, "CrashHandler: cannot create %s\n", folder.toUtf8().constData());
    }
    m_reportFolder = folder;
    if (m_filterInstalled)
        UpdateCrashPaths();
}

QString CrashHandler::GetReportFolder() const
{
    return m_reportFolder;
}

void CrashHandler::SetKeepLog(bool keep)
{
    m_keepLog = keep;
}

bool CrashHandler::GetKeepLog() const
{
    return m_keepLog || g_crashed;
}

QString CrashHandler::GetRunFolder() const
{
    return QStringLiteral("%1%2%3").arg(m_reportFolder, QLatin1String(GetSessionTimeStamp()), QDir::separator());
}

QString CrashHandler::DebugLogPath() const
{
    return QStringLiteral("%1%2_Debug.log").arg(m_reportFolder, QLatin1String(GetSessionTimeStamp()));
}

QString CrashHandler::CrashReportPath() const
{
    return QStringLiteral("%1%2_CrashDump.dmp").arg(m_reportFolder, QLatin1String(GetSessionTimeStamp()));
}

void CrashHandler::InstallMessageHandler()
{
    {
        std::lock_guard<std::mutex> guard(g_logLock);
        if (!m_reportFolder.isEmpty() && !m_debugLog) {
            auto* log = new QFile(DebugLogPath());
            // Unbuffered: every line is in the file once written, so a
            // crash loses none.
            if (log->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
                m_debugLog = log;
                g_logFd = log->handle();
            } else {
                fprintf(stderr, "CrashHandler: cannot open %s\n", log->fileName().toUtf8().constData());
                delete log;
            }
        }
    }
    qInstallMessageHandler(&CrashHandler::MessageHandler);
}

void CrashHandler::Flush()
{
    std::lock_guard<std::mutex> guard(g_logLock);
    if (m_debugLog && m_debugLog->isOpen())
        m_debugLog->flush();
}

void CrashHandler::UpdateCrashPaths()
{
    const QByteArray path = CrashReportPath().toUtf8();
    qstrncpy(g_reportPath, path.constData(), sizeof(g_reportPath));
}

void CrashHandler::InstallExceptionFilter()
{
    UpdateCrashPaths();
    // The first backtrace loads the unwinder (and allocates); do it now,
    // not in the crash path.
    void* frames[4];
    backtrace(frames, 4);

    if (!g_altStack) {
        const size_t size = 256 * 1024;
        g_altStack = malloc(size);
        if (g_altStack) {
            stack_t stack{};
            stack.ss_sp = g_altStack;
            stack.ss_size = size;
            if (sigaltstack(&stack, nullptr) != 0)
                perror("CrashHandler: sigaltstack");
        }
    }
    struct sigaction action {};
    action.sa_sigaction = &CrashSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int sig : kCrashSignals)
        sigaction(sig, &action, nullptr);
    m_filterInstalled = true;
}

QByteArray CrashHandler::LogLine(qint64 elapsedMs, const char* text)
{
    const qint64 tenths = elapsedMs / 100;
    const qint64 rest = elapsedMs - tenths * 100;
    char prefix[64];
    snprintf(prefix, sizeof(prefix), "[ %05" PRId64 ".%03" PRId64 " ]: ", static_cast<int64_t>(tenths),
             static_cast<int64_t>(rest));
    return QByteArray(prefix) + QByteArray(text ? text : "") + "\r\n";
}

void CrashHandler::WriteLogLocked(const char* text)
{
    printf("%s\n", text);
    fflush(stdout);
    const auto now = std::chrono::steady_clock::now();
    if (!g_logStarted) {
        g_logStarted = true;
        g_logStart = now;
    }
    if (g_logFd < 0)
        return;
    const qint64 elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - g_logStart).count();
    const QByteArray line = LogLine(elapsed, text);
    WriteAll(g_logFd, line.constData(), static_cast<size_t>(line.size()));
}

void CrashHandler::WriteLog(const char* text)
{
    std::lock_guard<std::mutex> guard(g_logLock);
    WriteLogLocked(text);
}

void CrashHandler::MessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    const QByteArray text = message.toUtf8();
    const char* format = nullptr;
    switch (type) {
    case QtDebugMsg:
        format = "Debug: %s";
        break;
    case QtInfoMsg:
        format = "Info: %s";
        break;
    case QtWarningMsg:
        format = "Warning: %s";
        break;
    case QtCriticalMsg:
        format = "Critical: %s";
        break;
    case QtFatalMsg:
        format = "Fatal: %s";
        break;
    }
    {
        std::lock_guard<std::mutex> guard(g_logLock);
        memset(g_line, 0, sizeof(g_line));
        if (format) {
            const int length = snprintf(g_line, sizeof(g_line), format, text.constData());
            if (length >= int(sizeof(g_line))) {
                // Cut at a character boundary, not inside a UTF-8 sequence.
                const size_t last = sizeof(g_line) - 2;
                size_t start = last;
                while (start > 0 && (static_cast<unsigned char>(g_line[start]) & 0xC0) == 0x80)
                    --start;
                const unsigned char lead = static_cast<unsigned char>(g_line[start]);
                const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
                if (start + length - 1 > last)
                    g_line[start] = '\0';
            }
        }
        g_line[sizeof(g_line) - 1] = '\0';
        // The fatal line too: it says why the process is about to end.
        WriteLogLocked(g_line);
    }
    if (type == QtFatalMsg)
        abort();
}
