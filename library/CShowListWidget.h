#pragma once

#include "CBackgroundCache.h"
#include "CStartupSongScan.h"
#include "MusicDatabase.h"
#include "MusicRecords.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QVector>
#include <QWidget>

#include <atomic>
#include <memory>
#include <vector>

class CCreateFactoryThread;
struct DialogButtonInfo;
class CFilterEdit;
class CGraphicsView;
class CListTreeItem;
class CMissingFileScan;
class CMusicInfoTreeWidget;
class CTagWriter;
class CTreeWidgetItem;
class IRecordStateSource;
class QAction;
class QHBoxLayout;
class QMenu;
class QSplitter;
class QThread;
class QToolButton;
class QTreeWidgetItem;
class QVBoxLayout;

// The library page: the songs of one list at a time in the track list, with
// the cover flow above it and the filter box in the tool row. It owns one row
// per song (through the track list) and, per list, a table of the rows that
// belong to it: lists 1 to 3 keyed by MusicId, play lists (4 and up) by the
// ItemId of the song's MusicItem row. The tables of lists 1, 2 and 3 always
// exist, also when loading failed.
// Thread contract: GUI thread only (the database functions lock themselves).
class CShowListWidget : public QWidget
{
    Q_OBJECT
public:
    using ListTable = QHash<int, CTreeWidgetItem*>;

    CShowListWidget(const QList<CListTreeItem*>& lists, IRecordStateSource* recordState,
                    QWidget* parent);
    ~CShowListWidget() override;

    // The ListId on show; 0 before the first ShowList. Written only by ShowList.
    int GetShownListId() const { return m_shownListId; }

    // Non-zero when the shown list changed.
    int ShowList(int listId);

    void AddList(CListTreeItem* entry);
    void RenameListAction(int listId, const QString& name);
    int GetActionListId(QAction* action) const;
    QAction* GetListAction(int listId) const;
    bool HasListAction(int listId) const;

    int GetListItemCount(int listId) const;
    // Null for a list without a table.
    const ListTable* GetListTable(int listId) const;
    bool IsItemInList(int listId, CTreeWidgetItem* row) const;
    QList<CTreeWidgetItem*> GetItemsByMusicId(const QList<int>& ids) const;
    int GetVisibleCount() const;
    QList<CTreeWidgetItem*> GetVisibleItems() const;
    CTreeWidgetItem* GetCurrentItem() const;
    QList<CTreeWidgetItem*> GetSelectedOrAllItems(bool wanted) const;

    // Recording rows.
    enum NewRecordResult { kRecordCreated = 0, kLibraryFull = -1, kLibraryNotWritable = -2 };
    // The row of a song that starts (path may be null). Without a free
    // MusicId or when the row cannot be stored, no row is made and the caller
    // tells the user why (DB_LastErrorText for the second case).
    int CreateNewRecord(const char* path);
    void SaveNewRecord();
    // The row of the song being recorded (null when none). It stays outside
    // the track list until the song ends.
    CTreeWidgetItem* RecordingRow() const { return m_recordingRow; }
    // Hands the row of the song being recorded over and forgets it: the
    // caller owns it from here (finishes or deletes it), and recognition data
    // that arrives later reaches no song. Null when there was none.
    CTreeWidgetItem* TakeRecordingRow();
    // Does not take ownership of info (null: nothing was recognised).
    void SetNewRecordMusicInfo(RecordMusicInfo* info);
    // Merges what recognition found for the song of `row` (a song being
    // recorded or one still being finished) into its record; null info: the
    // song was not recognised. Does not take ownership of info.
    void ApplyRecognition(CTreeWidgetItem* row, const RecordMusicInfo* info);
    // Tells the recording views what recognition found for the song they wait for.
    void ShowRecognition(const RecordMusicInfo* info) { emit MusicInfoToUiSignal(info); }
    // Shows the finished song of `row` in lists 1 and 2. A file that gets a
    // new name keeps it only once its row is stored; false when the row could
    // not be stored (the file then keeps its old name).
    bool FinishRecord(CTreeWidgetItem* row);
    bool FinishNewRecord(int) { return FinishRecord(m_recordingRow); }
    // Uses no page state: the recording page writes a card's tags with it too.
    // Writes on the calling thread; the tag editor's writes go through
    // TagWriter() instead, off the GUI thread.
    static void WriteMusicTags(MusicInfoRow* row);
    // Deletes a cover picture only when no CoverInfo row names it any more and
    // it lies directly in the program's pictures folder (never a user's own
    // picture). True when the file was removed.
    static bool DeleteCoverFileIfUnused(const QString& path);
    // Writes the edited songs' tags on a worker; their rows look busy meanwhile.
    CTagWriter* TagWriter() const { return m_tagWriter; }
    // The start's scan of the songs' files (lengths the library lacks, songs
    // it should hold), started with the page.
    CStartupSongScan* SongScan() const { return m_songScan; }

