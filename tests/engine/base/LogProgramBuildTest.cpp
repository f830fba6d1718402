// The log library as compiled into the program: dated files, appended, old
// files deleted at start, thread names.
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Log.h"
#include "LogTestSupport.h"

namespace {

std::string DatedName(time_t when, const char* name)
{
    struct tm local;
    localtime_r(&when, &local);
    char buf[64];
    snprintf(buf, sizeof buf, "%04d_%02d_%02d_%s.log", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, name);
    return buf;
}

class LogProgramTest : public testing::Test {
protected:
    void TearDown() override
    {
        while (started-- > 0)
            ReleaseLogSystem();
    }

    void Start(int keepDays = 5, const char* name = "Update", int type = 2, int level = 0)
    {
        ++started;
        before = time(nullptr);
        InitLogSystem(name, dir.Path().c_str(), keepDays, type, level);
    }

    void Stop()
    {
        --started;
        ReleaseLogSystem();
        after = time(nullptr);
    }

    // The dated file written between Start and Stop (midnight may fall between).
    std::string LogPath(const char* name = "Update") const
    {
        std::string path = dir.Path() + "//" + DatedName(before, name);
        if (!FileExists(path))
            path = dir.Path() + "//" + DatedName(after, name);
        return path;
    }

    TempFolder dir;
    int started = 0;
    time_t before = 0;
    time_t after = 0;
};

TEST_F(LogProgramTest, FileIsNamedByTheDateOfStart)
{
    Start();
    LogInfo("s", "f", 1, "dated");
    Stop();
    ASSERT_TRUE(FileExists(LogPath())) << LogPath();
    EXPECT_EQ(ReadLines(LogPath()).size(), 1u);
}

TEST_F(LogProgramTest, AppendsAcrossTwoStarts)
{
    Start();
    LogInfo("s", "f", 1, "first start");
    Stop();
    Start();
    LogInfo("s", "f", 1, "second start");
    Stop();
    std::vector<std::string> lines = ReadLines(LogPath());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("first start"), std::string::npos);
    EXPECT_NE(lines[1].find("second start"), std::string::npos);
}

// Only the log's own dated files age out: the folder may hold the library
// and the settings, or another log's files.
TEST_F(LogProgramTest, DeletesOnlyItsOwnFilesOlderThanTheKeepDays)
{
    struct Case {
        int keepDays;
        double age;
        bool kept;
    } cases[] = {
        {5, 6, false}, {5, 4, true},
        // 0 means 15 days.
        {0, 16, false}, {0, 14, true},
    };
    const char* const others[] = {"music.db",           "sonacap.ini",        "other.txt",
                                  "2020_01_01_Other.log", "Update.log",         "2020_01_01_Update.log.bak",
                                  "x020_01_01_Update.log"};
    for (const Case& c : cases) {
        const std::string old = dir.File("2020_01_01_Update.log");
        WriteFile(old, "old\n");
        AgeFile(old, c.age);
        for (const char* other : others) {
            WriteFile(dir.File(other), "not the log's\n");
            AgeFile(dir.File(other), 400);
        }
        Start(c.keepDays);
        Stop();
        EXPECT_EQ(FileExists(old), c.kept) << c.keepDays << " " << c.age;
        for (const char* other : others)
            EXPECT_TRUE(FileExists(dir.File(other))) << other;
    }
    // Today's file is never old.
    EXPECT_TRUE(FileExists(LogPath()));
}

TEST_F(LogProgramTest, RegisteredThreadNamesReplaceIds)
{
    Start();
    std::thread worker([] {
        SetLogThreadName("UpdateCheck");
        LogInfo("Upd", "U::Run", 3, "named");
        SetLogThreadName(nullptr);
        LogInfo("Upd", "U::Run", 4, "unnamed");
    });
    worker.join();
    LogInfo("Main", "M::Go", 5, "main");
    Stop();
    std::vector<std::string> lines = ReadLines(LogPath());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].substr(8), " INFO\t[Upd:UpdateCheck][U::Run@3] named\n");
    EXPECT_EQ(lines[1].find("[Upd:UpdateCheck]"), std::string::npos);
    EXPECT_EQ(lines[2].substr(8), " INFO\t[Main:" + ThreadIdText() + "][M::Go@5] main\n");
}

TEST_F(LogProgramTest, OverLongTextIsCutAtTheProgramLimit)
{
    Start();
    std::string huge(30000, 'y');
    LogWarning("s", "f", 1, "%s", huge.c_str());
    Stop();
    std::vector<std::string> lines = ReadLines(LogPath());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(std::string(10239, 'y') + "\n"), std::string::npos);
    EXPECT_EQ(lines[0].find(std::string(10240, 'y')), std::string::npos);
}

TEST_F(LogProgramTest, TwoThreadsNeverMixTheirTexts)
{
    // The program's copy once shared one text buffer between all callers.
    Start();
    const int perThread = 3000;
    auto work = [](char tag) {
        std::string body(300, tag);
        for (int i = 0; i < perThread; ++i)
            LogInfo("t", "w", i, "%c%s%c", tag, body.c_str(), tag);
    };
    std::thread a(work, 'A');
    std::thread b(work, 'B');
    a.join();
    b.join();
    Stop();
    std::vector<std::string> lines = ReadLines(LogPath());
    ASSERT_EQ(lines.size(), 2u * perThread);
    for (const std::string& line : lines) {
        size_t start = line.find("] ");
        ASSERT_NE(start, std::string::npos) << line;
        std::string text = line.substr(start + 2);
        ASSERT_EQ(text.size(), 303u) << line;
        ASSERT_EQ(text, std::string(302, text[0]) + "\n") << line;
    }
}

} // namespace
