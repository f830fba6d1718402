#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "CError.h"
#include "CWinAudioDeviceEnum.h"
#include "CWinVolume.h"
#include "CaptureTestSupport.h"
#include "PulseSession.h"
#include "SC_DriverSetupImpl.h"

namespace {

int CodeOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const CError& e) {
        return e.Code();
    }
    return 0;
}

AudioDeviceInfo Record(const char* name)
{
    AudioDeviceInfo info;
    SetAudioDeviceInfo(&info, "", name);
    return info;
}

std::string DefaultSink()
{
    std::string sink;
    ServerCommand([&](PulseSession& s) { return s.GetDefaults(&sink, nullptr); });
    return sink;
}

TEST(DeviceEnumTest, InputsAreSourcesWithoutMonitorsAndMatchBySubstring)
{
    CWinAudioDeviceEnum devices;
    devices.EnumInputDevice();
    devices.EnumOutputDevice();
    ASSERT_GE(devices.InputDeviceCount(), 1);
    for (int i = 0; i < devices.InputDeviceCount(); ++i) {
        EXPECT_EQ(std::strstr(devices.InputDeviceAt(i)->name, "Monitor"), nullptr) << devices.InputDeviceAt(i)->name;
        EXPECT_EQ(std::string(devices.InputDeviceAt(i)->id), std::to_string(i));
    }
    // A shorter name finds the longer one, and a longer name the shorter one.
    for (const char* name : {"Test_Micro", "Test_Microphone", "Test_Microphone (front jack, analogue)"}) {
        int index = devices.FindInputDevice(name);
        EXPECT_STREQ(devices.InputDeviceAt(index)->name, "Test_Microphone") << name;
    }
    EXPECT_EQ(CodeOf([&] { devices.FindInputDevice("No such microphone"); }), kErrInvalidDevice);
    EXPECT_EQ(CodeOf([&] { devices.FindInputDevice("Test_Output"); }), kErrInvalidDevice) << "outputs are not inputs";
    EXPECT_STREQ(devices.OutputDeviceAt(devices.FindOutputDevice("Test_Out"))->name, "Test_Output");
    EXPECT_THROW(devices.InputDeviceAt(devices.InputDeviceCount()), std::out_of_range);
    EXPECT_EQ(CodeOf([&] { devices.SetDefaultOutputDevice(static_cast<unsigned>(devices.OutputDeviceCount())); }),
              kErrInvalidDevice);
}

TEST(DeviceEnumTest, DefaultOutputRecordAndSwitching)
{
    CWinAudioDeviceEnum devices;
    AudioDeviceInfo def;
    devices.GetDefaultOutputDevice(&def);
    EXPECT_STREQ(def.id, "test_out");
    EXPECT_STREQ(def.name, "Test_Output");
    AudioDeviceInfo input;
    devices.GetDefaultInputDevice(&input);
    EXPECT_STREQ(input.id, "test_in");
    EXPECT_FALSE(devices.SetDefaultInputDevice(&input));

    {
        Output48 other;  // becomes the default
        ASSERT_TRUE(other.Ok());
        EXPECT_EQ(DefaultSink(), Output48::kSink);
        // Back by the record's server name, then to the other by its description.
        EXPECT_TRUE(devices.SetDefaultOutputDevice(&def));
        EXPECT_EQ(DefaultSink(), "test_out");
        AudioDeviceInfo byName = Record(Output48::kDescription);
        EXPECT_TRUE(devices.SetDefaultOutputDevice(&byName));
        EXPECT_EQ(DefaultSink(), Output48::kSink);
        AudioDeviceInfo none = Record("No such output");
        EXPECT_EQ(CodeOf([&] { devices.SetDefaultOutputDevice(&none); }), kErrInvalidDevice);
    }
    EXPECT_EQ(DefaultSink(), "test_out");
}

TEST(DeviceEnumTest, UnreachableServerIsASystemError)
{
    ScopedServer nowhere("unix:/nonexistent/sonacap/native");
    CWinAudioDeviceEnum devices;
    AudioDeviceInfo info;
    EXPECT_EQ(CodeOf([&] { devices.EnumInputDevice(); }), kErrSystem);
    EXPECT_EQ(CodeOf([&] { devices.EnumOutputDevice(); }), kErrSystem);
    EXPECT_EQ(CodeOf([&] { devices.GetDefaultOutputDevice(&info); }), kErrSystem);
    CWinVolume volume;
    AudioDeviceInfo out = Record("Test_Output");
    EXPECT_EQ(CodeOf([&] { volume.Open(&out, 0); }), kErrSystem);
}

