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

// Shows a song's file in the desktop's file manager. The default asks the
// file manager over D-Bus (org.freedesktop.FileManager1.ShowItems) to select
// the file and falls back to opening its folder. True when one of them was
// accepted; a failure is logged by the callers. Tests install their own.
using FileRevealer = std::function<bool(const QString& path)>;
void SetFileRevealer(FileRevealer revealer);
bool RevealFileInFileManager(const QString& path);
bool DefaultRevealFile(const QString& path);
// The file manager's "show item" call (org.freedesktop.FileManager1.ShowItems)
// on the given bus; true when the file manager accepted it.
bool FileManagerShowItem(const QDBusConnection& bus, const QString& path);

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
