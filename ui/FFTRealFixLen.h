#pragma once

// A 2048-point real-input FFT in single precision: radix 2 with the first two
// stages merged into the bit-reversal pass, trigonometric values from a
// quarter-wave cosine table built once. No allocation per transform.
//
// Output layout, X[k] = sum in[n] * e^(-2*pi*i*k*n/2048), unscaled:
//   out[k]        = Re X[k]   for k = 0 .. 1024
//   out[1024 + k] = -Im X[k]  for k = 1 .. 1023
//
// Thread contract: one instance serves one caller at a time (the work buffer
// is shared between the passes of a transform).
class FFTRealFixLen
{
public:
    static constexpr int kLengthExponent = 11;
    static constexpr int kLength = 1 << kLengthExponent;            // 2048
    static constexpr int kTableSize = 1 << (kLengthExponent - 2);   // 512

    FFTRealFixLen();
    ~FFTRealFixLen();
    FFTRealFixLen(const FFTRealFixLen&) = delete;
    FFTRealFixLen& operator=(const FFTRealFixLen&) = delete;

    // in and out hold kLength floats each and must not overlap.
    void DoFFT(float* out, const float* in);

    int BitReverseEntry(int index) const { return m_bitReverse[index]; }
    float CosEntry(int index) const { return m_cos[index]; }

private:
    float* m_buffer;
    int m_bufferLength;
    int* m_bitReverse;
    int m_bitReverseLength;
    float* m_cos;
    int m_cosLength;
};
