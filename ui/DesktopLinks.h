#pragma once

// Opening a web page or a folder with the desktop. Without a browser or a
// file manager the desktop gives its reason on the terminal only, and the
// click seemed to do nothing: here the user is told instead, with the
// address or the folder to open by hand.
//
// Thread contract: GUI thread only.

#include <QString>

#include <functional>

class QUrl;
class QWidget;

// How the user is told. The main window installs its message dialog; without
// one the notice goes to the log only.
using DesktopNotice = std::function<void(QWidget* parent, const QString& text)>;
void SetDesktopNotice(DesktopNotice notice);

// What the user is told when `url` could not be opened: the page's address,
// or the folder's path for a local one.
QString NotOpenedText(const QUrl& url);

// Tells the user, and the log, that nothing could open `url`.
void TellNotOpened(QWidget* parent, const QUrl& url);

// What opens an address: the desktop's browser or file manager
// (QDesktopServices) unless a test installs its own; true when one took it.
using DesktopOpener = std::function<bool(const QUrl& url)>;
void SetDesktopOpener(DesktopOpener opener);

// Opens `url` with the desktop; false, after telling the user, when nothing
// could open it.
bool OpenWithDesktop(QWidget* parent, const QUrl& url);
