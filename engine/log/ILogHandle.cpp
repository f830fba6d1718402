#include "ILogHandle.h"

ILogHandle::~ILogHandle() = default;
