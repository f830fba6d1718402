// The private sound server answers, offers the test devices, and what is played
// into test_out comes back from its monitor (and what is written into the test
// microphone's FIFO comes back from test_in).
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pulse/pulseaudio.h>
#include <pulse/simple.h>
#include <unistd.h>

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;

// A blocking client over a plain main loop: enough for a few queries.
class Client {
public:
    Client()
    {
        loop = pa_mainloop_new();
        context = pa_context_new(pa_mainloop_get_api(loop), "sonacap-smoke");
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return;
        for (;;) {
            pa_context_state_t s = pa_context_get_state(context);
            if (s == PA_CONTEXT_READY) {
                ready = true;
                return;
            }
            if (!PA_CONTEXT_IS_GOOD(s) || pa_mainloop_iterate(loop, 1, nullptr) < 0)
                return;
        }
    }
    ~Client()
    {
        pa_context_disconnect(context);
        pa_context_unref(context);
        pa_mainloop_free(loop);
    }

    void Wait(pa_operation* op)
    {
        while (op && pa_operation_get_state(op) == PA_OPERATION_RUNNING)
            pa_mainloop_iterate(loop, 1, nullptr);
        if (op)
            pa_operation_unref(op);
    }

    bool ready = false;
    pa_mainloop* loop = nullptr;
    pa_context* context = nullptr;
};

struct Device {
    std::string name;
    std::string description;
    bool monitor;
};

double PeakWindowRms(const std::vector<int16_t>& samples)
{
    const size_t window = kRate / 10 * kChannels;
    double best = 0;
    for (size_t start = 0; start + window <= samples.size(); start += window) {
        double sum = 0;
        for (size_t i = start; i < start + window; ++i)
            sum += double(samples[i]) * samples[i];
        best = std::max(best, std::sqrt(sum / window) / 32768.0);
    }
    return best;
}

std::vector<int16_t> Tone(double seconds, double amplitude)
{
    std::vector<int16_t> pcm(size_t(seconds * kRate) * kChannels);
    for (size_t frame = 0; frame < pcm.size() / kChannels; ++frame) {
        int16_t v = int16_t(amplitude * 32767 * std::sin(2 * M_PI * 440.0 * frame / kRate));
        for (int c = 0; c < kChannels; ++c)
            pcm[frame * kChannels + c] = v;
    }
    return pcm;
}

// Records `seconds` from the device on its own thread while `feed` runs.
template <typename Feed>
std::vector<int16_t> RecordWhile(const char* device, double seconds, Feed feed)
{
    pa_sample_spec spec{PA_SAMPLE_S16LE, kRate, kChannels};
    int error = 0;
    // Small fragments: the default ones would hold the read back for seconds.
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = attr.prebuf = attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(20000, &spec));
    pa_simple* rec = pa_simple_new(nullptr, "sonacap-smoke", PA_STREAM_RECORD, device, "record", &spec,
                                   nullptr, &attr, &error);
    EXPECT_NE(rec, nullptr) << pa_strerror(error);
    if (!rec)
        return {};
    std::vector<int16_t> recorded(size_t(seconds * kRate) * kChannels);
    std::thread reader([&] {
        if (pa_simple_read(rec, recorded.data(), recorded.size() * sizeof(int16_t), &error) < 0)
            ADD_FAILURE() << "read: " << pa_strerror(error);
    });
    feed();
    reader.join();
    pa_simple_free(rec);
    return recorded;
}

TEST(PulseSmokeTest, ServerAnswersWithTheTestDevices)
{
    ASSERT_NE(getenv("PULSE_SERVER"), nullptr);
    Client client;
    ASSERT_TRUE(client.ready) << pa_strerror(pa_context_errno(client.context));

    std::string defaultSink;
    client.Wait(pa_context_get_server_info(client.context, [](pa_context*, const pa_server_info* info, void* user) {
        *static_cast<std::string*>(user) = info && info->default_sink_name ? info->default_sink_name : "";
    }, &defaultSink));
    EXPECT_EQ(defaultSink, "test_out");

    std::vector<Device> sources;
    client.Wait(pa_context_get_source_info_list(client.context, [](pa_context*, const pa_source_info* info, int eol, void* user) {
        if (eol || !info)
            return;
        const char* desc = pa_proplist_gets(info->proplist, PA_PROP_DEVICE_DESCRIPTION);
        static_cast<std::vector<Device>*>(user)->push_back(
            {info->name, desc ? desc : "", info->monitor_of_sink != PA_INVALID_INDEX});
    }, &sources));
    bool haveMic = false;
    bool haveMonitor = false;
    for (const Device& d : sources) {
        if (d.name == "test_in") {
            haveMic = true;
            EXPECT_FALSE(d.monitor);
            EXPECT_NE(d.description.find("Test_Micro"), std::string::npos) << d.description;
        }
        haveMonitor |= d.name == "test_out.monitor" && d.monitor;
    }
    EXPECT_TRUE(haveMic);
    EXPECT_TRUE(haveMonitor);
}

TEST(PulseSmokeTest, ToneIntoTestOutComesBackFromItsMonitor)
{
    std::vector<int16_t> recorded = RecordWhile("test_out.monitor", 1.5, [] {
        pa_sample_spec spec{PA_SAMPLE_S16LE, kRate, kChannels};
        int error = 0;
        pa_simple* play = pa_simple_new(nullptr, "sonacap-smoke", PA_STREAM_PLAYBACK, "test_out", "tone", &spec,
                                        nullptr, nullptr, &error);
        ASSERT_NE(play, nullptr) << pa_strerror(error);
        std::vector<int16_t> tone = Tone(1.0, 0.5);
        EXPECT_EQ(pa_simple_write(play, tone.data(), tone.size() * sizeof(int16_t), &error), 0) << pa_strerror(error);
        EXPECT_EQ(pa_simple_drain(play, &error), 0) << pa_strerror(error);
        pa_simple_free(play);
    });
    // A sine of amplitude 0.5 has an RMS of about 0.35.
    EXPECT_GT(PeakWindowRms(recorded), 0.2);
}

TEST(PulseSmokeTest, FifoFeedsTheTestMicrophone)
{
    const char* dir = getenv("SONACAP_PULSE_DIR");
    ASSERT_NE(dir, nullptr);
    const std::string fifo = std::string(dir) + "/test_in.fifo";
    std::vector<int16_t> recorded = RecordWhile("test_in", 1.0, [&] {
        int fd = open(fifo.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0) << fifo;
        std::vector<int16_t> tone = Tone(1.5, 0.5);
        const char* p = reinterpret_cast<const char*>(tone.data());
        size_t left = tone.size() * sizeof(int16_t);
        while (left > 0) {
            ssize_t n = write(fd, p, left);
            if (n <= 0)
                break;
            p += n;
            left -= size_t(n);
        }
        close(fd);
    });
    EXPECT_GT(PeakWindowRms(recorded), 0.2);
}

} // namespace
