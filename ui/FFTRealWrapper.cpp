#include "FFTRealWrapper.h"

#include "FFTRealFixLen.h"

FFTRealWrapper::FFTRealWrapper()
    : m_private(new FFTRealFixLen)
{
}

FFTRealWrapper::~FFTRealWrapper()
{
    delete m_private;
}

void FFTRealWrapper::calculateFFT(float* out, const float* in)
{
    m_private->DoFFT(out, in);
}
