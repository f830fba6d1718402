#include "CoreTestSupport.h"

#include <dirent.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace coretest {

namespace {

void RemoveTree(const std::string& path)
{
    struct stat info;
    if (lstat(path.c_str(), &info) != 0)
        return;
    if (S_ISDIR(info.st_mode)) {
        chmod(path.c_str(), 0700);
        if (DIR* dir = opendir(path.c_str())) {
            while (dirent* entry = readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..")
                    RemoveTree(path + "/" + name);
            }
            closedir(dir);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

}  // namespace

TempDir::TempDir()
{
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/sonacap-core-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()))
        path = buffer.data();
}

TempDir::~TempDir()
{
    if (!path.empty())
        RemoveTree(path);
}

std::string NamePart(const std::string& text)
{
    std::string out;
    for (char ch : text)
        out += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return out;
}

AudioParam Format(int rate, int channels, int bits)
{
    AudioParam format;
    std::memset(&format, 0, sizeof(format));
    format.samplesPerSec = rate;
    format.channels = channels;
    format.bitsPerSample = bits;
    format.blockAlign = channels * bits / 8;
    format.formatTag = bits == 32 ? 3 : 1;
    return format;
}

std::vector<unsigned char> Tone(const AudioParam& format, unsigned ms, double hz, double level, double* phase)
{
    const size_t frames = static_cast<size_t>(format.samplesPerSec) * ms / 1000;
    const int bytes = format.bitsPerSample / 8;
    std::vector<unsigned char> out(frames * format.channels * bytes);
    double local = 0;
    double& ph = phase ? *phase : local;
    const double step = 2 * M_PI * hz / format.samplesPerSec;
    unsigned char* p = out.data();
    for (size_t i = 0; i < frames; ++i) {
        const double v = level * std::sin(ph);
        ph += step;
        for (int c = 0; c < format.channels; ++c) {
            switch (bytes) {
            case 1:
                *p++ = static_cast<unsigned char>(128 + std::lround(v * 127));
                break;
            case 2: {
                const int16_t s = static_cast<int16_t>(std::lround(v * 32767));
                std::memcpy(p, &s, 2);
                p += 2;
                break;
            }
            case 3: {
                const int32_t s = static_cast<int32_t>(std::lround(v * 8388607));
                p[0] = static_cast<unsigned char>(s & 0xff);
                p[1] = static_cast<unsigned char>((s >> 8) & 0xff);
                p[2] = static_cast<unsigned char>((s >> 16) & 0xff);
                p += 3;
                break;
            }
            default: {
                const float f = static_cast<float>(v);
                std::memcpy(p, &f, 4);
                p += 4;
                break;
            }
            }
        }
    }
    return out;
}

std::vector<unsigned char> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::vector<std::string> ListFolder(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string RunCapture(const std::vector<std::string>& args, int* status, bool errorsToo)
{
    int fds[2];
    if (pipe(fds) != 0) {
        *status = -1;
        return std::string();
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        if (errorsToo)
            dup2(fds[1], STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::string output;
    char buffer[65536];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof(buffer))) > 0)
        output.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int raw = 0;
    waitpid(pid, &raw, 0);
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

ProbeResult Probe(const std::string& path)
{
    int status = 0;
    const std::string text = RunCapture({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                                         "stream=codec_name,sample_rate,channels,bit_rate:format=duration", "-of",
                                         "default=noprint_wrappers=1", path},
                                        &status);
    ProbeResult result;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (value == "N/A")
            continue;
        if (key == "codec_name")
            result.codec = value;
        else if (key == "sample_rate")
            result.sampleRate = std::atoi(value.c_str());
        else if (key == "channels")
            result.channels = std::atoi(value.c_str());
        else if (key == "bit_rate")
            result.bitRate = std::atol(value.c_str());
        else if (key == "duration")
            result.duration = std::atof(value.c_str());
    }
    return result;
}

std::vector<int16_t> DecodeMono(const std::string& path)
{
    int status = 0;
    const std::string raw = RunCapture(
        {"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "s16le", "-ac", "1", "-acodec", "pcm_s16le", "-"},
        &status);
    std::vector<int16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    return samples;
}

std::string DecodeErrors(const std::string& path)
{
    int status = 0;
    std::string text = RunCapture({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "null", "-"}, &status, true);
    if (status != 0)
        text += "ffmpeg ended with " + std::to_string(status);
    return text;
}

bool EndsOnWholeFrame(const std::string& path)
{
    const std::vector<unsigned char> data = ReadFile(path);
    size_t at = 0;
    if (data.size() >= 10 && std::memcmp(data.data(), "ID3", 3) == 0)
        at = 10 + ((data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9]);
    static const int kKbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const int kRates[4] = {44100, 48000, 32000, 0};
    while (at + 4 <= data.size()) {
        const unsigned char* h = data.data() + at;
        if (h[0] != 0xFF || (h[1] & 0xFE) != 0xFA || kKbps[h[2] >> 4] == 0 || kRates[(h[2] >> 2) & 3] == 0)
            return false;
        at += static_cast<size_t>(144000 * kKbps[h[2] >> 4] / kRates[(h[2] >> 2) & 3] + ((h[2] >> 1) & 1));
    }
    return at == data.size();
}

double Rms(const std::vector<int16_t>& samples)
{
    if (samples.empty())
        return 0;
    double sum = 0;
    for (int16_t s : samples)
        sum += static_cast<double>(s) * s;
    return std::sqrt(sum / samples.size());
}

std::vector<unsigned char> WavData(const std::string& path, int* rate, int* channels, int* format)
{
    SF_INFO info;
    std::memset(&info, 0, sizeof(info));
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return {};
    if (rate)
        *rate = info.samplerate;
    if (channels)
        *channels = info.channels;
    if (format)
        *format = info.format;
    std::vector<unsigned char> data;
    // A multiple of every frame size up to 8 channels of 32 bits but 7.
    unsigned char buffer[65520 * 4];
    sf_count_t n;
    while ((n = sf_read_raw(file, buffer, sizeof(buffer))) > 0)
        data.insert(data.end(), buffer, buffer + n);
    sf_close(file);
    return data;
}

}  // namespace coretest
