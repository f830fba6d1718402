// The checks before a recording starts: the conflicting tool is found by its
// program name only, and the microphone probe answers without hanging.
#include "../../common/PrivateSoundServer.h"
#include "RecordingProbes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>

namespace {

struct ProcessCase {
    const char* label;
    const char* entry;   // the folder under the process root
    const char* comm;
    QByteArray cmdline;  // arguments separated by zero bytes
    bool found;
};

TEST(RecordingProbes, ConflictingToolIsFoundByItsProgramNameOnly)
{
    const ProcessCase cases[] = {
        {"the tool itself", "101", "NahimicSvc64", QByteArray("/usr/bin/NahimicSvc64\0--service", 31), true},
        {"started by its path", "102", "nahimic3", QByteArray("/opt/Nahimic/nahimic3", 21), true},
        {"a short command name", "103", "svc", QByteArray("/opt/A-Volute/NAHIMIC\0-x", 24), true},
        {"a song named after it", "104", "vlc", QByteArray("vlc\0/music/Nahimic demo.mp3", 27), false},
        {"a search for it", "105", "grep", QByteArray("grep\0-i\0nahimic", 15), false},
        {"no process folder", "self", "Nahimic", QByteArray("Nahimic", 7), false},
    };
    for (const ProcessCase& c : cases) {
        QTemporaryDir proc;
        ASSERT_TRUE(proc.isValid());
        const QString dir = proc.filePath(c.entry);
        QDir().mkpath(dir);
        QFile comm(dir + "/comm");
        ASSERT_TRUE(comm.open(QIODevice::WriteOnly));
        comm.write(QByteArray(c.comm) + "\n");
        comm.close();
        QFile cmdline(dir + "/cmdline");
        ASSERT_TRUE(cmdline.open(QIODevice::WriteOnly));
        cmdline.write(c.cmdline + QByteArray(1, '\0'));
        cmdline.close();
        EXPECT_EQ(IsProcessRunning("Nahimic", proc.path()), c.found) << c.label;
    }
}

// Granted on a server that answers, and at once: the probe runs on every
// press of Record. A failure without a server, and a clear "does not answer"
// from a hung one instead of a wait without end.
TEST(RecordingProbes, MicrophoneProbeAnswersOrSaysWhyWithoutHanging)
{
    {
        PrivateSoundServer server;
        ASSERT_TRUE(server.Ok());
        QElapsedTimer probe;
        probe.start();
        EXPECT_EQ(ProbeMicrophoneAccess(), kProbeGranted);
        const qint64 ms = probe.elapsed();
        std::printf("the probe on a healthy server took %lld ms\n", static_cast<long long>(ms));
        EXPECT_LT(ms, 1000);
        ASSERT_TRUE(server.Stop());
        EXPECT_EQ(ProbeMicrophoneAccess(), kProbeFailed);
    }
    PrivateSoundServer server;
    ASSERT_TRUE(server.Ok());
    ASSERT_TRUE(server.Freeze());
    EXPECT_EQ(ProbeMicrophoneAccess(), kProbeServerHung);
    ASSERT_TRUE(server.Thaw());
}

} // namespace
