// The module functions of the engine's public header that do not need capture.
#include <string>

#include <gtest/gtest.h>

#include "EngineUtils.h"
#include "Log.h"
#include "LogTestSupport.h"
#include "Sonacap.h"

namespace {

// Opens the protected parts of the engine object's base.
class ProbeEngine : public CSonacapBase {
public:
    explicit ProbeEngine(int* destroyed) : destroyed(destroyed) {}
    ~ProbeEngine() override { ++*destroyed; }

    int EnumInputDevice() override { return 0; }
    int InputDeviceCount() override { return 0; }
    int GetInputDevice(unsigned, char*, int) override { return 0; }
    int SelectMode(int, AudioParam, const char*) override { return 0; }
    int Start(int, int, int) override { return 0; }
    void Pause(bool) override {}
    void Stop() override {}
    void Reset() override {}
    void SetPreviewVolume(int) override {}
    int GetPreviewVolume() override { return 0; }
    void SetTextParam(int, const char*) override {}
    void SetIntParam(int, int) override {}

    static std::string WorkDir() { return GetWorkDir(); }
    static std::string LogDir() { return GetLogDir(); }
    SonacapNotifyCallback Callback() const { return callback; }
    void* User() const { return user; }

private:
    int* destroyed;
};

class ProbeSetup : public ISonacapDriverSetup {
public:
    explicit ProbeSetup(int* destroyed) : destroyed(destroyed) {}
    ~ProbeSetup() override { ++*destroyed; }
    bool CheckDriverExist(const char*) override { return false; }
    bool Install() override { return false; }
    bool Uninstall() override { return false; }
    bool IsDriverDefaultDevice() override { return false; }

private:
    int* destroyed;
};

void Notify(void*, tagSonacapNotify, void*) {}

class SonacapModuleTest : public testing::Test {
protected:
    // InitSonacapModule starts the log library; undo it so each case starts afresh.
    void TearDown() override { ReleaseLogSystem(); }
};

TEST_F(SonacapModuleTest, FoldersGetASeparatorAndTheLogStarts)
{
    TempFolder dir;
    const std::string work = dir.File("w\xC3\xB6rk");
    const std::string logs = dir.File("logs/");
    InitSonacapModule(work.c_str(), logs.c_str());
    EXPECT_EQ(ProbeEngine::WorkDir(), work + "/");
    EXPECT_EQ(ProbeEngine::LogDir(), logs);
    LogInfo("s", "f", 1, "engine started");
    ReleaseLogSystem();
    EXPECT_NE(ReadFile(logs + "/Sonacap.log").find("engine started"), std::string::npos);
    InitSonacapModule(work.c_str(), nullptr);
    EXPECT_EQ(ProbeEngine::LogDir(), work + "/log/");
}

TEST_F(SonacapModuleTest, NullFoldersMeanTheProgramFolder)
{
    InitSonacapModule(nullptr, nullptr);
    EXPECT_EQ(ProbeEngine::WorkDir(), GetProgramFolder());
    EXPECT_EQ(ProbeEngine::LogDir(), GetProgramFolder() + "log/");
    EXPECT_TRUE(FileExists(GetProgramFolder() + "log//Sonacap.log"));
}

TEST(SonacapObjectTest, ReleaseAcceptsNullAndDeletesObjects)
{
    CSonacapBase::Release(nullptr);
    ISonacapDriverSetup::Release(nullptr);
    int destroyed = 0;
    CSonacapBase::Release(new ProbeEngine(&destroyed));
    ISonacapDriverSetup::Release(new ProbeSetup(&destroyed));
    EXPECT_EQ(destroyed, 2);
}

TEST(SonacapObjectTest, RegCallbackStoresBoth)
{
    int destroyed = 0;
    ProbeEngine engine(&destroyed);
    EXPECT_EQ(engine.Callback(), nullptr);
    EXPECT_EQ(engine.User(), nullptr);
    engine.RegCallback(Notify, &destroyed);
    EXPECT_EQ(engine.Callback(), &Notify);
    EXPECT_EQ(engine.User(), &destroyed);
}

TEST(SonacapObjectTest, EveryCodeReadsError)
{
    for (int code : {0, -4095, -3580, 12345})
        EXPECT_STREQ(MmCodeMsg(code), "error") << code;
}

} // namespace
