#pragma once

#include "DialogButtonInfo.h"

#include <QList>
#include <QString>

#include <functional>

class QDBusConnection;
class QWidget;
struct MusicInfoRow;

// Runs the tag and cover editor modally on record (edited in place: texts,
// cover candidates, chosen cover and file path); true when the user saved.
// The library page and the recording page open the editor only through this,
// so the editor dialog plugs in when it exists and tests script the edit.
using TagEditorRunner = std::function<bool(MusicInfoRow* record, QWidget* parent)>;
void SetTagEditorRunner(TagEditorRunner runner);
// Without an installed editor nothing is edited (false, logged).
bool RunTagEditor(MusicInfoRow* record, QWidget* parent);

// Shows a song's file in the desktop's file manager without waiting for it.
// The default asks the file manager over D-Bus
// (org.freedesktop.FileManager1.ShowItems) and, should that fail, opens the
// file's folder instead; the answer comes later, on the event loop, and a
// failure is told to the user there. True when the request went out (false for an
// empty path, logged by the callers). Tests install their own.
using FileRevealer = std::function<bool(const QString& path)>;
void SetFileRevealer(FileRevealer revealer);
bool RevealFileInFileManager(const QString& path);
bool DefaultRevealFile(const QString& path);
// The default on a given bus. When no file manager answers and nothing opens
// the folder either, the user is told its path (DesktopLinks.h).
bool RevealFile(const QDBusConnection& bus, const QString& path);
// The file manager's "show item" call on the given bus, sent without
// waiting: a file manager the bus has to start first took up to five
// seconds, all of them on the GUI thread. `done` runs on the event loop with
// whether the file manager accepted it. False, and `done` not called, when
// nothing could be sent (no path, no bus).
bool FileManagerShowItem(const QDBusConnection& bus, const QString& path, std::function<void(bool accepted)> done);

// Asks the user with the program's question dialog, modal over parent:
// returns the StandardButton of the pressed button (0 for Escape or closing)
// and, with checkBox, whether "Do not show this again" was ticked. The dialog
// lives above the library, so the main window installs it; without one
// nothing is shown and 0 comes back (logged).
using QuestionAsker = std::function<int(QWidget* parent, const QString& text,
                                        const QList<DialogButtonInfo>& buttons, bool checkBox, bool* checked)>;
void SetQuestionAsker(QuestionAsker asker);
int AskLibraryQuestion(QWidget* parent, const QString& text, const QList<DialogButtonInfo>& buttons,
                       bool checkBox = false, bool* checked = nullptr);