TEST(VolumeTest, EveryLevelRoundTripsAndOutOfRangeIsClamped)
{
    struct Case {
        const char* name;
        int kind;
    };
    for (Case c : {Case{"Test_Output", 0}, Case{"Test_Micro", 1}}) {
        SCOPED_TRACE(c.name);
        CWinVolume volume;
        AudioDeviceInfo device = Record(c.name);
        volume.Open(&device, c.kind);
        for (int level = 0; level <= 100; ++level) {
            ASSERT_EQ(volume.SetVolume(level), 0);
            ASSERT_EQ(volume.GetVolume(), level);
        }
        volume.SetVolume(150);
        EXPECT_EQ(volume.GetVolume(), 100);
        volume.SetVolume(-5);
        EXPECT_EQ(volume.GetVolume(), 0);

        // Another range maps onto the same scale; an invalid range is ignored.
        volume.SetRange(0, 10);
        volume.SetVolume(5);
        volume.SetRange(100, 100);
        volume.SetRange(0, 100);
        EXPECT_EQ(volume.GetVolume(), 50);

        EXPECT_EQ(volume.SetMute(true), 0);
        EXPECT_TRUE(volume.GetMute());
        EXPECT_EQ(volume.SetMute(false), 0);
        EXPECT_FALSE(volume.GetMute());
        volume.SetVolume(100);
    }
}

TEST(VolumeTest, UnknownOrClosedDevice)
{
    CWinVolume volume;
    AudioDeviceInfo none = Record("No such device");
    EXPECT_EQ(CodeOf([&] { volume.Open(&none, 0); }), kErrInvalidDevice);
    // The monitor of an output is no input.
    AudioDeviceInfo monitor = Record("Monitor of Test_Output");
    EXPECT_EQ(CodeOf([&] { volume.Open(&monitor, 1); }), kErrInvalidDevice);
    EXPECT_EQ(volume.GetVolume(), 0);
    EXPECT_NE(volume.SetVolume(10), 0);
    EXPECT_FALSE(volume.GetMute());
}

TEST(DriverSetupTest, InstallKeepsTheDefaultAndUninstallRemoves)
{
    ISonacapDriverSetup* setup = ISonacapDriverSetup::GetInstance("/opt/sonacap/driver");
    ASSERT_NE(setup, nullptr);
    EXPECT_EQ(static_cast<SC_DriverSetupImpl*>(setup)->DriverDir(), "/opt/sonacap/driver/");
    EXPECT_FALSE(setup->CheckDriverExist(nullptr));
    EXPECT_FALSE(setup->IsDriverDefaultDevice());

    ASSERT_TRUE(setup->Install());
    EXPECT_TRUE(setup->CheckDriverExist(nullptr));
    EXPECT_TRUE(setup->CheckDriverExist("Device"));
    EXPECT_FALSE(setup->CheckDriverExist("2187"));
    EXPECT_EQ(DefaultSink(), "test_out");
    EXPECT_FALSE(setup->IsDriverDefaultDevice());
    ASSERT_TRUE(setup->Install()) << "a second install is harmless";
    ASSERT_TRUE(ServerCommand([](PulseSession& s) { return s.SetDefaultSink(SC_DriverSetupImpl::kSinkName); }));
    EXPECT_TRUE(setup->IsDriverDefaultDevice());

    EXPECT_TRUE(setup->Uninstall());
    EXPECT_FALSE(setup->CheckDriverExist(nullptr));
    std::vector<PulseDevice> sinks;
    ASSERT_TRUE(ServerCommand([&](PulseSession& s) { return s.ListSinks(&sinks); }));
    for (const PulseDevice& d : sinks)
        EXPECT_NE(d.description.find("Tavrel"), 0u);
    EXPECT_TRUE(setup->Uninstall()) << "nothing left to remove";
    ServerCommand([](PulseSession& s) { return s.SetDefaultSink("test_out"); });
    ISonacapDriverSetup::Release(setup);
    ISonacapDriverSetup::Release(nullptr);
}

} // namespace
