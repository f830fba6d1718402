#pragma once

#include "CTransPopupWidget.h"
#include "MusicRecords.h"

#include <QList>

class CCoverWidget;
class QFrame;
class QHBoxLayout;

// The cover chooser of a recording card: one tile per cover candidate of the
// song; a click on another tile chooses it. Hides when it loses the focus.
//
// Thread contract: GUI thread only.
class CSelecetCoverWidget : public CTransPopupWidget
{
    Q_OBJECT
public:
    CSelecetCoverWidget(int widgetId, QWidget* parent);

    void SetCovers(const RecordMusicInfo& info, int chosen);
    int WidgetId() const { return m_widgetId; }
    const QList<CCoverWidget*>& Tiles() const { return m_tiles; }

signals:
    void Selected(int imageIndex, int widgetId);
    void FocusOuted();

public slots:
    void SelecetChange(CCoverWidget* tile);

private:
    QList<CCoverWidget*> m_tiles;
    QHBoxLayout* m_centreLayout;
    QFrame* m_centre;
    QFrame* m_left;
    QFrame* m_right;
    QHBoxLayout* m_layout;
    int m_widgetId;
};
