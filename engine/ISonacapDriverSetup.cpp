#include "Sonacap.h"

ISonacapDriverSetup::ISonacapDriverSetup() = default;

ISonacapDriverSetup::~ISonacapDriverSetup() = default;

void ISonacapDriverSetup::Release(ISonacapDriverSetup* setup)
{
    delete setup;
}
