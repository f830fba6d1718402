// The log library as compiled into the engine: one "<name>.log", emptied at
// every start, threads shown by their id.
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "EngineUtils.h"
#include "ILogFile.h"
#include "Log.h"
#include "LogTestSupport.h"

namespace {

class LogEngineTest : public testing::Test {
protected:
    void TearDown() override
    {
        while (started-- > 0)
            ReleaseLogSystem();
    }

    CLogManager* Start(const char* name, const char* dir, int type = 2, int level = 0)
    {
        ++started;
        return InitLogSystem(name, dir, 5, type, level);
    }

    void Stop()
    {
        --started;
        ReleaseLogSystem();
    }

    std::string LogPath(const char* name = "Test") const { return dir.Path() + "//" + name + ".log"; }

    TempFolder dir;
    int started = 0;
};

void LogEveryLevel()
{
    LogTrack("a", "f", 1, "track");
    LogInfo("a", "f", 2, "info");
    LogWarning("a", "f", 3, "warning");
    LogError("a", "f", 4, "error");
    LogDebug("a", "f", 5, "debug");
}

std::vector<std::string> Texts(const std::vector<std::string>& lines)
{
    std::vector<std::string> texts;
    for (const std::string& line : lines)
        texts.push_back(line.substr(line.rfind(' ') + 1, line.size() - line.rfind(' ') - 2));
    return texts;
}

struct LevelCase {
    int level;
    std::vector<std::string> written;
};

class LogLevelTest : public LogEngineTest, public testing::WithParamInterface<LevelCase> {};

TEST_P(LogLevelTest, ThresholdPerLevel)
{
    Start("Test", dir.Path().c_str(), 2, GetParam().level);
    LogEveryLevel();
    Stop();
    EXPECT_EQ(Texts(ReadLines(LogPath())), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(Table, LogLevelTest, testing::Values(
    LevelCase{0, {"track", "info", "warning", "error", "debug"}},
    LevelCase{1, {"track", "info", "warning", "error"}},
    LevelCase{2, {"track", "warning", "error"}},
    LevelCase{3, {"track", "error"}},
    LevelCase{4, {"track"}},
    LevelCase{9, {"track"}}));

TEST_F(LogEngineTest, ExactLineFormats)
{
    Start("Test", dir.Path().c_str());
    LogTrack("/src/engine/SonacapImpl.cpp", "CSonacapImpl::Start", 10, "code=%d,msg=%s", -4085, "error");
    LogInfo("Proc", "P::Run", 11, "info");
    LogWarning("C:\\src\\Dev.cpp", "D::Enum", 12, "warn");
    LogError("Err", "E::F", 13, "bad");
    LogDebug("Dbg", "G::H", 14, "dbg");
    LogInfo(nullptr, nullptr, 0, nullptr);
    Stop();

    const std::string t = ThreadIdText();
    const std::string time = "[0-2][0-9]:[0-5][0-9]:[0-6][0-9]";
    const std::vector<std::string> expected = {
        time + " TRACK\t\\[SonacapImpl\\.cpp:" + t + "\\]\\[CSonacapImpl::Start@10\\] code=-4085,msg=error\n",
        time + " INFO\t\\[Proc:" + t + "\\]\\[P::Run@11\\] info\n",
        time + " Warning\\[Dev\\.cpp:" + t + "\\]\\[D::Enum@12\\] warn\n",
        time + " ERROR\t\\[Err:" + t + "\\]\\[E::F@13\\] bad\n",
        time + " DEBUG\t\\[Dbg:" + t + "\\]\\[G::H@14\\] dbg\n",
        time + " INFO\t\\[:" + t + "\\]\\[@0\\] \n",
    };
    std::vector<std::string> lines = ReadLines(LogPath());
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(std::regex_match(lines[i], std::regex(expected[i]))) << lines[i];
}

TEST_F(LogEngineTest, TextIsWrittenAsFormatted)
{
    Start("Test", dir.Path().c_str());
    LogInfo("s", "f", 1, "path=%s", "/music/100%d %s.mp3");
    Stop();
    std::string text = ReadFile(LogPath());
    EXPECT_NE(text.find("path=/music/100%d %s.mp3\n"), std::string::npos) << text;
}

TEST_F(LogEngineTest, ScopeTracesEntryAndExit)
{
    Start("Test", dir.Path().c_str());
    {
        LogScope scope("CAudioProcess::Routine");
        LogInfo("s", "f", 1, "inside");
    }
    { LogScope unnamed(nullptr); }
    Stop();
    const std::string t = ThreadIdText();
    std::vector<std::string> lines = ReadLines(LogPath());
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].substr(8), " TRACK\t[:" + t + "][@0] CAudioProcess::Routine in\n");
    EXPECT_NE(lines[1].find("inside"), std::string::npos);
    EXPECT_EQ(lines[2].substr(8), " TRACK\t[:" + t + "][@0] CAudioProcess::Routine out\n");
    EXPECT_EQ(lines[3].substr(8), " TRACK\t[:" + t + "][@0]  in\n");
}

TEST_F(LogEngineTest, EachStartEmptiesTheFile)
{
    WriteFile(LogPath(), "left from the last run\n");
    Start("Test", dir.Path().c_str());
    LogInfo("s", "f", 1, "first run");
    Stop();
    Start("Test", dir.Path().c_str());
    LogInfo("s", "f", 1, "second run");
    Stop();
    std::vector<std::string> lines = ReadLines(LogPath());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("second run"), std::string::npos);
}

