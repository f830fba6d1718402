#pragma once

#include <functional>

// Opens the bug-report dialog modally (the microphone notice's "contact us."
// link). The bug report lives above the dialogs, with the mail support, so
// the main window installs it; without one the link does nothing (logged).
// Thread contract: GUI thread only.
using BugReportOpener = std::function<void()>;
void SetBugReportOpener(BugReportOpener opener);
void OpenBugReport();
