// Pages, dialogs, web links, the Edit commands, list commands, keys and
// closing of the main window.
#include "CMainUI.h"

#include "CAbout.h"
#include "CAddToiTunesDialog.h"
#include "CAppSettings.h"
#include "CBugReport.h"
#include "CDeleteDialog.h"
#include "CFilterEdit.h"
#include "CGUITavrelRegister.h"
#include "CListTreeItem.h"
#include "CMToolButton.h"
#include "CMusicInfoTreeWidget.h"
#include "CReadyWidget.h"
#include "CRecordingWidget.h"
#include "CShowListWidget.h"
#include "CSongEndPipeline.h"
#include "CStatusBar.h"
#include "CToolBar.h"
#include "CTreeLib.h"
#include "CTreeWidgetItem.h"
#include "DesktopLinks.h"
#include "InterfaceScale.h"
#include "LibraryServices.h"
#include "MusicDatabase.h"
#include "PlayQueue.h"
#include "ProductUpdateInfo.h"
#include "WidgetFlags.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStackedWidget>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace {
int g_deleteRepeatCounter = 5;
bool g_firstResize = true;

// The maker's pages; the home page and the help and support links come from
// the settings.
const char* const kFacebookPage = "https://www.facebook.com/tavrelsoftware";
const char* const kTwitterPage = "https://twitter.com/tavrelsoftware";
const char* const kTranslationPage = "https://www.tavrel.com/translation/";
const char* const kHomePageHost = "https://www.tavrel.com";
// How long an asked-for end waits for the stopped song to be stored.
constexpr int kQuitWaitMs = 20000;
} // namespace

int CMainUI::DeleteRepeatCounter()
{
    return g_deleteRepeatCounter;
}

void CMainUI::ResetDeleteRepeatCounter()
{
    g_deleteRepeatCounter = 5;
}

// ---------------------------------------------------------------- seams

int CMainUI::ExecDialog(QDialog* dialog)
{
    return dialog->exec();
}

bool CMainUI::OpenUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

namespace {
// What makes two notices the same: their kind and, for the question dialog,
// their text.
QString NoticeKey(const QDialog* notice)
{
    QString key = QString::fromLatin1(notice->metaObject()->className());
    if (const auto* question = qobject_cast<const CDeleteDialog*>(notice))
        key += QLatin1Char('\n') + question->MessageLabel()->text();
    return key;
}

// Whether `widget` is `ancestor` or lies below it, across windows (a notice
// over a dialog is that dialog's child, and goes with it).
bool IsWithin(const QWidget* widget, const QWidget* ancestor)
{
    for (; widget; widget = widget->parentWidget()) {
        if (widget == ancestor)
            return true;
    }
    return false;
}
} // namespace

void CMainUI::ShowNotice(QDialog* notice)
{
    notice->setAttribute(Qt::WA_DeleteOnClose);
    // A modal dialog (Settings, About, a question) blocks every window but
    // its own: a notice of the window would stand there unanswerable, and
    // Enter would reach the dialog underneath. Over such a dialog the
    // notice is the dialog's, and the dialog waits until it is read.
    QWidget* modal = QApplication::activeModalWidget();
    const bool overModal = modal && modal != notice && modal->isVisible();
    if (overModal) {
        notice->setParent(modal, notice->windowFlags());
        notice->setWindowModality(Qt::WindowModal);
    } else {
        notice->setWindowModality(Qt::NonModal);
    }
    m_notices.removeAll(nullptr);
    const QString key = NoticeKey(notice);
    for (const QPointer<QDialog>& open : m_notices) {
        if (NoticeKey(open) != key)
            continue;
        // The same notice where it can be answered stays, and so does one
        // the new notice would stand on: closing it would take the new one
        // (its child) with it. One that a modal dialog now blocks gives way
        // to the new one.
        if (open->parentWidget() == notice->parentWidget() || IsWithin(notice, open)) {
            delete notice;
            open->raise();
            return;
        }
        open->close();
        break;
    }
    m_notices.append(notice);
    notice->show();
    notice->raise();
    if (overModal)
        notice->activateWindow();
}

void CMainUI::Notice(const QString& text)
{
    ShowNotice(new CDeleteDialog(text, {{QDialogButtonBox::Ok, tr("Ok"), true}}, this));
}