TEST_F(LogEngineTest, LaterStartsOnlyCount)
{
    CLogManager* first = Start("Test", dir.Path().c_str());
    CLogManager* second = Start("Other", nullptr, 1, 4);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    Stop();
    LogDebug("s", "f", 1, "still open");
    Stop();
    LogInfo("s", "f", 1, "after the last release");
    EXPECT_FALSE(FileExists(LogPath("Other")));
    std::vector<std::string> lines = ReadLines(LogPath());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("still open"), std::string::npos);
    // An unmatched release is harmless.
    ReleaseLogSystem();
}

TEST_F(LogEngineTest, EntriesBeforeStartAreDropped)
{
    LogError("s", "f", 1, "nobody listens %d", 1);
    LogScope scope("Nothing");
    SUCCEED();
}

TEST_F(LogEngineTest, NullNameIsApp)
{
    Start(nullptr, dir.Path().c_str());
    LogInfo("s", "f", 1, "x");
    Stop();
    EXPECT_EQ(ReadLines(LogPath("APP")).size(), 1u);
}

TEST_F(LogEngineTest, NullFolderIsLogBelowTheProgram)
{
    const std::string folder = GetProgramFolder() + "log/";
    const std::string path = folder + "/APP.log";
    remove(path.c_str());
    Start(nullptr, nullptr);
    LogInfo("s", "f", 1, "in the program's folder");
    Stop();
    EXPECT_NE(ReadFile(path).find("in the program's folder"), std::string::npos);
    remove(path.c_str());
}

TEST_F(LogEngineTest, CreatesEveryLevelOfTheFolder)
{
    const std::string nested = dir.Path() + "/a/b/c";
    Start("Deep", nested.c_str());
    LogInfo("s", "f", 1, "deep");
    Stop();
    EXPECT_EQ(ReadLines(nested + "//Deep.log").size(), 1u);
}

TEST_F(LogEngineTest, FolderThatCannotBeCreatedIsReportedNotFatal)
{
    WriteFile(dir.File("plain"), "a file, not a folder");
    const std::string bad = dir.File("plain") + "/log";
    testing::internal::CaptureStderr();
    CLogManager* manager = Start("Test", bad.c_str());
    LogError("s", "f", 1, "goes nowhere");
    { LogScope scope("Nowhere"); }
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(manager, nullptr);
    EXPECT_NE(err.find("cannot create folder"), std::string::npos) << err;
    EXPECT_NE(err.find("cannot open"), std::string::npos) << err;
}

TEST_F(LogEngineTest, OverLongTextIsCutToOneWholeLine)
{
    Start("Test", dir.Path().c_str());
    std::string huge(20000, 'x');
    LogInfo("s", "f", 1, "%s", huge.c_str());
    LogInfo("s", "f", 2, "next");
    Stop();
    std::vector<std::string> lines = ReadLines(LogPath());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].back(), '\n');
    EXPECT_NE(lines[0].find(std::string(5119, 'x') + "\n"), std::string::npos);
    EXPECT_EQ(lines[0].find(std::string(5120, 'x')), std::string::npos);
    EXPECT_NE(lines[1].find("next"), std::string::npos);
}

TEST_F(LogEngineTest, ConsoleOutput)
{
    Start("Test", dir.Path().c_str(), 1, 0);
    testing::internal::CaptureStdout();
    LogWarning("s", "f", 7, "to the console");
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Warning[s:" + ThreadIdText() + "][f@7] to the console\n"), std::string::npos) << out;
    EXPECT_FALSE(FileExists(LogPath()));
}

TEST_F(LogEngineTest, TwoThreadsNeverTearLines)
{
    Start("Test", dir.Path().c_str());
    const int perThread = 3000;
    auto work = [&](const char* tag) {
        std::string body(200, tag[0]);
        for (int i = 0; i < perThread; ++i)
            LogInfo("t", tag, i, "%s %s", tag, body.c_str());
    };
    std::thread a(work, "A");
    std::thread b(work, "B");
    a.join();
    b.join();
    Stop();
    std::regex whole("[0-9:]{8} INFO\t\\[t:[0-9]+\\]\\[([AB])@[0-9]+\\] ([AB]) ([AB]){200}\n");
    std::vector<std::string> lines = ReadLines(LogPath());
    ASSERT_EQ(lines.size(), 2u * perThread);
    int countA = 0;
    for (const std::string& line : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, whole)) << line;
        ASSERT_EQ(m[1], m[2]);
        ASSERT_EQ(line[line.size() - 2], m[1].str()[0]);
        countA += m[1] == "A";
    }
    EXPECT_EQ(countA, perThread);
}

// A file that reaches its limit is moved to "<name>.1" and started anew, so
// a long recording session cannot fill the disk with its log; lines stay whole
// while two threads write across the moves.
TEST(LogFileTest, FullFileIsMovedAsideAndStartedAnew)
{
    TempFolder dir;
    const std::string path = dir.File("bounded.log");
    ILogFile file;
    file.SetSizeLimit(4000);
    ASSERT_TRUE(file.Open(path.c_str()));
    auto work = [&](char tag) {
        for (int i = 0; i < 500; ++i)
            file.Write((std::string(99, tag) + "\n").c_str());
    };
    std::thread a(work, 'A');
    std::thread b(work, 'B');
    a.join();
    b.join();
    file.Write("last\n");
    file.Close();
    const std::vector<std::string> current = ReadLines(path);
    const std::vector<std::string> previous = ReadLines(path + ".1");
    EXPECT_LT(ReadFile(path).size(), 4000u);
    EXPECT_EQ(ReadFile(path + ".1").size(), 4000u);
    ASSERT_FALSE(current.empty());
    EXPECT_EQ(current.back(), "last\n");
    for (const auto* lines : {&current, &previous})
        for (size_t i = 0; i + 1 < lines->size(); ++i)
            EXPECT_TRUE((*lines)[i] == std::string(99, 'A') + "\n" || (*lines)[i] == std::string(99, 'B') + "\n")
                << (*lines)[i];
}

} // namespace