    // Song and list operations. Each int result is 1 when the playing entry
    // of the play queue was among the removed rows, else 0.
    // Deletes one song from the library (every list, the play queue, the
    // clipboard, its file, record and covers); the row is destroyed.
    int DeleteMusic(CTreeWidgetItem* row);
    // Asks first while Delete_Type is 0 (0 when declined). Lists 1 and 2
    // delete the songs themselves, other lists only their entries.
    int DeleteSelectedMusic(const QList<CTreeWidgetItem*>& rows, int listId);
    int DeleteSelectedMusic(const QList<QTreeWidgetItem*>& rows, int listId);
    int RemoveItemFromList(CTreeWidgetItem* row, int listId);
    // Asks first, naming the list (whatever was ticked for songs); -1 when
    // the user declined. The list's table is gone afterwards.
    int ClearMusicList(int listId);
    // List 3 marks the song played now; play lists get a MusicItem row.
    // The row added, or null when nothing was added.
    CTreeWidgetItem* AddItemToList(CTreeWidgetItem* row, int listId);
    // AddItemToList for many rows in one pass and one transaction (Add to
    // playlist, a drop, Paste): the rows added, each once, in their order;
    // none when the library refused them.
    QList<CTreeWidgetItem*> AddItemsToList(const QList<CTreeWidgetItem*>& rows, int listId);
    // RemoveItemFromList for many rows of one list in one pass.
    int RemoveItemsFromList(const QList<CTreeWidgetItem*>& rows, int listId);
    // Drops the list's "Add to playlist" action.
    void DeleteAction(int listId);

    void RetranslateUi();

    // Waits until the files of earlier deletions are removed (they go on a
    // worker); false when that took longer than timeoutMs.
    bool WaitForFileRemovals(int timeoutMs = 30000);
    // Waits until the context menu's check of the selected songs' files has
    // ended and been shown; false when that took longer than timeoutMs.
    bool WaitForFileCheck(int timeoutMs = 30000);

    // Widgets the main window connects to.
    CMusicInfoTreeWidget* TrackList() const { return m_trackList; }
    CGraphicsView* CoverFlow() const { return m_coverFlow; }
    CFilterEdit* FilterBox() const { return m_filter; }
    QMenu* ContextMenu() const { return m_menu; }
    QMenu* PlayListMenu() const { return m_playListMenu; }
    QAction* PlayAction() const { return m_playAction; }
    QAction* EditTagsAction() const { return m_editAction; }
    QAction* ITunesAction() const { return m_iTunesAction; }
    QAction* SelectAllAction() const { return m_selectAllAction; }
    QAction* UnselectAllAction() const { return m_unselectAllAction; }
    QAction* ShowInFolderAction() const { return m_showFolderAction; }
    QAction* DeleteAction() const { return m_deleteAction; }
    QToolButton* ListButton() const { return m_listButton; }
    QToolButton* CoverFlowButton() const { return m_coverButton; }

    // The rows the main window's Copy and Cut hold for Paste. A song deleted
    // or removed from its list meanwhile leaves them.
    void HoldForPaste(const QList<CTreeWidgetItem*>& rows) { m_heldForPaste = rows; }
    const QList<CTreeWidgetItem*>& HeldForPaste() const { return m_heldForPaste; }
    void ReleaseHeldForPaste() { m_heldForPaste.clear(); }

signals:
    void FilterListToNull(bool empty);
    void MusicInOtherListDeleted(int listId, int count);
    void MusicItemInfoChanged(CTreeWidgetItem* item);
    void MusicItemDeleted(CTreeWidgetItem* item);
    void MusicInfoToUiSignal(const RecordMusicInfo* info);
    void AutoDownloadFinished(CTreeWidgetItem* item);
    // A list got songs the user did not add (songs found at start).
    void ListCountChanged(int listId, int count);

public slots:
    void customContextMenuRequested(const QPoint& pos);
    void AddView();
    void RemoveView();
    void selectAll();
    void clearSelection();
    void sectionClick(int column);
    void Filter(int pType, QString pText);
    void UpdataPicView(bool playing, bool scroll = false);
    void TreeSectionResize(int column, int oldSize, int newSize);
    void EditTagsMusic();
    void EditTagsMusic(CTreeWidgetItem* row);
    void ShowMusicFileInFinder();

protected:
    void paintEvent(QPaintEvent* event) override;
    // Sets up the context menu for the rows at pos; false when no row is there.
    bool PrepareContextMenu(const QPoint& pos);
    virtual void PopupMenu(const QPoint& globalPos);
    // Asks the user with the question dialog; returns the clicked standard
    // button and, when checked is given, the "Do not show this again" box.
    // Tests replace it so no modal dialog runs.
    virtual int AskQuestion(const QString& text, const QList<DialogButtonInfo>& buttons,
                            bool checkBox = false, bool* checked = nullptr);

private:
    // The rows of the shown list as a set, kept from keystroke to keystroke
    // while that list's table stays unchanged (defined with the filter).
    struct ShownRows;
    ShownRows& ShownRowsOf(int listId);
    // Whether each top-level row of the track list, by row number, belongs to
    // the list.
    const std::vector<char>& ShownRowNumbers(int listId);
    std::unique_ptr<ShownRows> m_shownRows;

