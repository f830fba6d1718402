#pragma once

#include <QByteArray>
#include <QObject>

class CMainUI;
class QSocketNotifier;

// Drives the main window from its standard input, one command a line, for the
// whole-program benchmark (bench/program): it presses the window's own
// buttons, so what runs is what a user's click runs. Made by main() only when
// SONACAP_COMMANDS_ON_STDIN is set; the program never reads its input
// otherwise. Each command is answered on standard output with "ok <command>"
// once it has been carried out, or "unknown <command>". When a song file
// opens while recording, it also prints "event song-start <ms>", the
// steady clock (CLOCK_MONOTONIC, in milliseconds) at the moment the
// engine reported it, so the benchmark can time a press against it; and
// "event record-clicked <ms>" once a click on Record (a real one through the
// window system too) has been handled.
//
//   ping          nothing (the answer says the program is up)
//   where record  prints "at record <x> <y>", the middle of the Record
//                 button on the screen, for a click through the X server
//   record        the control bar's Record button
//   stop          the control bar's Stop button
//   page recording, page media    the status bar's page buttons
//   minimize, restore             the window
//   quit          ends the program the ordinary way
//
// Thread contract: GUI thread only, but for the song-start report, which
// takes the time on the engine's thread and hands it to the GUI thread.
class CStdinCommands : public QObject
{
    Q_OBJECT
public:
    explicit CStdinCommands(CMainUI* window);
    ~CStdinCommands() override;

    // Carries out one command line (without its line end); false when the
    // command is unknown.
    bool Run(const QByteArray& command);

private:
    void ReadInput();

    CMainUI* m_window;
    QSocketNotifier* m_notifier = nullptr;
    QByteArray m_pending;
};
