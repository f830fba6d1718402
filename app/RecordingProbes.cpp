#include "RecordingProbes.h"

#include <QDir>
#include <QFile>

#include <pulse/error.h>
#include <pulse/simple.h>


namespace {
QByteArray ReadSmallFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.read(4096);
}
} // namespace

int ProbeMicrophoneAccess()
{
    pa_sample_spec spec;
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = 44100;
    spec.channels = 2;
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(-1);
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = 4096;
    int error = 0;
    pa_simple* stream = pa_simple_new(nullptr, "Sonacap", PA_STREAM_RECORD, nullptr, "access probe", &spec,
                                      nullptr, &attr, &error);
    if (stream) {
        pa_simple_free(stream);
        return 0;
    }
    switch (error) {
    case PA_ERR_ACCESS:
    case PA_ERR_AUTHKEY:
        return 1;
    case PA_ERR_NOENTITY:
        return 0;  // no source at all: nothing to be denied
    default:
        return -1;
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
        QByteArray text = ReadSmallFile(dir + QStringLiteral("/comm"));
        text += ' ';
        QByteArray cmdline = ReadSmallFile(dir + QStringLiteral("/cmdline"));
        cmdline.replace('\0', ' ');
        text += cmdline;
        if (QString::fromLocal8Bit(text).contains(namePart, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
