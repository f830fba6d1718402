#pragma once

// The program's own log: dated files "YYYY_MM_DD_TavrelSonacap.log" in a folder
// of their own (the data folder's "log"), which collect every Qt diagnostic
// message (debug, info, warning, critical, fatal) besides standard error.
// Files older than 15 days go; nothing else of the folder is touched.

#include <QString>

constexpr const char* kProgramLogName = "TavrelSonacap";

// Starts the log in `folder` (made when missing) and routes Qt's messages into
// it. Call once, on the GUI thread, before other threads log.
void StartProgramLog(const QString& folder);
// Stops routing and closes the log.
void StopProgramLog();
