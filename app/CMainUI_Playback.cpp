// The play queue's commands: what plays, in which order, and what follows.
#include "CMainUI.h"

#include "CDeleteDialog.h"
#include "CMToolButton.h"
#include "CPopupPlayList.h"
#include "CRecordingWidget.h"
#include "CShowListWidget.h"
#include "CToolBar.h"
#include "CTreeLib.h"
#include "CTreeWidgetItem.h"
#include "LibraryServices.h"
#include "MusicDatabase.h"
#include "PlayQueue.h"
#include "Sonacap.h"

#include <QDebug>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QStackedWidget>

bool CMainUI::IsRecordingBusy() const
{
    return ::IsRecordingBusy(m_toolBar);
}

void CMainUI::EnablePlayButtonIfPlayable()
{
    const int shown = m_showList->GetShownListId();
    if ((shown != 0 && m_showList->GetListItemCount(shown) > 0) || !PlayQueue::Instance().IsEmpty())
        m_toolBar->PlayPauseStack()->setEnabled(true);
}

int CMainUI::PlayCurrentItem()
{
    PlayQueue& queue = PlayQueue::Instance();
    // Skipping goes on entry by entry, but never more than one full round:
    // with every entry missing or busy the queue would otherwise spin forever.
    const int count = queue.Count();
    for (int tried = 0; tried < count; ++tried) {
        CTreeWidgetItem* entry = CTreeWidgetItem::FromQueue(queue.Current());
        if (!entry)
            return -1;
        bool skip = false;
        if (entry->IsConverting()) {
            skip = true;
        } else if (!QFile::exists(entry->GetMusicPath())) {
            entry->SetNoticeIcon(true);
            skip = true;
        }
        if (!skip) {
            const int opened = m_toolBar->CreatePlay();
            if (opened == -1) {
                // There, but nothing the player can read: say so, not "not found".
                entry->SetNoticeIcon(true);
                Ask(tr("This song cannot be played: its file exists but holds no sound the player can "
                       "read.\n%1")
                        .arg(QDir::toNativeSeparators(entry->GetMusicPath())),
                    {{QDialogButtonBox::Ok, tr("Ok")}}, 0);
            }
            if (opened != 0)
                return opened;
            if (CTreeWidgetItem* row = m_showList->AddItemToList(entry, 3)) {
                if (m_showList->GetShownListId() == 3 && row->treeWidget())
                    row->setHidden(false);
                m_treeLib->SetListItemNum(3, m_showList->GetListItemCount(3));
            }
            return 0;
        }
        // Move on as PlayNext does (the player is stopped already).
        queue.currentIndex = queue.currentIndex + 1 >= queue.Count() ? 0 : queue.currentIndex + 1;
    }
    Ask(tr("Song playing unavailable, \noriginal file could not be found."),
        {{QDialogButtonBox::Cancel, tr("Cancel")}}, 0);
    return 1;
}

void CMainUI::StartPlay(const QList<IPlayQueueTrack*>& items, int index)
{
    PlayQueue& queue = PlayQueue::Instance();
    const int state = m_toolBar->GetPlayState();
    if (state == CToolBar::Playing || state == CToolBar::Paused)
        m_toolBar->StopPlay();
    if (&items != &queue.items)
        queue.items = items;
    if (m_toolBar->GetPlayState() != CToolBar::Stopped || queue.IsEmpty())
        return;

    int start = 0;
    if (index >= 0) {
        start = index < queue.Count() ? index : 0;
    } else {
        for (int i = 0; i < queue.Count(); ++i) {
            CTreeWidgetItem* row = CTreeWidgetItem::FromQueue(queue.items.at(i));
            if (row && row->treeWidget() && row->isSelected()) {
                start = i;
                break;
            }
        }
    }
    queue.currentIndex = start;
    const int shown = m_showList->GetShownListId();
    queue.queueListId = shown > 0 ? shown : 2;
    if (PlayCurrentItem() == 0)
        m_toolBar->Play();
}

void CMainUI::StartNewPlay(int index)
{
    if (IsRecordingBusy() && ConfirmStopRecording())
        return;
    const QList<CTreeWidgetItem*> rows = GetPlayableItems();
    if (!rows.isEmpty())
        StartPlay(CTreeWidgetItem::ToQueue(rows), index);
}

