// The scheduled recording: arming the start timer, the task's recording and
// the power-off countdown after it.
#include "CMainUI.h"

#include "CAppSettings.h"
#include "CDeleteDialog.h"
#include "CMToolButton.h"
#include "CSetTaskDialog.h"
#include "CStatusBar.h"
#include "CToolBar.h"
#include "LibraryServices.h"
#include "SystemHelpers.h"

#include <QDebug>
#include <QDialogButtonBox>
#include <QTimer>

namespace {
int DurationSeconds(const QTime& duration)
{
    return duration.hour() * 3600 + duration.minute() * 60 + duration.second();
}
} // namespace

void CMainUI::SetTask()
{
    CMToolButton* scheduler = m_statusBar->SchedulerButton();
    if (CSetTaskDialog::IsTaskDisabled()) {
        scheduler->setToolTip(tr("Recording task scheduler"));
        m_taskStartTimer->stop();
        m_taskStopTimer->stop();
        return;
    }
    QTime start;
    QTime duration;
    m_settings->GetTaskStart(&start);
    m_settings->GetTaskDuration(&duration);
    int delay = Now().msecsTo(start);
    QString text;
    if (delay < 0) {
        text = tr("   A recording task is running\nTomorrow ");
        delay += 86400000;
    } else {
        text = tr("A recording task is running\n     ");
    }
    text += start.toString(QStringLiteral("hh:mm:ss")) + QStringLiteral("-")
            + start.addSecs(DurationSeconds(duration)).toString(QStringLiteral("hh:mm:ss"));
    scheduler->setToolTip(text);
    m_taskStartTimer->stop();
    m_taskStartTimer->setTimerType(Qt::PreciseTimer);
    m_taskStartTimer->start(delay);
}

void CMainUI::StartRecordTask()
{
    qDebug() << "CMainUI::StartRecordTask";
    m_taskStartTimer->stop();
    if (m_toolBar->GetRecordState() == IRecordStateSource::NotRecording)
        RecorderModuleStart();
    QTime duration;
    m_settings->GetTaskDuration(&duration);
    const int ms = DurationSeconds(duration) * 1000;
    m_taskStopTimer->setTimerType(Qt::PreciseTimer);
    m_taskStopTimer->start(ms);
    qDebug() << "CMainUI::StartRecordTask END: " << ms;
}

void CMainUI::StopRecordTask()
{
    qDebug() << "CMainUI::StopRecordTask";
    RecorderModuleStop();
    qDebug() << "CMainUI::StopRecordTask 1";
    // Whatever RecorderModuleStop did, the task's stop fires once.
    m_taskStopTimer->stop();
    if (m_settings->GetAfterRecord() != 0)
        return;
    qDebug() << "CMainUI::StopRecordTask 2";
    QList<DialogButtonInfo> buttons;
    buttons.append({QDialogButtonBox::Cancel, tr("Cancel"), true});
    buttons.append({QDialogButtonBox::Ok, tr("Shutdown"), false});
    CDeleteDialog countdown(tr("Your computer will be shutdown in 60 seconds"), buttons, this, false, true);
    countdown.setModal(true);
    countdown.setFocus();
    qDebug() << "CMainUI::StopRecordTask 3";
    const int result = ExecDialog(&countdown);
    if (result != QDialogButtonBox::Cancel) {
        qDebug() << "shutdown computer!";
        if (!ShutdownComputer())
            qDebug() << "shutdown computer failed!";
    }
    qDebug() << "CMainUI::StopRecordTask end";
}
