#include "CStdinCommands.h"

#include "CMToolButton.h"
#include "CMainUI.h"
#include "CStatusBar.h"
#include "CToolBar.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <chrono>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>
#include <unistd.h>

namespace {
long long SteadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

CStdinCommands::CStdinCommands(CMainUI* window) : QObject(window), m_window(window)
{
    m_notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CStdinCommands::ReadInput);
    // Timed where the engine reports it: the window's own work on the new
    // song must not count as capture latency.
    connect(window, &CMainUI::RecorderModuleMusicStartSignal, this, [this] {
        const long long at = SteadyMs();
        QMetaObject::invokeMethod(this, [at] {
            std::printf("event song-start %lld\n", at);
            std::fflush(stdout);
        });
    }, Qt::DirectConnection);
    // Connected after the window's own handler, so it runs once that is done.
    connect(window->ControlBar()->RecordStartButton(), &QToolButton::clicked, this, [] {
        std::printf("event record-clicked %lld\n", SteadyMs());
        std::fflush(stdout);
    });
}

CStdinCommands::~CStdinCommands() = default;

void CStdinCommands::ReadInput()
{
    char buffer[256];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) {
        // The other end went away: nothing more will come.
        m_notifier->setEnabled(false);
        return;
    }
    m_pending.append(buffer, static_cast<int>(got));
    int end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QByteArray line = m_pending.left(end).trimmed();
        m_pending.remove(0, end + 1);
        if (line.isEmpty())
            continue;
        const bool known = Run(line);
        std::printf("%s %s\n", known ? "ok" : "unknown", line.constData());
        std::fflush(stdout);
    }
}

bool CStdinCommands::Run(const QByteArray& command)
{
    CMainUI* w = m_window;
    const std::vector<std::pair<const char*, std::function<void()>>> commands = {
        // Answered once the event loop runs: the window is up.
        {"ping", [] {}},
        {"where record", [w] {
             QWidget* button = w->ControlBar()->RecordStartButton();
             const QPoint at = button->mapToGlobal(button->rect().center());
             std::printf("at record %d %d\n", at.x(), at.y());
         }},
        {"record", [w] { w->ControlBar()->RecordStartButton()->click(); }},
        {"stop", [w] { w->ControlBar()->RecordStopButton()->click(); }},
        {"page recording", [w] { w->StatusBar()->RecordingButton()->click(); }},
        {"page media", [w] { w->StatusBar()->MediaButton()->click(); }},
        {"minimize", [w] { w->showMinimized(); }},
        {"restore", [w] { w->showNormal(); }},
        {"quit", [] { QCoreApplication::quit(); }},
    };
    for (const auto& entry : commands) {
        if (command == entry.first) {
            entry.second();
            return true;
        }
    }
    return false;
}
