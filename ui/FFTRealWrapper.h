#pragma once

class FFTRealFixLen;

// The spectrum display's transform: 2048 real samples in, the layout of
// FFTRealFixLen out. One instance serves one caller at a time.
class FFTRealWrapper
{
public:
    static constexpr int kLength = 2048;

    FFTRealWrapper();
    ~FFTRealWrapper();
    FFTRealWrapper(const FFTRealWrapper&) = delete;
    FFTRealWrapper& operator=(const FFTRealWrapper&) = delete;

    // Reads 2048 samples from in, writes 2048 values to out; the arrays must
    // be distinct.
    void calculateFFT(float* out, const float* in);

private:
    FFTRealFixLen* m_private;
};
