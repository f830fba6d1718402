#pragma once

// A fake engine that answers the main window from a thread of its own, the
// main window with its dialogs, links and probes replaced, and small file
// helpers. The tests run in a throw-away HOME (see MainUITestMain.cpp).

#include "CMainUI.h"
#include "EngineFactory.h"
#include "Sonacap.h"

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTime>
#include <QUrl>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Records every call; sends notifications through the registered callback on
// a thread of its own (joined before Send returns, so the window must never
// wait for the GUI thread inside the callback).
class FakeEngine : public CSonacapBase {
public:
    int EnumInputDevice() override { return 0; }
    int InputDeviceCount() override { return 0; }
    int GetInputDevice(unsigned, char*, int) override { return -1; }
    int SelectMode(int mode, AudioParam param, const char* device) override;
    int Start(int identify, int format, int quality) override;
    void Pause(bool) override {}
    void Stop() override;
    void Reset() override { Log("Reset"); }
    void SetPreviewVolume(int volume) override { Log("SetPreviewVolume " + std::to_string(volume)); }
    int GetPreviewVolume() override { return previewVolume; }
    void SetTextParam(int key, const char* value) override;
    void SetIntParam(int key, int value) override;

    // Sends one notification from the engine's (a new) thread.
    void Send(tagSonacapNotify code, void* param);
    // A song file opened at `path`: code 2 with the path in the clip.
    void SongStart(const QString& path, int channels = 2);
    // Code 3 with `bytes` of PCM in the song's format.
    void SongData(int bytes, int channels = 2);
    // The song file finished (null path: deleted as too short).
    void SongEnd(const QString& path);
    // A write failed (code 7) with the reason, the folder and the kept song.
    void WriteFailed(int reason, int error, const QString& folder, const QString& kept);

    std::vector<std::string> Calls();
    void ClearCalls();
    QThread* LastCallbackThread() const { return callbackThread; }

    int startResult = 0;
    int selectResult = 0;
    // Stop ends an open song at once; when false the test ends it, as the
    // engine does after a six-channel MP3's mix-down.
    bool endSongOnStop = true;
    int previewVolume = 37;
    QString openSong;            // the song the engine "writes"
    char nameBuffer[512] = {};   // the engine's path buffer handed with code 2
    QString pathSeenAfterCall;   // what the window reported right after code 2

private:
    void Log(const std::string& line);
    QMutex lock;
    std::vector<std::string> calls;
    QThread* callbackThread = nullptr;
};

class FakeEngineFactory : public IEngineFactory {
public:
    void InitModule(const char*, const char*) override {}
    CSonacapBase* CreateEngine() override
    {
        engine = new FakeEngine;
        return engine;
    }
    void ReleaseEngine(CSonacapBase* e) override;
    ISonacapDriverSetup* CreateDriverSetup() override { return nullptr; }
    void ReleaseDriverSetup(ISonacapDriverSetup*) override {}
    FakeEngine* engine = nullptr;
    // Runs first on release: like the real engine's release, which joins its
    // processing thread, it lets a test end the thread it drives the engine on.
    std::function<void()> onRelease;
    // Calls the engine had when it was released.
    std::vector<std::string> releasedCalls;
};

// The main window with every modal dialog answered by a script.
class TestMainUI : public CMainUI {
public:
    TestMainUI() : CMainUI(nullptr) {}

    struct Shown {
        QString className;
        QString text;
    };
    QList<Shown> dialogs;        // every dialog run and notice shown, in order
    QList<int> answers;          // answers of the dialogs run, in order; empty: 0
    // When set, runs each dialog in place of the scripted answer (it may work
    // the dialog's controls) and gives what exec() returns.
    std::function<int(QDialog*)> onExec;
    QList<QUrl> urls;
    bool urlsOpen = true;   // false: no browser takes a page
    int mixFormat = 0;
    int probes = 0;   // CheckMixFormat calls
    bool realProbe = false;   // ask the sound server, as the program does
    bool conflictingTool = false;

    int CheckMixFormat() override
    {
        ++probes;
        return realProbe ? CMainUI::CheckMixFormat() : mixFormat;
    }
    void SendKeyPress(QKeyEvent* e) { keyPressEvent(e); }
    void SendKeyRelease(QKeyEvent* e) { keyReleaseEvent(e); }
    // No song being recorded and none still being finished: every song that
    // ended is in the library (or gone).
    bool SongsStored() const;
    int DialogCount(const QString& className) const;
    bool SawText(const QString& part) const;

protected:
    int ExecDialog(QDialog* dialog) override;
    // Notices are listed with the dialogs and really shown (they wait for
    // nobody, so nothing answers them).
    void ShowNotice(QDialog* notice) override;
    bool OpenUrl(const QUrl& url) override
    {
        urls.append(url);
        return urlsOpen;
    }
    bool IsConflictingToolRunning() override { return conflictingTool; }
};

// Processes events until pred holds or the time runs out.
bool WaitFor(const std::function<bool()>& pred, int ms = 5000);
// Processes events for that long.
void Pause(int ms);

// A 16-bit stereo 44.1 kHz WAV file with a tone of `seconds` (fractions allowed).
void WriteToneWav(const QString& path, double seconds);

// The settings the recording tests start from: loopback, songs split at 200
// seconds, songs of a second or less dropped, 192 kbit/s WAV, deleted songs
// removed from disk. Returns the settings store.
CAppSettings* UseRecordingTestSettings();

// A fresh empty library and the recordings folder the window records into.
void ResetLibrary();
QString OutputFolder();
int MusicRowCount();

class CAppSettings;

// Saves a scheduled recording as the task page does when the user checks
// "enable", sets the times and the power-off box, and presses OK.
void SaveTask(const QTime& start, const QTime& duration, bool powerOff);

// The main window over the real engine and the sound server PULSE_SERVER
// names, recording WAV with songs split at half a second of silence, into a
// fresh library; Open() makes and shows the window.
class RealEngineWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    TestMainUI& Open();

    CAppSettings* settings = nullptr;
    QTemporaryDir scratch;
    std::unique_ptr<TestMainUI> window;
};

// The fake engine "records" a tone of `seconds` as `name`.wav in the output
// folder; the row the window leaves in the library (null when none).
CTreeWidgetItem* RecordToneSong(FakeEngine& engine, TestMainUI& window, const QString& name, double seconds = 2.5);

// The main window over the fake engine, with the recording tests' settings
// and a fresh library; Open() makes the window.
class FakeEngineWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    TestMainUI& Open();

    CAppSettings* settings = nullptr;
    FakeEngineFactory factory;
    IEngineFactory* previous = nullptr;
    std::unique_ptr<TestMainUI> window;
};
