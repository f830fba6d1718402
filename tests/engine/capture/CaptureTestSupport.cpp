#include "CaptureTestSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <pulse/simple.h>
#include <sndfile.h>

#include "PulseSession.h"

std::vector<int16_t> RenderProgram(const std::vector<Segment>& program, int rate, int channels)
{
    std::vector<int16_t> pcm;
    double phase = 0;
    for (const Segment& s : program) {
        auto frames = static_cast<long>(s.seconds * rate);
        for (long i = 0; i < frames; ++i) {
            int16_t v = 0;
            if (s.frequency > 0) {
                v = static_cast<int16_t>(std::lrint(9000.0 * std::sin(phase)));
                phase += 2 * M_PI * s.frequency / rate;
            }
            for (int c = 0; c < channels; ++c)
                pcm.push_back(v);
        }
    }
    return pcm;
}

std::vector<int16_t> RenderSweep(double from, double seconds, int rate, int channels)
{
    std::vector<int16_t> pcm;
    const auto frames = static_cast<long>(seconds * rate);
    pcm.reserve(static_cast<size_t>(frames) * static_cast<size_t>(channels));
    for (long i = 0; i < frames; ++i) {
        const double t = from + static_cast<double>(i) / rate;
        const double phase = 2 * M_PI * (kSweepStartHz * t + kSweepHzPerSecond * t * t / 2);
        const auto v = static_cast<int16_t>(std::lrint(9000.0 * std::sin(phase)));
        for (int c = 0; c < channels; ++c)
            pcm.push_back(v);
    }
    return pcm;
}

