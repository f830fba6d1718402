#include "CRecordWavWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {
QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

uint32_t Le32(const QByteArray& b, int at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + at);
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}

uint16_t Le16(const QByteArray& b, int at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + at);
    return uint16_t(p[0] | (p[1] << 8));
}

// Channels of the "fmt " chunk of a RIFF file, 0 when none is found.
int WavChannels(const QByteArray& file)
{
    int at = 12;
    while (at + 8 <= file.size()) {
        const uint32_t size = Le32(file, at + 4);
        if (file.mid(at, 4) == "fmt ")
            return Le16(file, at + 10);
        at += 8 + int(size + (size & 1));
    }
    return 0;
}

std::vector<int16_t> Tone(int channels, int frames)
{
    std::vector<int16_t> pcm(size_t(channels) * size_t(frames));
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            pcm[size_t(f * channels + c)] = int16_t(8000 * std::sin(2 * M_PI * 440.0 * (c + 1) * f / 44100.0));
    return pcm;
}

AudioParam Format(int channels)
{
    AudioParam p{};
    p.samplesPerSec = 44100;
    p.channels = channels;
    p.bitsPerSample = 16;
    return p;
}

// Writes `frames` frames of a tone through the writer into `path`.
bool Capture(CRecordWavWriter& writer, const QString& path, int channels, int frames)
{
    const AudioParam format = Format(channels);
    if (!writer.Open(QFile::encodeName(path).constData(), &format))
        return false;
    const std::vector<int16_t> pcm = Tone(channels, frames);
    // In two blocks, as the engine delivers them.
    const uint32_t bytes = uint32_t(pcm.size() * 2);
    writer.Write(pcm.data(), bytes / 2);
    writer.Write(reinterpret_cast<const char*>(pcm.data()) + bytes / 2, bytes - bytes / 2);
    return true;
}
}  // namespace

TEST(CRecordWavWriter, StereoCaptureHasThe46ByteHeader)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("capture.wav");
    CRecordWavWriter writer;
    writer.SetFfmpegProgram(dir.filePath("no-such-program"));  // must not be needed
    ASSERT_TRUE(Capture(writer, path, 2, 1000));
    EXPECT_FALSE(writer.IsMultiChannel());
    EXPECT_TRUE(writer.Close());

    const QByteArray file = ReadAll(path);
    const uint32_t n = 1000 * 2 * 2;
    ASSERT_EQ(int(46 + n), file.size());
    EXPECT_EQ(QByteArray("RIFF"), file.mid(0, 4));
    EXPECT_EQ(n + 38, Le32(file, 4));
    EXPECT_EQ(QByteArray("WAVEfmt "), file.mid(8, 8));
    EXPECT_EQ(18u, Le32(file, 16));
    EXPECT_EQ(1, Le16(file, 20));
    EXPECT_EQ(2, Le16(file, 22));
    EXPECT_EQ(44100u, Le32(file, 24));
    EXPECT_EQ(44100u * 4, Le32(file, 28));
    EXPECT_EQ(4, Le16(file, 32));
    EXPECT_EQ(16, Le16(file, 34));
    EXPECT_EQ(0, Le16(file, 36));
    EXPECT_EQ(QByteArray("data"), file.mid(38, 4));
    EXPECT_EQ(n, Le32(file, 42));
    const std::vector<int16_t> pcm = Tone(2, 1000);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(pcm.data()), int(n)), file.mid(46));
}

TEST(CRecordWavWriter, CloseWithoutFileAndOpenFailure)
{
    CRecordWavWriter writer;
    EXPECT_TRUE(writer.Close());
    QTemporaryDir dir;
    const AudioParam format = Format(6);
    EXPECT_FALSE(writer.Open(QFile::encodeName(dir.filePath("missing/folder/x.wav")).constData(), &format));
    writer.Write("abcd", 4);
    EXPECT_TRUE(writer.Close());
    EXPECT_FALSE(QFile::exists(dir.filePath("missing/folder/x.wav.wav")));
}

