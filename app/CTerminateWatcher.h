#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM (a logout, a shutdown, `kill`) into a Qt signal on the GUI
// thread, so the program can end as it ends when the user closes it: the
// song being recorded finished and stored first. The handler only writes a
// byte into a pipe; everything else happens in the event loop.
//
// Thread contract: one object at a time, made and destroyed on the GUI
// thread; the signal handler touches nothing but the pipe's write end.
class CTerminateWatcher : public QObject
{
    Q_OBJECT
public:
    // Installs the handler; the default action comes back on destruction.
    explicit CTerminateWatcher(QObject* parent = nullptr);
    ~CTerminateWatcher() override;

signals:
    // Once per SIGTERM received (several quick ones may come as one).
    void Terminated();

private:
    void ReadPipe();

    QSocketNotifier* m_notifier = nullptr;
};
