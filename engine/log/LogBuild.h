#pragma once

// What differs between the engine's and the program's copy of the log library.

#if defined(SONACAP_LOG_ENGINE_BUILD) && defined(SONACAP_LOG_PROGRAM_BUILD)
#error "Only one of SONACAP_LOG_ENGINE_BUILD and SONACAP_LOG_PROGRAM_BUILD may be defined"
#elif defined(SONACAP_LOG_ENGINE_BUILD)
// One "<name>.log" for the life of the process, emptied at each start. Capture
// runs for as long as the program does and the whole folder goes into bug
// reports, so the file is moved aside at 2 MiB: never much more than 4 MiB.
constexpr const char* kLogFileMode = "w+";
constexpr int kLogTextSize = 5120;
constexpr long kLogFileSizeLimit = 2L * 1024 * 1024;
#elif defined(SONACAP_LOG_PROGRAM_BUILD)
// One dated file per day of start, appended to; old files are deleted.
constexpr const char* kLogFileMode = "a+";
constexpr int kLogTextSize = 10240;
constexpr int kLogDefaultKeepDays = 15;
constexpr long kLogFileSizeLimit = 64L * 1024 * 1024;
#else
#error "Define SONACAP_LOG_ENGINE_BUILD or SONACAP_LOG_PROGRAM_BUILD"
#endif

// A line holds the time, level, source, thread, function and line number in
// front of the text; the margin keeps a maximal text whole.
constexpr int kLogLineSize = kLogTextSize + 512;
