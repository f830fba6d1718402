#pragma once

#include <QString>
#include <QTreeWidgetItem>

struct MusicInfoRow;

// Song-data download state of a row. The library itself only sets None,
// Succeeded and Failed; Waiting and Downloading exist for the views that
// show a pending download.
enum TWMDownloadTaskState {
    TWM_DOWNLOAD_NONE = 0,
    TWM_DOWNLOAD_SUCCEEDED = 1,
    TWM_DOWNLOAD_FAILED = 2,
    TWM_DOWNLOAD_WAITING = 3,
    TWM_DOWNLOAD_DOWNLOADING = 4,
};

// One song of the library as a row of the track list. The row keeps only the
// song's identity and a few cached strings; everything else is read from the
// music database when needed. Exactly one row exists per song (owned by the
// library page through its track list); every list, the play queue and the
// recording page hold the same pointer.
//
// Thread contract: GUI thread only.
class CTreeWidgetItem : public QTreeWidgetItem
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
    ~CTreeWidgetItem() override;

    // Sort rule: lower-cased text of the tree's sort column; the date column
    // compares year first.
    bool operator<(const QTreeWidgetItem& other) const override;

    // Fills the cells from row (a copy is used; the caller keeps row).
    // Without a row the record is read from the database for list 3 only.
    void SetItemData(int listId, MusicInfoRow* row);

    // A new record filled from the database (with its cover candidates), or
    // null when the song is not stored. The caller deletes it.
    MusicInfoRow* GetMusicInfo() const;

    int GetMusicId() const { return m_musicId; }
    QString GetMusicPath() const { return m_musicPath; }
    QString GetCoverPath() const { return m_coverPath; }
    QString GetDateText() const { return m_dateText; }

    int GetDownloadStatus() const { return m_downloadState; }
    void SetDownloadStatus(int state) { m_downloadState = state; }

    // Rows are never converted in place here; the play queue still asks.
    bool IsConverting() const { return false; }

    void SetDateText(const QString& text) { m_dateText = text; }
    // Column 7 from the stored date text: the play date for list 3, the date
    // added otherwise. An empty date text leaves the column alone.
    void SetDateColumn(int listId);
    // Shows (true) or clears the "file missing" icon in column 1.
    void SetNoticeIcon(bool show);

    static QString DefaultCoverPath();

private:
    int m_musicId;
    int m_listKind = 0;
    int m_downloadState = TWM_DOWNLOAD_NONE;
    QString m_coverPath;
    QString m_musicPath;
    QString m_dateText;   // full DateAdded when a play date is appended, else empty
};
