#include "Sonacap.h"

CAudioBase::CAudioBase() = default;

CAudioBase::~CAudioBase() = default;

// Engine objects are never copied: these exist only to be private.
CAudioBase::CAudioBase(const CAudioBase&) {}

CAudioBase& CAudioBase::operator=(const CAudioBase&)
{
    return *this;
}