void CMainUI::StartLastPlay()
{
    PlayQueue& queue = PlayQueue::Instance();
    if (!queue.IsEmpty()) {
        if (m_toolBar->GetPlayState() == CToolBar::Paused) {
            m_toolBar->Play();
            return;
        }
        queue.queueListId = 2;
        queue.currentIndex = queue.Count() - 1;
        if (PlayCurrentItem() == 0)
            m_toolBar->Play();
        return;
    }
    const QList<CTreeWidgetItem*> rows = GetPlayableItems();
    if (!rows.isEmpty())
        StartPlay(CTreeWidgetItem::ToQueue(rows), -1);
}

void CMainUI::PlayNext()
{
    qDebug() << "CMainUI::PlayNext";
    m_toolBar->StopPlay();
    PlayQueue& queue = PlayQueue::Instance();
    if (queue.IsEmpty())
        return;
    queue.currentIndex = queue.currentIndex + 1 >= queue.Count() ? 0 : queue.currentIndex + 1;
    PlayMovedEntry();
}

void CMainUI::PlayMovedEntry()
{
    if (PlayCurrentItem() != 0)
        return;
    const int shown = m_showList->GetShownListId();
    if (shown != 0 && shown == PlayQueue::Instance().queueListId)
        m_showList->UpdataPicView(true, true);
    m_toolBar->Play();
}

void CMainUI::PlayLast()
{
    m_toolBar->StopPlay();
    PlayQueue& queue = PlayQueue::Instance();
    // Without a current entry there is nothing to step back from.
    if (queue.IsEmpty() || queue.currentIndex < 0)
        return;
    queue.currentIndex = queue.currentIndex == 0 ? queue.Count() - 1 : queue.currentIndex - 1;
    PlayMovedEntry();
}

void CMainUI::PlayMusic(CTreeWidgetItem* item)
{
    if (!item)
        return;
    if (IsRecordingBusy() && ConfirmStopRecording())
        return;
    if (!QFile::exists(item->GetMusicPath()))
        return;
    PlayQueue& queue = PlayQueue::Instance();
    const int at = queue.items.indexOf(item);
    if (at >= 0) {
        qDebug() << "CMainUI::PlayMusic index: " << at << " count: " << queue.Count();
        StartPlay(queue.items, at);
    } else {
        StartPlay(QList<IPlayQueueTrack*>{item}, -1);
    }
}

void CMainUI::PlayRecordingList(CTreeWidgetItem* item)
{
    if (!item)
        return;
    if (IsRecordingBusy() && ConfirmStopRecording())
        return;
    const QList<CTreeWidgetItem*> items = m_recordingWidget->GetAllItems();
    StartPlay(CTreeWidgetItem::ToQueue(items), items.indexOf(item));
}

void CMainUI::StartPlayAllList()
{
    if (IsRecordingBusy() && ConfirmStopRecording())
        return;
    QList<CTreeWidgetItem*> items = m_showList->GetVisibleItems();
    if (RemoveMissingItems(items) > 0)
        StartPlay(CTreeWidgetItem::ToQueue(items), -1);
}

void CMainUI::StartPalyRecord()
{
    PlayQueue& queue = PlayQueue::Instance();
    if (queue.IsEmpty())
        return;
    queue.queueListId = 2;
    queue.currentIndex = queue.Count() - 1;
    if (PlayCurrentItem() == 0)
        m_toolBar->Play();
}

void CMainUI::SetVolume(int volume)
{
    if (m_engine)
        m_engine->SetPreviewVolume(volume);
}

bool CMainUI::ConfirmStopRecording()
{
    const int answer = Ask(tr("The programme is recording now.\nDo you want to stop it and start to play music?"),
                           {{QDialogButtonBox::Yes, tr("Yes")}, {QDialogButtonBox::No, tr("No")}}, 0);
    if (answer == QDialogButtonBox::Yes) {
        RecorderModuleStop();
        return false;
    }
    return true;
}

