#include "CTerminateWatcher.h"

#include <QDebug>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
// The pipe between the handler and the event loop; -1 while nobody watches.
volatile sig_atomic_t g_writeEnd = -1;
int g_readEnd = -1;

void OnTerminate(int)
{
    const int saved = errno;
    const int fd = g_writeEnd;
    if (fd >= 0) {
        const char byte = 't';
        // A full pipe already holds a request: nothing is lost.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = saved;
}
} // namespace

CTerminateWatcher::CTerminateWatcher(QObject* parent) : QObject(parent)
{
    int ends[2];
    if (g_readEnd >= 0 || ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning() << "CTerminateWatcher: SIGTERM is not watched";
        return;
    }
    g_readEnd = ends[0];
    g_writeEnd = ends[1];
    m_notifier = new QSocketNotifier(g_readEnd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CTerminateWatcher::ReadPipe);
    struct sigaction action = {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
}

CTerminateWatcher::~CTerminateWatcher()
{
    if (!m_notifier)
        return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    const int writeEnd = g_writeEnd;
    g_writeEnd = -1;
    ::close(writeEnd);
    ::close(g_readEnd);
    g_readEnd = -1;
}

void CTerminateWatcher::ReadPipe()
{
    char bytes[16];
    bool any = false;
    while (::read(g_readEnd, bytes, sizeof bytes) > 0)
        any = true;
    if (any) {
        qDebug() << "CTerminateWatcher: SIGTERM received";
        emit Terminated();
    }
}