namespace {

double Median(std::vector<double> v)
{
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

} // namespace

SweepTrace TraceSweep(const std::string& wavPath)
{
    SweepTrace trace;
    SF_INFO info{};
    SNDFILE* f = sf_open(wavPath.c_str(), SFM_READ, &info);
    if (!f)
        return trace;
    std::vector<short> frames(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    sf_readf_short(f, frames.data(), info.frames);
    sf_close(f);
    const double rate = info.samplerate;

    // Rising zero crossings of the first channel, to a fraction of a sample.
    // A steep one only: silence and its dither cross nothing.
    std::vector<double> x;
    for (sf_count_t i = 1; i < info.frames; ++i) {
        const int a = frames[static_cast<size_t>((i - 1) * info.channels)];
        const int b = frames[static_cast<size_t>(i * info.channels)];
        if (a < 0 && b >= 0 && b - a > 200)
            x.push_back(static_cast<double>(i - 1) + static_cast<double>(-a) / (b - a));
    }
    if (x.size() < 64)
        return trace;
    // Tone time before each crossing: the periods added up, where one unlike
    // the periods around it (it spans a pause or a cut) counts as those do.
    std::vector<double> period(x.size(), 0);
    for (size_t j = 1; j < x.size(); ++j)
        period[j] = x[j] - x[j - 1];
    std::vector<double> tone(x.size(), 0);
    for (size_t j = 1; j < x.size(); ++j) {
        const size_t from = j > 4 ? j - 4 : 1;
        const size_t to = std::min(x.size(), j + 5);
        const double usual = Median(std::vector<double>(period.begin() + static_cast<std::ptrdiff_t>(from),
                                                        period.begin() + static_cast<std::ptrdiff_t>(to)));
        const double p = period[j] > 1.2 * usual || usual > 1.2 * period[j] ? usual : period[j];
        tone[j] = tone[j - 1] + p / rate;
    }
    // Every 8 periods a point: the program time the frequency says, less the
    // tone time; it stays put while the sound runs on, and jumps where sound
    // is missing (up) or repeated (down).
    constexpr size_t kGroup = 8;
    std::vector<double> program, offset;
    for (size_t j = 0; j + kGroup < x.size(); j += kGroup) {
        double shortest = 1e9, longest = 0;
        for (size_t k = j; k < j + kGroup; ++k) {
            shortest = std::min(shortest, x[k + 1] - x[k]);
            longest = std::max(longest, x[k + 1] - x[k]);
        }
        if (longest > 1.1 * shortest)
            continue;  // a cut, a pause or a repeat lies inside
        const double hz = kGroup * rate / (x[j + kGroup] - x[j]);
        const double when = (hz - kSweepStartHz) / kSweepHzPerSecond;
        program.push_back(when);
        offset.push_back(when - (tone[j] + tone[j + kGroup]) / 2);
    }
    if (program.size() < 16)
        return trace;
    trace.found = true;
    trace.first = program.front();
    trace.last = program.back();
    constexpr size_t kSide = 7;
    for (size_t b = kSide; b + kSide <= offset.size(); ++b) {
        const double before = Median(std::vector<double>(offset.begin() + static_cast<std::ptrdiff_t>(b - kSide),
                                                         offset.begin() + static_cast<std::ptrdiff_t>(b)));
        const double after = Median(std::vector<double>(offset.begin() + static_cast<std::ptrdiff_t>(b),
                                                        offset.begin() + static_cast<std::ptrdiff_t>(b + kSide)));
        trace.lostMs = std::max(trace.lostMs, 1000 * (after - before));
        trace.repeatedMs = std::max(trace.repeatedMs, 1000 * (before - after));
    }
    return trace;
}

Player::Player(const std::string& sink, int rate, int channels, std::vector<int16_t> pcm)
{
    thread = std::thread([this, sink, rate, channels, pcm = std::move(pcm)] {
        pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<uint32_t>(rate), static_cast<uint8_t>(channels)};
        int error = 0;
        pa_simple* s = pa_simple_new(nullptr, "capture test", PA_STREAM_PLAYBACK, sink.empty() ? nullptr : sink.c_str(),
                                     "tone", &spec, nullptr, nullptr, &error);
        if (!s) {
            ok = false;
            return;
        }
        if (pa_simple_write(s, pcm.data(), pcm.size() * sizeof(int16_t), &error) < 0 ||
            pa_simple_drain(s, &error) < 0)
            ok = false;
        pa_simple_free(s);
    });
}

Player::~Player()
{
    Join();
}

void Player::Join()
{
    if (thread.joinable())
        thread.join();
}

FifoFeeder::FifoFeeder(std::vector<int16_t> pcm, const std::string& fifo)
{
    thread = std::thread([this, pcm = std::move(pcm), fifo] {
        const char* dir = std::getenv("SONACAP_PULSE_DIR");
        std::string path = fifo.empty() ? std::string(dir ? dir : "") + "/test_in.fifo" : fifo;
        int fd = ::open(path.c_str(), O_WRONLY);
        if (fd < 0) {
            ok = false;
            return;
        }
        const auto* bytes = reinterpret_cast<const char*>(pcm.data());
        size_t left = pcm.size() * sizeof(int16_t);
        while (left > 0) {
            ssize_t n = ::write(fd, bytes, std::min<size_t>(left, 16384));
            if (n <= 0) {
                ok = false;
                break;
            }
            bytes += n;
            left -= static_cast<size_t>(n);
        }
        ::close(fd);
    });
}

FifoFeeder::~FifoFeeder()
{
    Join();
}

void FifoFeeder::Join()
{
    if (thread.joinable())
        thread.join();
}

bool ServerCommand(const std::function<bool(PulseSession&)>& command)
{
    PulseSession session("capture test");
    return session.Connect() && command(session);
}

NullOutput::NullOutput(const std::string& name, const std::string& description, int rate, bool makeDefault)
{
    ServerCommand([&](PulseSession& s) {
        const std::string args = "sink_name=" + name + " rate=" + std::to_string(rate) +
                                 " channels=2 sink_properties=device.description=" + description;
        return s.LoadModule("module-null-sink", args, &index) && (!makeDefault || s.SetDefaultSink(name));
    });
}

NullOutput::~NullOutput()
{
    ServerCommand([this](PulseSession& s) {
        s.SetDefaultSink("test_out");
        return index == UINT32_MAX || s.UnloadModule(index);
    });
}

bool InputSendsOnlyWhatIsFed()
{
    const char* server = std::getenv("SONACAP_SOUND_SERVER");
    return !server || std::string(server) != "pipewire";
}

namespace {

// The state of one ReadServerView: the answers still awaited and what they hold.
struct ViewQuery {
    ServerView* view = nullptr;
    int pending = 0;
    bool failed = false;
    std::vector<std::pair<uint32_t, uint32_t>> streamSource;  // stream index, source index
    std::vector<std::pair<uint32_t, std::string>> sourceNames;
};

void Answered(ViewQuery* q, int eol)
{
    if (eol != 0) {
        q->failed = q->failed || eol < 0;
        --q->pending;
    }
}

// One turn of the loop, waiting at most a tenth of a second; false past the deadline.
bool Turn(pa_mainloop* loop, std::chrono::steady_clock::time_point deadline)
{
    return std::chrono::steady_clock::now() < deadline && pa_mainloop_prepare(loop, 100000) >= 0 &&
           pa_mainloop_poll(loop) >= 0 && pa_mainloop_dispatch(loop) >= 0;
}

const char* SinkStateName(pa_sink_state_t state)
{
    switch (state) {
    case PA_SINK_RUNNING: return "running";
    case PA_SINK_IDLE: return "idle";
    case PA_SINK_SUSPENDED: return "suspended";
    default: return "other";
    }
}

} // namespace

bool ReadServerView(ServerView* view)
{
    *view = ServerView();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    pa_mainloop* loop = pa_mainloop_new();
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "capture test view");
    bool ok = pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
    while (ok) {
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_READY)
            break;
        ok = PA_CONTEXT_IS_GOOD(state) && Turn(loop, deadline);
    }
    ViewQuery query;
    query.view = view;
    if (ok) {
        query.pending = 3;
        pa_operation_unref(pa_context_get_source_output_info_list(
            context,
            [](pa_context*, const pa_source_output_info* i, int eol, void* user) {
                auto* q = static_cast<ViewQuery*>(user);
                if (i)
                    q->streamSource.emplace_back(i->index, i->source);
                Answered(q, eol);
            },
            &query));
        pa_operation_unref(pa_context_get_source_info_list(
            context,
            [](pa_context*, const pa_source_info* i, int eol, void* user) {
                auto* q = static_cast<ViewQuery*>(user);
                if (i)
                    q->sourceNames.emplace_back(i->index, i->name);
                Answered(q, eol);
            },
            &query));
        pa_operation_unref(pa_context_get_sink_info_list(
            context,
            [](pa_context*, const pa_sink_info* i, int eol, void* user) {
                auto* q = static_cast<ViewQuery*>(user);
                if (i)
                    q->view->sinks.push_back({i->name, SinkStateName(i->state)});
                Answered(q, eol);
            },
            &query));
        while (ok && query.pending > 0)
            ok = PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) && Turn(loop, deadline);
    }
    pa_context_disconnect(context);
    pa_context_unref(context);
    pa_mainloop_free(loop);
    for (const auto& stream : query.streamSource) {
        std::string name = "#" + std::to_string(stream.second);
        for (const auto& source : query.sourceNames) {
            if (source.first == stream.second)
                name = source.second;
        }
        view->recordedSources.push_back(name);
    }
    return ok && !query.failed;
}