bool CMainUI::RefuseWhileLibraryInUse()
{
    if (!DB_LibraryInUse())
        return false;
    Notice(tr("The library is in use by another program and cannot be changed now."));
    return true;
}

int CMainUI::Ask(const QString& text, const QList<QPair<int, QString>>& buttons, int defaultIndex)
{
    QList<DialogButtonInfo> infos;
    for (int i = 0; i < buttons.size(); ++i)
        infos.append({buttons.at(i).first, buttons.at(i).second, i == defaultIndex});
    CDeleteDialog dialog(text, infos, this);
    dialog.setModal(true);
    return ExecDialog(&dialog);
}

// ---------------------------------------------------------------- pages

bool CMainUI::IsLibraryPageShown() const
{
    return m_centerWidget->currentIndex() == 2;
}

void CMainUI::ChangeShowWidget(int listId)
{
    if (listId == 0)
        return;
    m_centerWidget->setCurrentIndex(2);
    m_showList->ShowList(listId);
    const int n = m_showList->GetVisibleCount();
    if (!IsRecordingBusy()) {
        if (n > 0)
            m_toolBar->PlayPauseStack()->setEnabled(true);
        else if (PlayQueue::Instance().IsEmpty())
            m_toolBar->PlayPauseStack()->setEnabled(false);
    }
    m_statusBar->ITunesButton()->setEnabled(n > 0);
}

void CMainUI::ShowMedia()
{
    if (m_showList->GetShownListId() > 0) {
        m_centerWidget->setCurrentIndex(2);
        if (!m_showList->GetSelectedOrAllItems(true).isEmpty())
            m_statusBar->ITunesButton()->setEnabled(true);
    } else {
        m_treeLib->SelectList(2);
    }
    m_statusBar->AddButton()->setEnabled(true);
    m_statusBar->RecordingButton()->setChecked(false);
    m_statusBar->MediaButton()->setChecked(true);
}

void CMainUI::ShowRecording()
{
    m_centerWidget->setCurrentIndex(1);
    m_statusBar->ITunesButton()->setEnabled(false);
    m_statusBar->AddButton()->setEnabled(false);
    m_statusBar->MediaButton()->setChecked(false);
    m_statusBar->RecordingButton()->setChecked(true);
}

void CMainUI::ShowLibrary()
{
    ShowMedia();
    if (m_toolBar->IsMiniState())
        ToggleMiniState();
    showNormal();
    raise();
}

// ---------------------------------------------------------------- dialogs

void CMainUI::RecordingSetting()
{
    SetPreferences(m_settings->GetPreferenceIndex());
}

void CMainUI::RecordingSourceSetting()
{
    SetPreferences(CPreferencesDialog::kPageSource);
}

void CMainUI::RecordingTaskSetting()
{
    SetPreferences(CPreferencesDialog::kPageScheduler);
}

void CMainUI::SetPreferences(CPreferencesDialog::CPfType page)
{
    if (m_preferences) {
        m_preferences->raise();
        return;
    }
    m_preferences = new CPreferencesDialog(m_audioDevice, m_engine, m_driverSetup, this, page);
    m_preferences->setModal(true);
    connect(m_preferences, &CPreferencesDialog::sLanguageChange, this, &CMainUI::LoadLanguage);
    // The update glue asks in the new language from now on.
    connect(m_preferences, &CPreferencesDialog::sLanguageChange, this,
            [] { CGUITavrelRegister::GetInstance()->SetLanguage(); });
    if (ExecDialog(m_preferences) == 1)
        SetTask();
    delete m_preferences;
    m_preferences = nullptr;
}

void CMainUI::About()
{
    showNormal();
    CAbout about(this, 0xC003);
    ExecDialog(&about);
}

void CMainUI::BugReport()
{
    if (!m_bugReport)
        m_bugReport = new CBugReport(nullptr);
    m_bugReport->show();
}

void CMainUI::UpdataSoft(bool show)
{
    if (m_updateInfo)
        m_updateInfo->CheckForUpdates(show, this);
}

