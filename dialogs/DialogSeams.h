#pragma once

#include <functional>

// Opens the bug-report dialog modally (the microphone notice's "contact us."
// link). The bug report lives above the dialogs, with the mail support, so
// the main window installs it; without one the link does nothing (logged).
// Thread contract: GUI thread only.
using BugReportOpener = std::function<void()>;
void SetBugReportOpener(BugReportOpener opener);
void OpenBugReport();

class QString;
class QStringList;
class QWidget;

// Lets the user pick picture files for the tag editor's Add button: modal over
// parent, with a title, a start folder and a name filter; the chosen files in
// the order given, none when cancelled. The default is Qt's file dialog;
// tests install their own so no modal dialog runs.
using PictureFileChooser = std::function<QStringList(QWidget* parent, const QString& title,
                                                     const QString& folder, const QString& filter)>;
void SetPictureFileChooser(PictureFileChooser chooser);
QStringList ChoosePictureFiles(QWidget* parent, const QString& title, const QString& folder,
                               const QString& filter);