void NotificationLog::Callback(void* user, tagSonacapNotify code, void* param)
{
    auto* self = static_cast<NotificationLog*>(user);
    Entry e{static_cast<int>(code), std::string(), false, AudioParam{}, 0};
    if (code == kSonacapNotifyProcessStart && param)
        e.format = *static_cast<AudioParam*>(param);
    if (code == kSonacapNotifyMusicStart && param)
        e.path = static_cast<AudioClip*>(param)->name;
    if ((code == kSonacapNotifyMusicStart || code == kSonacapNotifyMusicData) && param)
        e.seconds = static_cast<AudioClip*>(param)->seconds;
    if (code == kSonacapNotifyMusicEnd) {
        e.isNull = param == nullptr;
        if (param)
            e.path = static_cast<const char*>(param);
    }
    std::lock_guard<std::mutex> guard(self->lock);
    self->entries.push_back(e);
    self->changed.notify_all();
}

std::vector<NotificationLog::Entry> NotificationLog::Entries()
{
    std::lock_guard<std::mutex> guard(lock);
    return entries;
}

bool NotificationLog::WaitFor(const std::function<bool(const std::vector<Entry>&)>& predicate,
                              std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, timeout, [&] { return predicate(entries); });
}

int NotificationLog::Count(int code)
{
    std::lock_guard<std::mutex> guard(lock);
    return static_cast<int>(std::count_if(entries.begin(), entries.end(), [code](const Entry& e) { return e.code == code; }));
}