void CMainUI::LoadLanguage()
{
    ReplaceQtTranslator(m_settings->GetLanguage());

    m_settingsAction->setText(tr("Settings"));
    m_helpAction->setText(tr("Online Help"));
    m_homePageAction->setText(tr("Home Page"));
    m_supportAction->setText(tr("Support"));
    m_updateAction->setText(tr("Check for Updates"));
    m_bugReportAction->setText(tr("Bug Report"));
    m_aboutAction->setText(tr("About"));
    m_translateAction->setText(tr("Translate Sonacap for us"));

    m_toolBar->Retranslate();
    m_readyWidget->Retranslate();
    m_statusBar->Retranslate();
    m_treeLib->RetranslateUi();
    m_showList->RetranslateUi();
    m_recordingWidget->RetranslateUi();
    if (m_bugReport)
        m_bugReport->RetranslateUi();
}

// ---------------------------------------------------------------- web links

void CMainUI::OpenLink(const QString& link, bool raiseAfter)
{
    if (!link.isEmpty()) {
        const QUrl url = QUrl::fromEncoded(link.toLocal8Bit());
        // Without a browser the desktop's reason reached the terminal only.
        if (!OpenUrl(url))
            TellNotOpened(this, url);
    }
    if (raiseAfter)
        raise();
}

void CMainUI::OnlineHelp()
{
    OpenLink(m_settings->GetUserGuideLink(), false);
}

void CMainUI::Support()
{
    OpenLink(m_settings->GetSupportLink(), false);
}

void CMainUI::HomePage()
{
    const QString language = m_settings->GetLanguage();
    QString path = QStringLiteral("/sonacap/");
    if (language == QLatin1String("de"))
        path = QStringLiteral("/de/sonacap/");
    else if (language == QLatin1String("jp"))
        path = QStringLiteral("/jp/sonacap/");
    OpenLink(QLatin1String(kHomePageHost) + path, false);
}

void CMainUI::OpenFaceBook()
{
    OpenLink(QLatin1String(kFacebookPage), true);
}

void CMainUI::OpenTwiiter()
{
    OpenLink(QLatin1String(kTwitterPage), true);
}

void CMainUI::TranslateForUs()
{
    OpenLink(QLatin1String(kTranslationPage), false);
}

// ---------------------------------------------------------------- Edit operations

void CMainUI::MenuBarCopy()
{
    if (!IsLibraryPageShown())
        return;
    m_showList->HoldForPaste(m_showList->GetSelectedOrAllItems(true));
    m_cutSource = -1;
}

void CMainUI::MenuBarCut()
{
    if (!IsLibraryPageShown())
        return;
    m_showList->HoldForPaste(m_showList->GetSelectedOrAllItems(true));
    m_cutSource = m_showList->GetShownListId();
}

void CMainUI::MenuBarPaste()
{
    const int target = m_showList->GetShownListId();
    if (!IsLibraryPageShown() || m_showList->HeldForPaste().isEmpty() || target <= 3 || RefuseWhileLibraryInUse())
        return;
    const QList<CTreeWidgetItem*> added = AddItemsToList(m_showList->HeldForPaste(), target);
    if (!added.isEmpty()) {
        m_showList->FilterBox()->emtiFilterChanged();
        if (m_showList->GetListItemCount(target) > 0)
            m_toolBar->DisablePlayBut(false);
        m_treeLib->SetListItemNum(target, m_showList->GetListItemCount(target));
        m_showList->UpdataPicView(false, true);
    }
    if (m_cutSource > 3 && m_cutSource != target) {
        PlayQueue& queue = PlayQueue::Instance();
        const int before = queue.Count();
        // One pass: row by row, each removal walked the list and the queue.
        const int last = m_showList->RemoveItemsFromList(m_showList->HeldForPaste(), m_cutSource);
        m_showList->ReleaseHeldForPaste();
        if (queue.Count() < before)
            AfterDeletePlayingMusic(last);
        m_treeLib->SetListItemNum(m_cutSource, m_showList->GetListItemCount(m_cutSource));
        m_cutSource = -1;
    }
}

void CMainUI::MenuBarSelectAll()
{
    m_showList->selectAll();
}

void CMainUI::MenuBarClearSelect()
{
    m_showList->clearSelection();
}

QList<CTreeWidgetItem*> CMainUI::AddItemsToList(QList<CTreeWidgetItem*> rows, int listId)
{
    return m_showList->AddItemsToList(rows, listId);
}

// ---------------------------------------------------------------- lists

void CMainUI::AddPlayList()
{
    if (RefuseWhileLibraryInUse())
        return;
    if (CListTreeItem* entry = m_treeLib->AddNewList())
        m_showList->AddList(entry);
}

