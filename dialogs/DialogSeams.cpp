#include "DialogSeams.h"

#include <QDebug>

namespace {
BugReportOpener& Opener()
{
    static BugReportOpener opener;
    return opener;
}
} // namespace

void SetBugReportOpener(BugReportOpener opener)
{
    Opener() = std::move(opener);
}

void OpenBugReport()
{
    if (!Opener()) {
        qWarning() << "OpenBugReport: no bug-report dialog installed";
        return;
    }
    Opener()();
}
