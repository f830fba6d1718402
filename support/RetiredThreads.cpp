#include "RetiredThreads.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDeadlineTimer>
#include <QList>
#include <QThread>

namespace {
QList<QThread*>& Threads()
{
    static QList<QThread*> threads;
    return threads;
}

void Forget(QThread* thread)
{
    if (Threads().removeAll(thread) > 0)
        thread->deleteLater();
}

void WaitAtExit()
{
    if (!RetiredThreads::WaitAll(RetiredThreads::kExitWaitMs))
        qWarning() << "RetiredThreads:" << Threads().size() << "stopped thread(s) still running at exit";
}
} // namespace

void RetiredThreads::Retire(QThread* thread)
{
    if (!thread || Threads().contains(thread))
        return;
    static bool hooked = false;
    if (!hooked) {
        qAddPostRoutine(&WaitAtExit);
        hooked = true;
    }
    thread->setParent(nullptr);
    Threads().append(thread);
    // finished() is queued to the GUI thread, where the thread object lives.
    QObject::connect(thread, &QThread::finished, thread, [thread] { Forget(thread); });
    if (thread->isFinished())
        Forget(thread);
}

int RetiredThreads::Count()
{
    return Threads().size();
}

bool RetiredThreads::WaitAll(int ms)
{
    QDeadlineTimer deadline(ms);
    for (QThread* thread : QList<QThread*>(Threads())) {
        if (thread->wait(deadline)) {
            Threads().removeAll(thread);
            delete thread;
        }
    }
    return Threads().isEmpty();
}