void CMainUI::triggered(QAction* action)
{
    const int listId = m_showList->GetActionListId(action);
    if (listId == 0 || RefuseWhileLibraryInUse())
        return;
    AddItemsToList(m_showList->GetSelectedOrAllItems(true), listId);
    m_treeLib->SetListItemNum(listId, m_showList->GetListItemCount(listId));
}

void CMainUI::DragItemToList(QString ids, int listId)
{
    if (RefuseWhileLibraryInUse())
        return;
    QList<int> musicIds;
    for (const QString& part : ids.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int id = part.toInt(&ok, 10);
        if (ok)
            musicIds.append(id);
    }
    const QList<CTreeWidgetItem*> rows = m_showList->GetItemsByMusicId(musicIds);
    if (AddItemsToList(rows, listId).isEmpty())
        return;
    if (m_showList->GetListItemCount(listId) > 0)
        m_toolBar->DisablePlayBut(false);
    m_treeLib->SetListItemNum(listId, m_showList->GetListItemCount(listId));
}

void CMainUI::itemChanged(QTreeWidgetItem* item)
{
    auto* entry = dynamic_cast<CListTreeItem*>(item);
    if (!entry)
        return;
    if (RefuseWhileLibraryInUse()) {
        m_treeLib->ShowStoredListName(entry);
        return;
    }
    m_showList->RenameListAction(entry->GetListType(), entry->GetListName());
    DB_UpdateMusicList(entry->GetListType(), entry->GetListName());
}

void CMainUI::DeleteMusic()
{
    const QList<CTreeWidgetItem*> selected = m_showList->TrackList()->GetSelectedItems();
    if (selected.isEmpty()) {
        DeleteMusicList();
        return;
    }
    QList<QTreeWidgetItem*> rows;
    for (CTreeWidgetItem* row : selected)
        rows.append(row);
    DeleteMusic(rows, m_showList->GetShownListId());
}

void CMainUI::DeleteMusic(CTreeWidgetItem* item)
{
    if (item)
        DeleteMusic(QList<QTreeWidgetItem*>{item}, 2);
}

void CMainUI::DeleteMusic(QList<QTreeWidgetItem*> rows, int listId)
{
    if (RefuseWhileLibraryInUse())
        return;
    PlayQueue& queue = PlayQueue::Instance();
    const int before = queue.Count();
    QStringList paths;
    for (QTreeWidgetItem* item : rows) {
        if (auto* row = dynamic_cast<CTreeWidgetItem*>(item))
            paths.append(row->GetMusicPath());
    }
    const int playing = m_showList->DeleteSelectedMusic(rows, listId);
    const int state = m_toolBar->GetPlayState();
    if (queue.Count() < before && (state == CToolBar::Playing || state == CToolBar::Paused)) {
        AfterDeletePlayingMusic(playing);
        // The player may have held a deleted song open. Only songs deleted
        // from the library lose their files; a play list's entries never do.
        if (listId == 1 || listId == 2) {
            for (const QString& path : paths) {
                if (!path.isEmpty())
                    QFile::remove(path);
            }
        }
    }
    if (m_showList->GetVisibleCount() == 0 && m_toolBar->GetPlayState() == CToolBar::Stopped)
        m_toolBar->PlayPauseStack()->setEnabled(false);
    m_treeLib->SetListItemNum(listId, m_showList->GetListItemCount(listId));
    m_showList->UpdataPicView(false, true);
}

void CMainUI::DeleteMusicList()
{
    const int current = m_showList->GetShownListId();
    if (current < 4 || RefuseWhileLibraryInUse())
        return;
    const int removed = m_showList->ClearMusicList(current);
    if (removed < 0)
        return;
    if (removed > 0) {
        m_toolBar->StopPlay();
        m_toolBar->PreviousButton()->setEnabled(false);
        m_toolBar->NextButton()->setEnabled(false);
        m_toolBar->PlayPauseStack()->setCurrentIndex(0);
    }
    const int id = m_treeLib->GetCurrentListId();
    m_showList->DeleteAction(id);
    qDebug() << "CMainUI::DeleteMusicList ListId: " << id;
    ChangeShowWidget(m_treeLib->GetNextListId());
    m_treeLib->DeleteItem();
}

void CMainUI::EditMusic(CTreeWidgetItem* item)
{
    m_showList->EditTagsMusic(item);
}

void CMainUI::AddToiTunes()
{
    ExportToiTunes(m_showList->GetSelectedOrAllItems(true));
}

