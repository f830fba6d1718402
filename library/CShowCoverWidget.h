#pragma once

#include "MusicRecords.h"

#include <QString>
#include <QWidget>

class CCoverWidget;
class CTreeWidgetItem;
class QLabel;
class QMenu;
class QVBoxLayout;

// One card of the recording page's strip: the cover tile, the title and the
// artist of a song, with its context menu. A card without data is a
// placeholder (empty slot).
//
// Thread contract: GUI thread only.
class CShowCoverWidget : public QWidget
{
    Q_OBJECT
public:
    CShowCoverWidget(QWidget* parent, int cornerOverlay);

    // Fills the card: song data, chosen candidate and the file it came from.
    void SetMusicInfo(const RecordMusicInfo& info, int imageIndex, const QString& musicPath);
    void RetranslateUi(const RecordMusicInfo& info, const QString& musicPath);
    // The translated "Title" and "Artist".
    void ResetTexts();

    // A candidate below the count becomes the chosen cover and the picture.
    void SetImageIndex(int index);
    int GetImageIndex() const { return m_imageIndex; }
    void SetMusicPath(const QString& path) { m_musicPath = path; }
    QString MusicPath() const { return m_musicPath; }
    // Also makes the tile selectable or not.
    void SetHasData(bool hasData);
    bool HasData() const { return m_hasData; }
    void SetSelected(bool selected);
    bool IsSelected() const;
    bool FileExists() const;
    // The row the card was last filled from (borrowed; null for a
    // placeholder). Actions do not use it: they go through the page's slot
    // mapping, and the page checks the two agree.
    void SetItem(CTreeWidgetItem* item) { m_item = item; }
    CTreeWidgetItem* Item() const { return m_item; }

    const RecordMusicInfo& Info() const { return m_info; }
    QString CoverPath() const { return m_coverPath; }
    QString TitleText() const;
    QString ArtistText() const;
    CCoverWidget* Tile() const { return m_tile; }
    QMenu* Menu() const { return m_menu; }
    // Prepares the menu as a right click would, without running it.
    bool PrepareMenu();

    // Shortens text to the card's width with "...", measured with the title
    // label's font.
    static QString ShortenText(QLabel* label, const QString& text);

signals:
    void Selected(CShowCoverWidget* card);
    void CoverPressed(CShowCoverWidget* card);
    void ButCliked(CShowCoverWidget* card);
    void PlayActionTriggered(CShowCoverWidget* card);
    void EditActionTriggered(CShowCoverWidget* card);
    void DeleteActionTriggered(CShowCoverWidget* card);
    void FinderActionTriggered(CShowCoverWidget* card);
    void ContextMenuRequested();

public slots:
    void Select();
    void ButClik();
    void MousePressed();
    void customContextMenuRequested(const QPoint pos);
    void Delete();
    void Play();
    void Edit();
    void Finder();
    void CoverDoubleClick();

private:
    void ShowTitle(const RecordMusicInfo& info, const QString& musicPath);

    CCoverWidget* m_tile;
    RecordMusicInfo m_info;
    QString m_coverPath;
    bool m_hasData = false;
    int m_imageIndex = -1;
    QLabel* m_titleLabel;
    QLabel* m_artistLabel;
    QVBoxLayout* m_layout;
    QMenu* m_menu;
    QAction* m_playAction;
    QAction* m_editAction;
    QAction* m_deleteAction;
    QAction* m_finderAction;
    QString m_musicPath;
    CTreeWidgetItem* m_item = nullptr;
};
