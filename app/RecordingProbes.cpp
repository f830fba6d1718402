#include "RecordingProbes.h"

#include "PulseSession.h"

#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
// The start of a small file (a /proc entry), read with plain system calls:
// a Record press reads two of them for every process.
QByteArray ReadSmallFile(int folder, const char* name)
{
    const int fd = openat(folder, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QByteArray();
    char buffer[4096];
    ssize_t got;
    do {
        got = read(fd, buffer, sizeof buffer);
    } while (got < 0 && errno == EINTR);
    close(fd);
    return got > 0 ? QByteArray(buffer, static_cast<int>(got)) : QByteArray();
}

// The session waits for the stream's state with the main loop's wait: each
// change must wake it, or the wait lasts until its deadline.
void WakeSession(pa_stream*, void* user)
{
    static_cast<PulseSession*>(user)->Signal();
}
void IgnoreData(pa_stream*, size_t, void*) {}
} // namespace

int ProbeMicrophoneAccess()
{
    PulseSession session("Sonacap access probe");
    if (!session.Connect())
        return PulseSession::ServerSeemsHung() ? kProbeServerHung : kProbeFailed;
    pa_sample_spec spec;
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = 44100;
    spec.channels = 2;
    PulseLockGuard guard(&session);
    pa_stream* stream = session.ConnectRecordStream("access probe", nullptr, spec, 20 * PA_USEC_PER_MSEC,
                                                    PA_STREAM_NOFLAGS, WakeSession, IgnoreData, &session);
    if (stream) {
        PulseSession::CloseStream(&stream);
        return kProbeGranted;
    }
    if (PulseSession::ServerSeemsHung())
        return kProbeServerHung;
    switch (session.LastErrorCode()) {
    case PA_ERR_ACCESS:
    case PA_ERR_AUTHKEY:
        return kProbeDenied;
    case PA_ERR_NOENTITY:
        return kProbeGranted;  // no source at all: nothing to be denied
    default:
        return kProbeFailed;
    }
}

bool IsProcessRunning(const QString& namePart, const QString& procRoot)
{
    if (namePart.isEmpty())
        return false;
    DIR* root = opendir(QFile::encodeName(procRoot).constData());
    if (!root)
        return false;
    bool found = false;
    while (!found) {
        const dirent* entry = readdir(root);
        if (!entry)
            break;
        const char* name = entry->d_name;
        if (!*name || std::strspn(name, "0123456789") != std::strlen(name))
            continue;
        const int folder = openat(dirfd(root), name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder < 0)
            continue;
        const QString command = QString::fromLocal8Bit(ReadSmallFile(folder, "comm")).trimmed();
        // The first argument is the program as it was started; a path keeps
        // only its file name.
        const QByteArray cmdline = ReadSmallFile(folder, "cmdline");
        close(folder);
        const QString program = QFileInfo(QString::fromLocal8Bit(cmdline.left(cmdline.indexOf('\0')))).fileName();
        found = command.contains(namePart, Qt::CaseInsensitive) || program.contains(namePart, Qt::CaseInsensitive);
    }
    closedir(root);
    return found;
}