void NotificationLog::Clear()
{
    std::lock_guard<std::mutex> guard(lock);
    entries.clear();
}

std::string NotificationLog::Sequence()
{
    std::lock_guard<std::mutex> guard(lock);
    std::string out;
    int last = -1;
    for (const Entry& e : entries) {
        if ((e.code == 1 || e.code == 3) && e.code == last)
            continue;
        last = e.code;
        if (!out.empty())
            out += ' ';
        if (e.code == 4)
            out += e.isNull ? "4n" : "4p";
        else
            out += std::to_string(e.code);
    }
    return out;
}

TempFolder::TempFolder()
{
    char pattern[] = "/tmp/sonacap-capture-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    path = made ? std::string(made) + "/" : std::string();
}

TempFolder::~TempFolder()
{
    if (path.empty())
        return;
    for (const std::string& f : Files())
        ::unlink((path + f).c_str());
    ::rmdir(path.c_str());
}

std::vector<std::string> TempFolder::Files() const
{
    std::vector<std::string> files;
    DIR* d = ::opendir(path.c_str());
    if (!d)
        return files;
    while (dirent* e = ::readdir(d)) {
        struct stat st;
        if (::stat((path + e->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            files.push_back(e->d_name);
    }
    ::closedir(d);
    std::sort(files.begin(), files.end());
    return files;
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

int Mp3BitRate(const std::string& path)
{
    std::string data = ReadText(path);
    size_t pos = 0;
    if (data.size() >= 10 && data.compare(0, 3, "ID3") == 0) {
        auto b = [&](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(data[i])); };
        pos = 10 + ((b(6) << 21) | (b(7) << 14) | (b(8) << 7) | b(9));
    }
    static const int kMpeg1Layer3[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    for (; pos + 4 <= data.size(); ++pos) {
        auto h0 = static_cast<unsigned char>(data[pos]);
        auto h1 = static_cast<unsigned char>(data[pos + 1]);
        auto h2 = static_cast<unsigned char>(data[pos + 2]);
        // MPEG-1 Layer III frame sync.
        if (h0 == 0xFF && (h1 & 0xFE) == 0xFA)
            return kMpeg1Layer3[h2 >> 4];
    }
    return 0;
}

// libpulse is not built with ThreadSanitizer. It hands its lazily created
// main-loop lock and its recycled packet and ring buffers between threads
// through atomics the sanitizer cannot see, so those libpulse-internal accesses
// look like races. Only reports that pass through these libpulse functions are
// silenced; the locks stay visible, so races in the engine's own callbacks are
// still reported.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:pa_mutex_lock\n"
           "race:pa_srbchannel_read\n"
           "race:pa_srbchannel_write\n"
           "race:pa_iochannel_read_with_ancil_data\n"
           "race:pa_packet_new_data\n";
}

ScopedServer::ScopedServer(const char* server)
{
    const char* old = std::getenv("PULSE_SERVER");
    hadOld = old != nullptr;
    if (old)
        previous = old;
    setenv("PULSE_SERVER", server, 1);
}

ScopedServer::~ScopedServer()
{
    if (hadOld)
        setenv("PULSE_SERVER", previous.c_str(), 1);
    else
        unsetenv("PULSE_SERVER");
}
