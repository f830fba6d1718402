#pragma once

#include "MusicRecords.h"

#include <QList>
#include <QStackedWidget>
#include <QString>

class CCoverWidget;
class QFrame;
class QGridLayout;
class QLabel;
class QMimeData;
class QScrollArea;

// The cover area of the tag editor. It edits a working copy of the song's
// record: up to five cover candidates and the chosen one. Page 0 shows one
// picture (the only candidate, or an invitation to drag artwork here); page 1
// a scrollable grid of tiles, of which the chosen one is selected. Pictures
// come from the editor's Add button (AppendCover) and from files dropped on
// the widget. The editor reads the working copy back when the user saves.
// GUI thread only.
class CEditCoverWidget : public QStackedWidget
{
    Q_OBJECT
public:
    // Copies row (which the widget never changes) and shows its covers.
    CEditCoverWidget(const MusicInfoRow* row, QWidget* parent);
    ~CEditCoverWidget() override;

    // Adds a candidate unless five are held, the file is no picture this
    // widget takes, or its path does not fit a cover field. Does not refresh.
    bool AppendCover(const QString& path);
    // Removes the chosen candidate; the choice moves to the candidate before
    // it when it was the last. 0 when there was none, else 1. Does not refresh.
    int RemoveSelectedCover();
    // Rebuilds the shown page from the working copy.
    void RefreshCovers();
    // A copy of the working copy.
    MusicInfoRow GetMusicInfo() const;
    int CoverCount() const;

    // A JPEG, PNG or BMP picture that decodes, named with the extension in
    // lower or upper case (".jpg", ".PNG"...; not mixed case).
    static bool IsSupportedImage(const QString& path);

    // What the pages show, for the editor and its tests.
    QString ShownPicture() const { return m_shownPicture; }
    const QList<CCoverWidget*>& Tiles() const { return m_tiles; }
    QGridLayout* TileGrid() const { return m_grid; }
    QFrame* TileFrame() const { return m_inner; }

    static QString DragHerePicture();

signals:
    // After a drop that added at least one candidate.
    void CoverAdded();

public slots:
    // A tile was clicked: it becomes the chosen cover.
    void SelecetChange(CCoverWidget* tile);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The local files among the dragged URLs, in order (other URLs give none).
    static QStringList DroppedFiles(const QMimeData* data);
    void ShowSinglePicture(const QString& path);

    MusicInfoRow m_info;
    QLabel* m_single = nullptr;          // page 0
    QScrollArea* m_scroll = nullptr;     // page 1
    QFrame* m_inner = nullptr;           // the scroll area's contents
    QGridLayout* m_grid = nullptr;       // rebuilt on each refresh
    QList<CCoverWidget*> m_tiles;        // in candidate order
    QString m_shownPicture;
};
