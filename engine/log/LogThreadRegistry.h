#pragma once

#include <string>

// Names of logging threads, keyed by the kernel's thread id. Guarded by its own
// lock; any thread may register or look up. Only the program build offers
// SetLogThreadName, so in the engine every thread shows as its id.
void RegisterLogThreadName(const char* name);
// The calling thread's registered name, or its id in decimal.
std::string CurrentLogThreadName();
