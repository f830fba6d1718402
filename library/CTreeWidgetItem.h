#pragma once

#include "IPlayQueueTrack.h"

#include <QString>
#include <QTreeWidgetItem>

struct MusicInfoRow;
struct MusicInfoListRow;

// One song of the library as a row of the track list. The row keeps only the
// song's identity and a few cached strings; everything else is read from the
// music database when needed. Exactly one row exists per song (owned by the
// library page through its track list); every list, the play queue and the
// recording page hold the same pointer.
//
// Thread contract: GUI thread only.
class CTreeWidgetItem : public QTreeWidgetItem, public IPlayQueueTrack
{
public:
    // Columns of the track list.
    enum Column {
        ColSpacer = 0,
        ColNotice = 1,   // notice icon; the playing mark goes here as well
        ColName = 2,
        ColTime = 3,
        ColArtist = 4,
        ColAlbum = 5,
        ColGenre = 6,
        ColDate = 7,
        ColPad = 8,
        ColRest = 9,
        ColumnCount = 10
    };

    // Adds the row as a top-level item of parent (which may be null) and
    // fills its cells from row (null: cells stay empty, see SetItemData).
    CTreeWidgetItem(int musicId, MusicInfoRow* row, QTreeWidget* parent);
    // The same row made from the lighter record the library reads when it
    // loads: `coverCount` candidates, of which coverPath is the chosen one.
    CTreeWidgetItem(const MusicInfoListRow& row, int coverCount, const QString& coverPath, QTreeWidget* parent);
    ~CTreeWidgetItem() override;

    // Sort rule: lower-cased text of the tree's sort column; the date column
    // compares year first, the time column by length.
    bool operator<(const QTreeWidgetItem& other) const override;
    // Drops the row's sort key when the text of its column changes, before
    // the list re-sorts the row.
    void setData(int column, int role, const QVariant& value) override;

    // What operator< compares for a text of a column: the text lower-cased
    // unit by unit, for the date column with its year (characters 6 to 9)
    // moved to the front, for the time column the length in seconds as
    // twelve digits (a text that is no length: '~' and the text, after every
    // length). Plain code-unit order of two keys is the sort order.
    static QString SortKeyOf(const QString& text, int column);
    // The same appended to out (many keys in one buffer).
    static void AppendSortKey(QString& out, const QString& text, int column);
    // This row's key of column (made once, kept until that cell changes).
    const QString& SortKey(int column) const;

    // Fills the cells from row (a copy is used; the caller keeps row).
    // Without a row the record is read from the database for list 3 only.
    void SetItemData(int listId, MusicInfoRow* row);

    // A new record filled from the database (with its cover candidates), or
    // null when the song is not stored. The caller deletes it.
    MusicInfoRow* GetMusicInfo() const override;

    int GetMusicId() const override { return m_musicId; }
    QString GetMusicPath() const { return m_musicPath; }
    QString GetCoverPath() const { return m_coverPath; }
    QString GetDateText() const { return m_dateText; }

    int GetDownloadStatus() const override { return m_downloadState; }
    void SetDownloadStatus(int state) { m_downloadState = state; }

    // Rows are never converted in place here; the play queue still asks.
    bool IsConverting() const { return false; }

    void SetDateText(const QString& text) { m_dateText = text; }
    // The song leaves "Recently Played": the kept date text goes, and the
    // date column shows the date added again (whichever list it showed).
    void ClearPlayDate();
    // Column 7 from the stored date text: the play date for list 3, the date
    // added otherwise. An empty date text leaves the column alone.
    void SetDateColumn(int listId);
    // Greys the row's texts and gives them note as a tool tip while work on
    // the song's file runs (a tag write); an empty note ends that.
    void SetBusyNote(const QString& note);
    bool IsBusy() const { return m_busy; }
    // Shows (true) or clears the "file missing" icon in column 1.
    void SetNoticeIcon(bool show);
    void SetNoticeColumnIcon(const QIcon& icon) override;

    // The row behind a play-queue entry (every entry is a row), or null.
    static CTreeWidgetItem* FromQueue(IPlayQueueTrack* entry);
    static QList<IPlayQueueTrack*> ToQueue(const QList<CTreeWidgetItem*>& rows);

    static QString DefaultCoverPath();
    // What the Genre column shows for a stored genre: its first name, or
    // "Other" when it has none.
    static QString ShownGenre(const QString& genre);

private:
    // The cells and paths of a song, whichever record they come from.
    void SetCells(const QString& title, const QString& time, const QString& artist, const QString& album,
                  const QString& genre, const QString& musicPath, bool hasCover, const QString& coverPath);
    // Column 7 for listId and the kept date text, from DateAdded.
    void SetDateCells(int listId, const QString& date);

    int m_musicId;
    int m_listKind = 0;
    int m_downloadState = TWM_DOWNLOAD_NONE;
    bool m_busy = false;
    QString m_coverPath;
    QString m_musicPath;
    QString m_dateText;   // full DateAdded when a play date is appended, else empty

    // The sort key of one column, made when the list first compares the row
    // by that column and dropped when that cell changes: sorting 100,000 rows
    // compares about 1.7 million times, and lowering both texts at every
    // comparison was a third of a start. Mutable: a cache read by the const
    // comparison; GUI thread only, like the row.
    mutable QString m_sortKey;
    mutable int m_sortKeyColumn = -1;   // -1: no key made
};