QList<CTreeWidgetItem*> CMainUI::GetPlayableItems()
{
    QList<CTreeWidgetItem*> items = m_showList->GetSelectedOrAllItems(true);
    const bool single = items.size() == 1;
    if (RemoveMissingItems(items) == 0) {
        Ask(tr("Song playing unavailable, \noriginal file could not be found."),
            {{QDialogButtonBox::Cancel, tr("Cancel")}}, 0);
        return {};
    }
    if (single) {
        items = m_showList->GetVisibleItems();
        RemoveMissingItems(items);
    }
    return items;
}

int CMainUI::RemoveMissingItems(QList<CTreeWidgetItem*>& items)
{
    const PlayQueue& queue = PlayQueue::Instance();
    IPlayQueueTrack* current = queue.HasCurrent() ? queue.Current() : nullptr;
    const bool indexPastEnd = queue.currentIndex >= queue.Count();
    for (int i = 0; i < items.size();) {
        CTreeWidgetItem* row = items.at(i);
        if (!row) {
            items.removeAt(i);
            continue;
        }
        if (QFile::exists(row->GetMusicPath())) {
            if (row != current && !indexPastEnd)
                row->SetNoticeIcon(false);
            ++i;
        } else {
            row->SetNoticeIcon(true);
            items.removeAt(i);
        }
    }
    return items.size();
}

void CMainUI::AfterDeletePlayingMusic(int isPlaying)
{
    qDebug() << "CMainUI::AfterDeletePlayingMusic isPlaying: " << isPlaying;
    PlayQueue& queue = PlayQueue::Instance();
    if (isPlaying > 0 && m_toolBar->GetRecordState() == IRecordStateSource::NotRecording) {
        const int remembered = m_toolBar->GetPlayState();
        m_toolBar->StopPlay();
        if (queue.IsEmpty() || queue.currentIndex < 0) {
            if (queue.IsEmpty())
                queue.currentIndex = -1;
            m_toolBar->PreviousButton()->setEnabled(false);
            m_toolBar->NextButton()->setEnabled(false);
            m_toolBar->PlayPauseStack()->setCurrentIndex(0);
        } else {
            if (queue.currentIndex >= queue.Count())
                queue.currentIndex = 0;
            if (PlayCurrentItem() == 0) {
                if (remembered == CToolBar::Playing)
                    m_toolBar->Play();
                else
                    m_toolBar->SetPlayState(remembered);
            }
        }
    }
    if (queue.currentIndex < 1)
        m_toolBar->PreviousButton()->setEnabled(false);
    if (queue.currentIndex == queue.Count() - 1)
        m_toolBar->NextButton()->setEnabled(false);
}

void CMainUI::AddFinishedRecording(CTreeWidgetItem* row, int)
{
    PlayQueue& queue = PlayQueue::Instance();
    if (m_toolBar->GetPlayState() == CToolBar::Stopped && row) {
        queue.queueListId = 2;
        queue.currentIndex = queue.Count();
        queue.items.append(row);
    }
    if (!m_showList->FinishRecord(row))
        TellLibraryNotWritable(DB_LastErrorText());
    m_treeLib->SetListItemNum(1, m_showList->GetListItemCount(1));
    m_treeLib->SetListItemNum(2, m_showList->GetListItemCount(2));
}

void CMainUI::ShowPopPlayList()
{
    if (m_popPlayList)
        return;
    m_popPlayList = new CPopupPlayList(this);
    connect(m_popPlayList, qOverload<IPlayQueueTrack*>(&CPopupPlayList::itemDoubleClicked), this,
            [this](IPlayQueueTrack* entry) { PopItemDoubleClick(CTreeWidgetItem::FromQueue(entry)); });
    connect(m_popPlayList, &CPopupPlayList::aboutHide, this, &CMainUI::PopWidgetHide);
    m_popPlayList->show();
    m_popPlayList->setFocus(Qt::OtherFocusReason);
    m_popPlayList->ShowPopPlayList();
}

void CMainUI::PopItemDoubleClick(CTreeWidgetItem* item)
{
    if (!m_popPlayList)
        return;
    m_popPlayList->SetAutoHide(false);
    PlayMusic(item);
    if (m_popPlayList)
        m_popPlayList->HidePopPlayList();
}

void CMainUI::PopWidgetHide()
{
    // The list still runs its own code after the signal: delete it later.
    if (m_popPlayList)
        m_popPlayList->deleteLater();
    m_popPlayList = nullptr;
}
