#include "MainUITestSupport.h"

#include "../../common/EventWait.h"

#include "CAppSettings.h"
#include "CDeleteDialog.h"
#include "CSetTaskDialog.h"
#include "CShowListWidget.h"
#include "MusicDatabase.h"
#include "SystemHelpers.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMutexLocker>
#include <QThread>
#include <QTimeEdit>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <thread>

int FakeEngine::SelectMode(int mode, AudioParam param, const char* device)
{
    Log("SelectMode " + std::to_string(mode) + " " + std::to_string(param.samplesPerSec) + " "
        + std::to_string(param.channels) + " " + std::to_string(param.bitsPerSample)
        + (device ? std::string(" ") + device : std::string()));
    return selectResult;
}

int FakeEngine::Start(int identify, int format, int quality)
{
    Log("Start " + std::to_string(identify) + " " + std::to_string(format) + " " + std::to_string(quality));
    return startResult;
}

void FakeEngine::Stop()
{
    Log("Stop");
    if (endSongOnStop && !openSong.isEmpty())
        SongEnd(openSong);
}

void FakeEngine::SetTextParam(int key, const char* value)
{
    Log("SetTextParam " + std::to_string(key) + " " + (value ? value : ""));
}

void FakeEngine::SetIntParam(int key, int value)
{
    Log("SetIntParam " + std::to_string(key) + " " + std::to_string(value));
}

void FakeEngine::Log(const std::string& line)
{
    QMutexLocker guard(&lock);
    calls.push_back(line);
}

std::vector<std::string> FakeEngine::Calls()
{
    QMutexLocker guard(&lock);
    return calls;
}

void FakeEngine::ClearCalls()
{
    QMutexLocker guard(&lock);
    calls.clear();
}

void FakeEngine::Send(tagSonacapNotify code, void* param)
{
    std::thread worker([this, code, param] {
        callbackThread = QThread::currentThread();
        if (callback)
            callback(user, code, param);
    });
    worker.join();
}

void FakeEngine::SongStart(const QString& path, int channels)
{
    openSong = path;
    const QByteArray local = path.toLocal8Bit();
    std::memset(nameBuffer, 0, sizeof nameBuffer);
    std::memcpy(nameBuffer, local.constData(), qMin<size_t>(local.size(), sizeof nameBuffer - 1));
    AudioClip clip{};
    clip.type = 3;
    clip.name = nameBuffer;
    clip.param = {44100, channels, 16, 0, channels * 2, 1, 0};
    Send(kSonacapNotifyMusicStart, &clip);
    // The buffer is the engine's: it changes as soon as the call is over.
    std::memset(nameBuffer, 'X', sizeof nameBuffer - 1);
}

void FakeEngine::SongData(int bytes, int channels)
{
    std::vector<unsigned char> pcm(static_cast<size_t>(bytes), 0);
    AudioClip clip{};
    clip.type = 3;
    clip.size = bytes;
    clip.data = pcm.data();
    clip.name = nameBuffer;
    clip.param = {44100, channels, 16, 0, channels * 2, 1, 0};
    Send(kSonacapNotifyMusicData, &clip);
}

void FakeEngine::SongEnd(const QString& path)
{
    // `path` may be openSong itself.
    const QByteArray utf8 = path.toUtf8();
    const bool none = path.isEmpty();
    openSong.clear();
    Send(kSonacapNotifyMusicEnd, none ? nullptr : const_cast<char*>(utf8.constData()));
}

void FakeEngine::WriteFailed(int reason, int error, const QString& folder, const QString& kept)
{
    const QByteArray folderUtf8 = folder.toUtf8();
    const QByteArray keptUtf8 = kept.toUtf8();
    SonacapFailure failure{reason, error, folderUtf8.constData(), kept.isEmpty() ? nullptr : keptUtf8.constData()};
    Send(kSonacapNotifyWriteFailed, &failure);
}

void FakeEngineFactory::ReleaseEngine(CSonacapBase* e)
{
    auto* fake = static_cast<FakeEngine*>(e);
    if (!fake)
        return;
    if (onRelease)
        onRelease();
    // Like the real engine: a song still open is finished on release.
    if (!fake->openSong.isEmpty())
        fake->SongEnd(fake->openSong);
    releasedCalls = fake->Calls();
    if (fake == engine)
        engine = nullptr;
    delete fake;
}

int TestMainUI::ExecDialog(QDialog* dialog)
{
    Shown shown{QString::fromLatin1(dialog->metaObject()->className()), QString()};
    if (auto* question = qobject_cast<CDeleteDialog*>(dialog))
        shown.text = question->MessageLabel()->text();
    dialogs.append(shown);
    if (onExec)
        return onExec(dialog);
    return answers.isEmpty() ? 0 : answers.takeFirst();
}

void TestMainUI::ShowNotice(QDialog* notice)
{
    Shown shown{QString::fromLatin1(notice->metaObject()->className()), QString()};
    if (auto* question = qobject_cast<CDeleteDialog*>(notice))
        shown.text = question->MessageLabel()->text();
    dialogs.append(shown);
    CMainUI::ShowNotice(notice);
}

