#include "CSelecetCoverWidget.h"

#include "CCoverWidget.h"
#include "InterfaceScale.h"
#include "SongRecordFields.h"

#include <QFrame>
#include <QHBoxLayout>

CSelecetCoverWidget::CSelecetCoverWidget(int widgetId, QWidget* parent)
    : CTransPopupWidget(parent), m_widgetId(widgetId)
{
    m_centre = new QFrame(this);
    m_centre->setStyleSheet(QStringLiteral("QFrame{border-image: url(:/prefix/res/expand_background_center.png);}"));
    m_centreLayout = new QHBoxLayout(m_centre);
    m_centreLayout->setContentsMargins(0, 0, 0, 0);
    m_centreLayout->setSpacing(0);
    m_left = new QFrame(this);
    m_left->setFixedSize(ScaledPixels(20), ScaledPixels(128));
    m_left->setStyleSheet(QStringLiteral("QFrame{border-image: url(:/prefix/res/expand_background_left.png);}"));
    m_right = new QFrame(this);
    m_right->setFixedSize(ScaledPixels(20), ScaledPixels(128));
    m_right->setStyleSheet(QStringLiteral("QFrame{border-image: url(:/prefix/res/expand_background_right.png);}"));
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addWidget(m_left);
    m_layout->addWidget(m_centre);
    m_layout->addWidget(m_right);
    connect(this, &CTransPopupWidget::aboutToHide, this, &QWidget::hide);
    setFocus();
}

void CSelecetCoverWidget::SetCovers(const RecordMusicInfo& info, int chosen)
{
    for (CCoverWidget* tile : m_tiles) {
        m_centreLayout->removeWidget(tile);
        delete tile;
    }
    m_tiles.clear();
    while (QLayoutItem* rest = m_centreLayout->takeAt(0))
        delete rest;

    const int n = CoverCandidateCount(info);
    const int centreWidth = 108 * n - ScaledPixels(20);
    m_centre->setFixedSize(qMax(0, centreWidth), ScaledPixels(128));
    setFixedSize(qMax(0, centreWidth) + ScaledPixels(40), ScaledPixels(128));
    for (int i = 0; i < n; ++i) {
        auto* tile = new CCoverWidget(ScaledPixels(88), ScaledPixels(88), false, m_centre);
        tile->SetSelectable(true);
        tile->SetImagePath(CoverPathAt(info, i));
        connect(tile, &CCoverWidget::Selected, this, &CSelecetCoverWidget::SelecetChange);
        m_centreLayout->addWidget(tile);
        if (i + 1 < n)
            m_centreLayout->addSpacing(ScaledPixels(20));
        m_tiles.append(tile);
    }
    if (chosen >= 0 && chosen < m_tiles.size())
        m_tiles.at(chosen)->SetSelected(true);
}

void CSelecetCoverWidget::SelecetChange(CCoverWidget* tile)
{
    const int index = m_tiles.indexOf(tile);
    if (index < 0)
        return;
    if (tile->IsSelected()) {
        hide();
        return;
    }
    for (CCoverWidget* other : m_tiles)
        other->SetSelected(false);
    tile->SetSelected(true);
    emit Selected(index, m_widgetId);
    hide();
}
