#include "CRecordWavWriter.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
const int kDefaultDownmixTimeoutMs = 60000;

void PutLe32(unsigned char* p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

void PutLe16(unsigned char* p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

bool WriteLe32At(FILE* file, long offset, uint32_t value)
{
    unsigned char bytes[4];
    PutLe32(bytes, value);
    return fseek(file, offset, SEEK_SET) == 0 && fwrite(bytes, 1, 4, file) == 4;
}

// `path` beside itself, hidden, with `suffix`: not a song file name either.
QString HiddenBeside(const QString& path, const char* suffix)
{
    const QFileInfo info(path);
    return info.dir().filePath(QLatin1Char('.') + info.fileName() + QLatin1String(suffix));
}

// Moves `from` to `to` in one step, replacing `to`.
bool MoveInPlace(const QString& from, const QString& to)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    qDebug() << "CRecordWavWriter: cannot move" << from << "to" << to << strerror(errno);
    return false;
}
}  // namespace

QString CRecordWavWriter::WorkingName(const QString& path)
{
    return HiddenBeside(path, ".part");
}

QString CRecordWavWriter::DownmixName(const QString& path)
{
    return HiddenBeside(path, ".downmix");
}

CRecordWavWriter::CRecordWavWriter()
    : ffmpegProgram(QStringLiteral("ffmpeg")), downmixTimeoutMs(kDefaultDownmixTimeoutMs)
{
}

CRecordWavWriter::~CRecordWavWriter()
{
    Close();
}

bool CRecordWavWriter::Open(const char* filePath, const AudioParam* fmt)
{
    if (file)
        Close();
    if (!filePath || !fmt)
        return false;
    multiChannel = fmt->channels > 2;
    const QString target = QFile::decodeName(QByteArray(filePath));
    // Something else under the name (a folder) would refuse the capture only
    // at the end.
    if (QFileInfo(target).exists() && !QFileInfo(target).isFile()) {
        qDebug() << "CRecordWavWriter::Open cannot create" << target << ": something else has its name";
        return false;
    }
    // What a program ended midway left for this name.
    QFile::remove(DownmixName(target));
    const QByteArray working = QFile::encodeName(WorkingName(target));
    file = fopen(working.constData(), "wb");
    if (!file) {
        qDebug() << "CRecordWavWriter::Open cannot create" << working << strerror(errno);
        return false;
    }
    format = *fmt;
    path = filePath;
    workingPath = working.toStdString();
    dataCount = 0;

    const uint32_t channels = static_cast<uint32_t>(fmt->channels);
    const uint32_t rate = static_cast<uint32_t>(fmt->samplesPerSec);
    const uint32_t bits = static_cast<uint32_t>(fmt->bitsPerSample);
    const uint32_t blockAlign = channels * bits / 8;
    unsigned char header[46];
    memcpy(header + 0, "RIFF", 4);
    PutLe32(header + 4, 38);
    memcpy(header + 8, "WAVE", 4);
    memcpy(header + 12, "fmt ", 4);
    PutLe32(header + 16, 18);
    PutLe16(header + 20, 1);
    PutLe16(header + 22, channels);
    PutLe32(header + 24, rate);
    PutLe32(header + 28, blockAlign * rate);
    PutLe16(header + 32, blockAlign);
    PutLe16(header + 34, bits);
    PutLe16(header + 36, 0);
    memcpy(header + 38, "data", 4);
    PutLe32(header + 42, 0);
    if (fwrite(header, 1, sizeof(header), file) != sizeof(header))
        qDebug() << "CRecordWavWriter::Open header write failed" << filePath;
    return true;
}

void CRecordWavWriter::Write(const void* data, uint32_t length)
{
    if (!file || !data || length == 0)
        return;
    const size_t written = fwrite(data, 1, length, file);
    dataCount += static_cast<uint32_t>(written);
}

bool CRecordWavWriter::Close()
{
    if (!file)
        return true;
    WriteLe32At(file, 4, dataCount + 38);
    WriteLe32At(file, 42, dataCount);
    fclose(file);
    file = nullptr;
    dataCount = 0;
    const QString working = QFile::decodeName(QByteArray(workingPath.c_str()));
    const QString target = QFile::decodeName(QByteArray(path.c_str()));
    if (multiChannel)
        return Downmix(working, target);
    if (MoveInPlace(working, target))
        return true;
    QFile::remove(working);
    return false;
}

bool CRecordWavWriter::Downmix(const QString& source, const QString& target)
{
    const QString output = DownmixName(target);
    QFile::remove(output);

    // An argument vector, no shell: titles and folders may hold any character.
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(ffmpegProgram,
                 {"-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-i", source, "-ac", "2", "-f", "wav", output});
    bool ok = ffmpeg.waitForStarted(10000);
    if (!ok) {
        qDebug() << "CRecordWavWriter down-mix: cannot start" << ffmpegProgram << ffmpeg.errorString();
    } else if (!ffmpeg.waitForFinished(downmixTimeoutMs)) {
        qDebug() << "CRecordWavWriter down-mix: timed out after" << downmixTimeoutMs << "ms";
        ffmpeg.kill();
        ffmpeg.waitForFinished(5000);
        ok = false;
    } else if (ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0) {
        qDebug() << "CRecordWavWriter down-mix failed, exit code" << ffmpeg.exitCode()
                 << ffmpeg.readAll().left(1024);
        ok = false;
    }
    if (ok && QFileInfo(output).size() <= 44) {
        qDebug() << "CRecordWavWriter down-mix produced no audio";
        ok = false;
    }
    // Only a complete file takes the capture's name: the down-mix, or the
    // capture as written when there is none.
    if (ok && MoveInPlace(output, target)) {
        QFile::remove(source);
        return true;
    }
    QFile::remove(output);
    if (!MoveInPlace(source, target))
        QFile::remove(source);
    return false;
}