void CMainUI::AddAllMusicToiTunes()
{
    ExportToiTunes(m_showList->GetVisibleItems());
}

void CMainUI::ExportToiTunes(QList<CTreeWidgetItem*> rows)
{
    RemoveMissingItems(rows);
    QList<MusicInfoRow> records;
    for (CTreeWidgetItem* row : rows) {
        std::unique_ptr<MusicInfoRow> record(row->GetMusicInfo());
        if (record)
            records.append(*record);
    }
    CAddToiTunesDialog dialog(records, this);
    ExecDialog(&dialog);
}

// ---------------------------------------------------------------- keys

void CMainUI::keyPressEvent(QKeyEvent* event)
{
    CMyWindowFrame::keyPressEvent(event);
    if (event->isAutoRepeat() || !m_showList->isVisible() || EditFocusFlag
        || event->modifiers() != Qt::ControlModifier)
        return;
    switch (event->key()) {
    case Qt::Key_X: MenuBarCut(); break;
    case Qt::Key_C: MenuBarCopy(); break;
    case Qt::Key_V: MenuBarPaste(); break;
    default: break;
    }
}

void CMainUI::keyReleaseEvent(QKeyEvent* event)
{
    CMyWindowFrame::keyReleaseEvent(event);
    const bool plainDelete = event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier;
    if (event->isAutoRepeat()) {
        if (plainDelete)
            m_treeLib->DeleteKeyTimer()->start(200);
        if (g_deleteRepeatCounter > 0) {
            --g_deleteRepeatCounter;
            return;
        }
        g_deleteRepeatCounter = 5;
    } else {
        if (event->key() == Qt::Key_Delete)
            m_treeLib->DeleteKeyTimer()->stop();
        m_showList->TrackList()->ReleaseModifierKey(event);
    }
    if (m_showList->isVisible() && !EditFocusFlag && plainDelete)
        DeleteMusic();
}

// ---------------------------------------------------------------- window events

bool CMainUI::eventFilter(QObject* watched, QEvent* event)
{
    // Only the record buttons are watched. Dropped, the double click leaves
    // the button up, so its release clicks nothing either.
    if (event->type() == QEvent::MouseButtonDblClick) {
        qDebug() << "CMainUI: second click of a double click on Record/Stop dropped";
        return true;
    }
    return CMyWindowFrame::eventFilter(watched, event);
}

void CMainUI::QuitFinishingRecording()
{
    if (m_quitRequested)
        return;
    m_quitRequested = true;
    qDebug() << "CMainUI::QuitFinishingRecording";
    if (!m_recordingStopped && m_toolBar->GetRecordState() != IRecordStateSource::NotRecording) {
        // As Stop ends it, without the notice nobody is there to read.
        m_recordingStopped = true;
        if (m_engine)
            m_engine->Stop();
        ShowRecordingStopped();
    }
    close();
}