bool TestMainUI::SongsStored() const
{
    return !LibraryPage()->RecordingRow() && !IsFinishingSongs();
}

int TestMainUI::DialogCount(const QString& className) const
{
    int n = 0;
    for (const Shown& s : dialogs)
        n += s.className == className ? 1 : 0;
    return n;
}

bool TestMainUI::SawText(const QString& part) const
{
    for (const Shown& s : dialogs) {
        if (s.text.contains(part))
            return true;
    }
    return false;
}

bool WaitFor(const std::function<bool()>& pred, int ms)
{
    return WaitForEvents(pred, ms);
}

void WriteToneWav(const QString& path, double seconds)
{
    const int rate = 44100;
    const int frames = static_cast<int>(seconds * rate);
    QByteArray pcm(frames * 4, 0);
    for (int i = 0; i < frames; ++i) {
        const qint16 v = static_cast<qint16>(8000 * std::sin(2 * M_PI * 440.0 * i / rate));
        qToLittleEndian<qint16>(v, pcm.data() + i * 4);
        qToLittleEndian<qint16>(v, pcm.data() + i * 4 + 2);
    }
    const AudioParam format{rate, 2, 16, 0, 4, 1, 0};
    QByteArray header(44, 0);
    auto put32 = [&](int at, quint32 v) { qToLittleEndian<quint32>(v, header.data() + at); };
    auto put16 = [&](int at, quint16 v) { qToLittleEndian<quint16>(v, header.data() + at); };
    std::memcpy(header.data(), "RIFF", 4);
    put32(4, pcm.size() + 36);
    std::memcpy(header.data() + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, format.channels);
    put32(24, rate);
    put32(28, rate * 4);
    put16(32, 4);
    put16(34, 16);
    std::memcpy(header.data() + 36, "data", 4);
    put32(40, pcm.size());
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(header);
    f.write(pcm);
}

void Pause(int ms)
{
    WaitFor([] { return false; }, ms);
}

CAppSettings* UseRecordingTestSettings()
{
    CAppSettings* settings = CAppSettings::GetInstance();
    settings->SetRecordMode(-1);
    settings->SetDeviceId(QString());
    settings->SetSplitMode(1);
    settings->SetSplitTime(200);
    settings->SetFilterMode(1);
    settings->SetFilterTime(1);
    settings->SetBitRate(192);
    settings->SetOutputFileType(0);
    settings->SetDeleteType(1);
    return settings;
}

void ResetLibrary()
{
    DB_CloseDatabase();
    QFile::remove(CAppSettings::GetInstance()->GetLogPath() + "/music.db");
    DB_OpenDatabase();
    QDir(OutputFolder()).removeRecursively();
    QDir().mkpath(OutputFolder());
}

QString OutputFolder()
{
    return CAppSettings::GetInstance()->GetOutputPath().value(0);
}

int MusicRowCount()
{
    QMap<int, MusicInfoRow*> rows;
    const int n = DB_GetAllMusicInfo(rows);
    qDeleteAll(rows);
    return n;
}

CTreeWidgetItem* RecordToneSong(FakeEngine& engine, TestMainUI& window, const QString& name, double seconds)
{
    const QString path = OutputFolder() + "/" + name + ".wav";
    WriteToneWav(path, seconds);
    engine.SongStart(path);
    EXPECT_TRUE(WaitFor([&] { return window.LibraryPage()->RecordingRow() != nullptr; }));
    CTreeWidgetItem* row = window.LibraryPage()->RecordingRow();
    engine.SongEnd(path);
    EXPECT_TRUE(WaitFor([&] { return window.SongsStored(); }));
    return row;
}

void FakeEngineWindowTest::SetUp()
{
    settings = UseRecordingTestSettings();
    ResetLibrary();
    previous = SetEngineFactory(&factory);
}

void FakeEngineWindowTest::TearDown()
{
    window.reset();
    SetEngineFactory(previous);
}

TestMainUI& FakeEngineWindowTest::Open()
{
    // The library page closes the database when its window goes.
    if (!DB_IsOpen())
        DB_OpenDatabase();
    window.reset(new TestMainUI);
    return *window;
}

void SaveTask(const QTime& start, const QTime& duration, bool powerOff)
{
    CSetTaskDialog page(nullptr);
    page.TaskCheckBox()->setChecked(true);
    page.StartTimeEdit()->setTime(start);
    page.DurationEdit()->setTime(duration);
    page.ShutdownCheckBox()->setChecked(powerOff);
    page.Save();
}

void RealEngineWindowTest::SetUp()
{
    ASSERT_FALSE(qEnvironmentVariableIsEmpty("PULSE_SERVER"));
    settings = UseRecordingTestSettings();
    settings->SetSplitTime(500);
    settings->SetOutputFileType(1);
    ResetLibrary();
    ASSERT_TRUE(scratch.isValid());
}

void RealEngineWindowTest::TearDown()
{
    window.reset();
    if (!DB_IsOpen())
        DB_OpenDatabase();
}

TestMainUI& RealEngineWindowTest::Open()
{
    if (!DB_IsOpen())
        DB_OpenDatabase();
    window = std::make_unique<TestMainUI>();
    window->show();
    Pause(300);
    return *window;
}
