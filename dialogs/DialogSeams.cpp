#include "DialogSeams.h"

#include <QDebug>
#include <QFileDialog>
#include <QStringList>

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

namespace {
PictureFileChooser& Chooser()
{
    static PictureFileChooser chooser;
    return chooser;
}
} // namespace

void SetPictureFileChooser(PictureFileChooser chooser)
{
    Chooser() = std::move(chooser);
}

QStringList ChoosePictureFiles(QWidget* parent, const QString& title, const QString& folder, const QString& filter)
{
    if (Chooser())
        return Chooser()(parent, title, folder, filter);
    return QFileDialog::getOpenFileNames(parent, title, folder, filter);
}