    void BuildContextMenu();
    // The menu's entries for a selection with (found) or without a song
    // whose file exists.
    void SetMenuFileState(bool found);
    // Answers of the file check the menu started.
    void MarkMissingFiles(const QVector<int>& musicIds);
    void MenuFilesChecked(bool found, int musicId);
    CMissingFileScan* m_fileScan = nullptr;
    bool m_menuOneSong = false;    // one song was selected when the menu was asked for
    int m_menuListId = 0;          // the list shown then
    // The filter box back to its default text ("Filter") and its four types.
    void ResetFilterBox();
    void LoadLists();
    ListTable* TableOf(int listId) const;
    void ResetCoverFlowIfShown();
    void MergeCovers(MusicInfoRow* record, const RecordMusicInfo* info);
    // Takes row out of the play queue wherever it stands; true when it was
    // the current entry.
    static bool RemoveFromPlayQueue(CTreeWidgetItem* row);
    // The same for many rows in one pass; true when the current entry went.
    static bool RemoveFromPlayQueue(const QSet<const QTreeWidgetItem*>& rows);
    // Deletes the songs of rows from the library in one pass: one committed
    // transaction for the rows, entries and covers (it also notes the files
    // left unused), every table, the clipboard, the queue and the track list
    // once, then the files. The rows are destroyed. 1 when the playing entry
    // went.
    int DeleteSongs(const QList<CTreeWidgetItem*>& rows);
    // Takes the leaving rows out of those held for Paste.
    void DropHeldForPaste(const QSet<const QTreeWidgetItem*>& leaving);
    // Removes the files of a committed deletion on a worker, then confirms
    // them.
    void RemoveFiles(std::vector<PendingFileRemoval> removals);
    // Ends the workers, leaving what they did not reach noted for the next
    // start (the page's end).
    void StopFileRemovals();
    // Removes a picture only when it is a file directly in picturesFolder
    // (canonical). True when it was removed.
    static bool RemoveProgramPicture(const QString& path, const QString& picturesFolder);
    // Removes the files of a deletion the program did not live to finish.
    void FinishPendingRemovals();
    bool ConfirmDelete(const QString& text);
    // A song's tag write started (busy) or ended: its row shows it.
    void MarkTagWriting(int musicId, bool busy);
    void TagWriteFinished(const QString& path, int outcome);
    // The scan's results: lengths into the rows, found songs into the
    // library and lists 1 and 2 (what the library refuses is noted again).
    void ShowStoredLengths(const QVector<QPair<int, QString>>& lengths);
    void AddFoundSongs(const QVector<CStartupSongScan::FoundSong>& songs);

    // The row of the song being recorded, made by CreateNewRecord; the
    // page never deletes it: TakeRecordingRow hands it to the main window.
    CTreeWidgetItem* m_recordingRow = nullptr;
    QList<CTreeWidgetItem*> m_heldForPaste;
    QWidget* m_tool = nullptr;
    QHBoxLayout* m_toolLayout = nullptr;
    QToolButton* m_listButton = nullptr;
    QToolButton* m_coverButton = nullptr;
    CFilterEdit* m_filter = nullptr;
    QSplitter* m_splitter = nullptr;
    CGraphicsView* m_coverFlow = nullptr;
    QHash<int, ListTable*> m_tables;
    CMusicInfoTreeWidget* m_trackList = nullptr;
    QVBoxLayout* m_layout = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_playAction = nullptr;
    QAction* m_editAction = nullptr;
    QMenu* m_playListMenu = nullptr;
    QList<QPair<int, QAction*>> m_listActions;
    QAction* m_iTunesAction = nullptr;
    QAction* m_selectAllAction = nullptr;
    QAction* m_unselectAllAction = nullptr;
    QAction* m_showFolderAction = nullptr;
    QAction* m_deleteAction = nullptr;
    CCreateFactoryThread* m_picturesThread = nullptr;
    CTagWriter* m_tagWriter = nullptr;
    CStartupSongScan* m_songScan = nullptr;
    QList<CListTreeItem*> m_lists;
    IRecordStateSource* m_recordState = nullptr;
    // The two pictures under the tool row and the list, and where they lie.
    CBackgroundCache m_background;
    // Workers removing the files of deletions (GUI thread only); the flag
    // tells them to stop early (set by the GUI thread, read by them).
    QList<QThread*> m_removers;
    std::shared_ptr<std::atomic<bool>> m_stopRemovals = std::make_shared<std::atomic<bool>>(false);
    QRect m_backgroundList;
    QRect m_backgroundTool;
    int m_shownListId = 0;
};
