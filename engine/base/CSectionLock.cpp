#include "CSectionLock.h"

CSectionLock::CSectionLock() : section(new std::recursive_mutex) {}

CSectionLock::~CSectionLock()
{
    delete section;
}

void CSectionLock::Enter()
{
    section->lock();
}

void CSectionLock::Leave()
{
    section->unlock();
}