// The down-mix failing in any way leaves the capture in place, complete.
TEST(CRecordWavWriter, FailedDownmixKeepsTheCapture)
{
    QTemporaryDir dir;
    const QString failing = dir.filePath("failing-ffmpeg");
    const QString hanging = dir.filePath("hanging-ffmpeg");
    for (const auto& script : {std::make_pair(failing, QByteArray("#!/bin/sh\necho broken >&2\nexit 1\n")),
                               std::make_pair(hanging, QByteArray("#!/bin/sh\nexec sleep 60\n"))}) {
        QFile f(script.first);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(script.second);
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QString programs[] = {dir.filePath("no-such-ffmpeg"), failing, hanging};
    for (const QString& program : programs) {
        const QString path = dir.filePath("six.wav");
        CRecordWavWriter writer;
        writer.SetFfmpegProgram(program);
        writer.SetDownmixTimeout(300);
        ASSERT_TRUE(Capture(writer, path, 6, 500));
        EXPECT_TRUE(writer.IsMultiChannel());
        EXPECT_FALSE(writer.Close()) << program.toStdString();

        const QByteArray file = ReadAll(path);
        const uint32_t n = 500 * 6 * 2;
        ASSERT_EQ(int(46 + n), file.size()) << program.toStdString();
        EXPECT_EQ(n + 38, Le32(file, 4));
        EXPECT_EQ(n, Le32(file, 42));
        EXPECT_EQ(6, Le16(file, 22));
        EXPECT_FALSE(QFile::exists(path + ".wav")) << "no partial output left";
    }
}

// The capture lies among the songs, and the start takes in every song file
// there that no row names: a program ended while the capture is written or
// down-mixed must leave nothing that looks like a song, and the next capture
// of the name clears what it left.
TEST(CRecordWavWriter, AnEndMidwayLeavesNothingTheStartTakesForASong)
{
    QTemporaryDir dir;
    const QString music = dir.filePath("music");
    ASSERT_TRUE(QDir().mkpath(music));
    const QString seen = dir.filePath("seen");
    // Writes part of its output, notes what the folder shows then (what a
    // start after the program's end would find; ls, like the start, passes
    // hidden files by) and fails.
    const QString program = dir.filePath("dying-ffmpeg");
    {
        QFile f(program);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n"
                "for out; do :; done\n"
                "printf RIFFpart > \"$out\"\n"
                "ls -1 \"$(dirname \"$out\")\" > '" + QFile::encodeName(seen) + "'\n"
                "exit 1\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QString path = music + "/six temp.wav";
    // Left by a program ended in an earlier down-mix of this name.
    for (const QString& leftover : {CRecordWavWriter::WorkingName(path), CRecordWavWriter::DownmixName(path)}) {
        QFile f(leftover);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("RIFFleft");
    }

    CRecordWavWriter writer;
    writer.SetFfmpegProgram(program);
    ASSERT_TRUE(Capture(writer, path, 6, 500));
    EXPECT_TRUE(QDir(music).entryList(QDir::Files).isEmpty()) << "while it is written";
    EXPECT_FALSE(writer.Close());
    ASSERT_TRUE(QFile::exists(seen)) << "the down-mix ran";
    EXPECT_EQ(ReadAll(seen).toStdString(), "") << "while it is down-mixed";
    // Afterwards the capture alone, complete, under its name.
    EXPECT_EQ(QDir(music).entryList(QDir::Files | QDir::Hidden), QStringList{"six temp.wav"});
    EXPECT_EQ(int(46 + 500 * 6 * 2), ReadAll(path).size());
}

TEST(CRecordWavWriter, SixChannelsAreDownmixedByFfmpeg)
{
    if (QStandardPaths::findExecutable("ffmpeg").isEmpty())
        GTEST_SKIP() << "ffmpeg is not installed";
    QTemporaryDir dir;
    // A folder and name a shell would trip over.
    const QString path = dir.filePath("it's a \"capture\" $(x) & more.wav");
    CRecordWavWriter writer;
    ASSERT_TRUE(Capture(writer, path, 6, 44100));
    EXPECT_TRUE(writer.Close());

    const QByteArray file = ReadAll(path);
    ASSERT_GT(file.size(), 44);
    EXPECT_EQ(QByteArray("RIFF"), file.mid(0, 4));
    EXPECT_EQ(2, WavChannels(file));
    // One second of 16-bit stereo, give or take the container's chunks.
    EXPECT_GE(file.size(), 44100 * 4);
    EXPECT_LT(file.size(), 44100 * 4 + 4096);
    EXPECT_FALSE(QFile::exists(path + ".wav"));
}
