// Prints the 2048-point FFT's time against FFTW (goal: within 2x) and the
// spectrum worker's CPU over 60 seconds of 50 ms ticks as a share of one core
// (goal: under 1 %).
#include "CMyAudioBuffer.h"
#include "CWaveThread.h"
#include "FFTRealWrapper.h"

#include <QCoreApplication>

#include <fftw3.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double Seconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

template <class F>
double NanosPerCall(F f, int calls)
{
    for (int i = 0; i < calls / 10; ++i)
        f();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i)
        f();
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(end - start).count() / calls;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    constexpr int N = 2048;
    std::vector<float> in(N);
    for (int n = 0; n < N; ++n)
        in[n] = static_cast<float>(0.5 * std::sin(2 * M_PI * 37 * n / N) + 0.1 * std::cos(2 * M_PI * 300 * n / N));

    FFTRealWrapper ours;
    std::vector<float> out(N);
    float* fin = fftwf_alloc_real(N);
    float* fout = fftwf_alloc_real(N);
    fftwf_plan plan = fftwf_plan_r2r_1d(N, fin, fout, FFTW_R2HC, FFTW_MEASURE);
    for (int n = 0; n < N; ++n)
        fin[n] = in[n];

    const int calls = 200000;
    volatile float sink = 0.0f;
    const double oursNs = NanosPerCall([&] { ours.calculateFFT(out.data(), in.data()); sink = sink + out[5]; }, calls);
    const double fftwNs = NanosPerCall([&] { fftwf_execute(plan); sink = sink + fout[5]; }, calls);
    std::printf("FFT 2048 real, single precision: ours %.0f ns, FFTW %.0f ns, ratio %.2fx (goal <= 2x)\n",
                oursNs, fftwNs, oursNs / fftwNs);
    fftwf_destroy_plan(plan);
    fftwf_free(fin);
    fftwf_free(fout);

    // 60 s of 50 ms ticks = 1200 worker runs, each fed 50 ms of fresh audio as
    // the engine would, each started as its own thread run as the display does.
    CWaveThread worker;
    worker.Buffer()->SetStep(8820);
    std::vector<int16_t> block(2 * 2205);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<int16_t>(8000 * std::sin(i * 0.05));
    const int ticks = 1200;
    const double cpuStart = Seconds(CLOCK_PROCESS_CPUTIME_ID);
    double workerOnly = 0.0;
    for (int t = 0; t < ticks; ++t) {
        worker.Buffer()->Write(static_cast<unsigned>(block.size() * 2), reinterpret_cast<const unsigned char*>(block.data()));
        const double a = Seconds(CLOCK_PROCESS_CPUTIME_ID);
        worker.start();
        worker.wait();
        workerOnly += Seconds(CLOCK_PROCESS_CPUTIME_ID) - a;
    }
    const double cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
    std::printf("Spectrum worker: %.3f s CPU for 60 s of ticks (%.1f us per tick) = %.3f %% of one core (goal < 1 %%)\n",
                workerOnly, workerOnly / ticks * 1e6, workerOnly / 60.0 * 100.0);
    std::printf("  including the engine-side buffer writes: %.3f %% of one core\n", cpu / 60.0 * 100.0);
    (void)sink;
    return 0;
}
