#include "FFTRealFixLen.h"

#include <cmath>

FFTRealFixLen::FFTRealFixLen()
    : m_buffer(new float[kLength]()),
      m_bufferLength(kLength),
      m_bitReverse(new int[kTableSize]()),
      m_bitReverseLength(kTableSize),
      m_cos(new float[kTableSize]()),
      m_cosLength(kTableSize)
{
    // Entry c is the 11-bit reversal of c * 4: the merged first passes handle
    // groups of four inputs that lie 512 and 1024 apart.
    m_bitReverse[0] = 0;
    for (int c = 1; c < m_bitReverseLength; ++c) {
        const int v = c * 4;
        int r = 0;
        for (int bit = 0; bit < kLengthExponent; ++bit) {
            if (v & (1 << bit))
                r |= 1 << (kLengthExponent - 1 - bit);
        }
        m_bitReverse[c] = r;
    }
    const double step = (M_PI / 2.0) / m_cosLength;
    for (int j = 0; j < m_cosLength; ++j)
        m_cos[j] = static_cast<float>(std::cos(j * step));
}

FFTRealFixLen::~FFTRealFixLen()
{
    delete[] m_buffer;
    delete[] m_bitReverse;
    delete[] m_cos;
}

void FFTRealFixLen::DoFFT(float* out, const float* in)
{
    float* const buf = m_buffer;

    // Stages 1 and 2, reading the input in bit-reversed order.
    for (int c = 0; c < kLength; c += 4) {
        const int r0 = m_bitReverse[c >> 2];
        const int r1 = r0 + 1024;
        const int r2 = r0 + 512;
        const int r3 = r0 + 1536;
        buf[c + 1] = in[r0] - in[r1];
        buf[c + 3] = in[r2] - in[r3];
        const float s0 = in[r0] + in[r1];
        const float s2 = in[r2] + in[r3];
        buf[c] = s0 + s2;
        buf[c + 2] = s0 - s2;
    }

    // Stage 3 in blocks of eight, into the output array.
    const float h = 0.70710677f;  // sqrt(2) / 2
    for (int b = 0; b < kLength; b += 8) {
        const float* s = buf + b;
        float* d = out + b;
        d[0] = s[0] + s[4];
        d[4] = s[0] - s[4];
        d[2] = s[2];
        d[6] = s[6];
        float v = (s[5] - s[7]) * h;
        d[1] = s[1] + v;
        d[3] = s[1] - v;
        v = (s[5] + s[7]) * h;
        d[5] = v + s[3];
        d[7] = v - s[3];
    }

    // Stages 4 to 11, alternating between the two arrays so that the last
    // pass (10, even) writes into the output.
    for (int pass = 3; pass <= 10; ++pass) {
        const int dist = 1 << (pass - 1);
        const int blockLength = 4 * dist;
        const int tableStep = m_cosLength >> (pass - 1);
        const float* src = (pass & 1) ? out : buf;
        float* dst = (pass & 1) ? buf : out;
        for (int b = 0; b < kLength; b += blockLength) {
            const float* s = src + b;
            float* d = dst + b;
            d[0] = s[0] + s[2 * dist];
            d[2 * dist] = s[0] - s[2 * dist];
            d[dist] = s[dist];
            d[3 * dist] = s[3 * dist];
            for (int i = 1; i < dist; ++i) {
                const float c = m_cos[i * tableStep];
                const float sn = m_cos[(dist - i) * tableStep];
                const float p = s[2 * dist + i] * c - s[3 * dist + i] * sn;
                const float q = s[2 * dist + i] * sn + s[3 * dist + i] * c;
                d[i] = s[i] + p;
                d[2 * dist - i] = s[i] - p;
                d[2 * dist + i] = q + s[dist + i];
                d[4 * dist - i] = q - s[dist + i];
            }
        }
    }
}
