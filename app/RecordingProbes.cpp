#include "RecordingProbes.h"

#include "PulseSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
QByteArray ReadSmallFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.read(4096);
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
    const QDir root(procRoot);
    const QStringList entries = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        const QString dir = root.filePath(entry);
        const QString command = QString::fromLocal8Bit(ReadSmallFile(dir + QStringLiteral("/comm"))).trimmed();
        // The first argument is the program as it was started; a path keeps
        // only its file name.
        const QByteArray cmdline = ReadSmallFile(dir + QStringLiteral("/cmdline"));
        const QString program = QFileInfo(QString::fromLocal8Bit(cmdline.left(cmdline.indexOf('\0')))).fileName();
        if (command.contains(namePart, Qt::CaseInsensitive) || program.contains(namePart, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