void CMainUI::closeEvent(QCloseEvent* event)
{
    // A song the user stopped is finished by the engine on its own thread (a
    // six-channel MP3's mix-down takes seconds) and then stored by the
    // completion: the close waits until the song is stored, and a note comes
    // up when that takes a moment.
    if (m_closePending) {
        event->ignore();
        return;
    }
    const bool songUnstored = !OpenSongPath().isEmpty() || m_showList->RecordingRow() || IsFinishingSongs();
    if (!m_closeAnyway && m_recordingStopped && songUnstored) {
        m_closePending = true;
        // A song that has its data no longer waits long for its cover.
        m_songEnd->FinishForClose();
        m_toolBar->SetStatusText(tr("Finishing the last recording..."));
        if (!m_closeWaitTimer) {
            m_closeWaitTimer = new QTimer(this);
            m_closeWaitTimer->setSingleShot(true);
            connect(m_closeWaitTimer, &QTimer::timeout, this, &CMainUI::ShowCloseNote);
        }
        m_closeWaitTimer->start(500);
        if (m_quitRequested) {
            // Whoever asked the program to end will not wait for ever: after a
            // while the close goes on, the engine finishing the file as the
            // window goes.
            QTimer::singleShot(kQuitWaitMs, this, [this] {
                if (!m_closePending)
                    return;
                m_closePending = false;
                m_closeAnyway = true;
                close();
            });
        }
        event->ignore();
        return;
    }

    // Both questions come first: a "No" to the second must not find the
    // unfinished recording already thrown away.
    bool discard = false;
    if (!m_quitRequested && m_toolBar->GetRecordState() == IRecordStateSource::RecordingSong
        && !m_recordingStopped) {
        const int answer = Ask(tr("Are you sure to quit the programme?\nUnfinished recording will be lost if you "
                                  "quit now!"),
                               {{QDialogButtonBox::Cancel, tr("No")}, {QDialogButtonBox::Ok, tr("Quit")}}, 0);
        if (answer != QDialogButtonBox::Ok) {
            event->ignore();
            return;
        }
        discard = true;
    }
    if (!m_quitRequested && m_bugReport && m_bugReport->IsBusy()) {
        const int answer = Ask(tr("Are you sure to quit the programme?\nIt is sending bug report mail!"),
                               {{QDialogButtonBox::Cancel, tr("No")}, {QDialogButtonBox::Ok, tr("Quit")}}, 0);
        if (answer == QDialogButtonBox::Cancel || answer == 0) {
            event->ignore();
            return;
        }
    }
    // An open bug-report window would keep the program running; closing it
    // also stops a report being sent and waits for its thread.
    if (m_bugReport)
        m_bugReport->close();

    // From now on the engine's songs are leftovers of a quit, not recordings;
    // the one being recorded goes only when the user agreed to lose it.
    m_closing = true;
    // Read again: a song may have ended (and been stored) while a question
    // was open.
    const int recordState = m_toolBar->GetRecordState();
    m_discardOpenSong = discard && recordState == IRecordStateSource::RecordingSong;
    if (recordState != IRecordStateSource::NotRecording) {
        AudioDevStopRecord(m_audioDevice);
        // The engine records, not the device handle: stop it too, so nothing
        // more is written should the program outlive this window (another
        // top-level window still open).
        m_recordingStopped = true;
        if (m_engine)
            m_engine->Stop();
    }
    if (m_discardOpenSong) {
        // The row and its record go now; the file itself is removed once the
        // engine has let go of it (the destructor, after the engine's release).
        DiscardRecordingRow(false);
        m_toolBar->RecordStopped();
    }
    delete m_closeNote;
    // Notices are the window's: they go with it.
    for (const QPointer<QDialog>& notice : m_notices) {
        if (notice)
            notice->close();
    }
    qDebug() << "CMainUI::closeEvent event->accept()";
    event->accept();
    delete m_updateInfo;
    m_updateInfo = nullptr;
    // Another window left open (a dialog of its own) must not keep the
    // program running.
    if (m_quitRequested)
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void CMainUI::ShowCloseNote()
{
    if (!m_closePending || m_closeNote)
        return;
    auto* note = new CDeleteDialog(tr("Finishing the last recording before closing..."),
                                   {{QDialogButtonBox::Ok, tr("Close now"), false}}, this);
    note->setAttribute(Qt::WA_DeleteOnClose);
    // "Close now" still lets the engine finish the song while the window
    // goes, and keeps it.
    connect(note, &QDialog::finished, this, [this](int result) {
        if (result != QDialogButtonBox::Ok || !m_closePending)
            return;
        m_closePending = false;
        m_closeAnyway = true;
        QTimer::singleShot(0, this, &QWidget::close);
    });
    m_closeNote = note;
    note->show();
}

void CMainUI::ContinuePendingClose()
{
    if (!m_closePending)
        return;
    m_closePending = false;
    if (m_closeWaitTimer)
        m_closeWaitTimer->stop();
    if (m_closeNote)
        m_closeNote->deleteLater();
    QTimer::singleShot(0, this, &QWidget::close);
}

void CMainUI::resizeEvent(QResizeEvent* event)
{
    CMyWindowFrame::resizeEvent(event);
    if (g_firstResize) {
        g_firstResize = false;
        m_bodyHeight = GetBodyWidget() ? GetBodyWidget()->height() : 0;
        m_treeLib->resize(ScaledPixels(200), m_bodyHeight);
        m_showList->resize(ScaledPixels(724), m_bodyHeight);
    }
    m_toolBar->setFixedWidth(width());
}

void CMainUI::showEvent(QShowEvent* event)
{
    CMyWindowFrame::showEvent(event);
}

void CMainUI::hideEvent(QHideEvent* event)
{
    CMyWindowFrame::hideEvent(event);
}
