#include "CRecordingWidget.h"

#include "CShowDownloadingView.h"
#include "InterfaceScale.h"

#include <QLabel>
#include <QScrollBar>
#include <QTimer>

// Interim body: the page's interface, with the strip still to come.
CRecordingWidget::CRecordingWidget(QWidget* parent) : QWidget(parent)
{
    m_recordLabel = new QLabel(this);
    m_recordTimer = new QTimer(this);
    m_downloadingView = new CShowDownloadingView(false, m_recordLabel);
    m_scrollBar = new QScrollBar(Qt::Horizontal, this);
    m_scrollBar->hide();
}
CRecordingWidget::~CRecordingWidget() { qDeleteAll(m_cards); }
void CRecordingWidget::AddAnimItem(int kind, CTreeWidgetItem* item) { m_cards.append(new AnimItem{kind, item}); }
QList<CTreeWidgetItem*> CRecordingWidget::GetAllItems() const
{
    QList<CTreeWidgetItem*> out;
    for (AnimItem* a : m_cards)
        out.append(a->item);
    return out;
}
void CRecordingWidget::StartRecordingAnimation() {}
void CRecordingWidget::StopRecordingAnimation() {}
void CRecordingWidget::RetranslateUi() {}
int CRecordingWidget::CardIndexOfSlot(int) const { return -1; }
CTreeWidgetItem* CRecordingWidget::ItemOfSlot(int) const { return nullptr; }
void CRecordingWidget::FinishAnimation() {}
bool CRecordingWidget::IsRecordingAnimationRunning() const { return false; }
QString CRecordingWidget::CheckInvariant() const { return QString(); }
void CRecordingWidget::AnimFinshed() {}
void CRecordingWidget::ChangeSelected(CShowCoverWidget*) {}
void CRecordingWidget::ShowSelecetWidget(CShowCoverWidget*) {}
void CRecordingWidget::CoverSelecetChange(int, int) {}
void CRecordingWidget::ReflashItem(CTreeWidgetItem*) {}
void CRecordingWidget::RemoveItem(CTreeWidgetItem* pItem)
{
    for (int i = 0; i < m_cards.size(); ++i)
        if (m_cards[i]->item == pItem) {
            delete m_cards.takeAt(i);
            return;
        }
}
void CRecordingWidget::CoverListPressed(CShowCoverWidget*) {}
void CRecordingWidget::DoubleClickPlay(CShowCoverWidget*) {}
void CRecordingWidget::DeleteCoverWidget(CShowCoverWidget*) {}
void CRecordingWidget::ShowMusicFileInFinder(CShowCoverWidget*) {}
void CRecordingWidget::EditCoverWidget(CShowCoverWidget*) {}
void CRecordingWidget::ScrollValueChange(int) {}
void CRecordingWidget::MouseRelease() {}
void CRecordingWidget::RecordingAnimation() {}
void CRecordingWidget::MusicInfoToUiSlot(const RecordMusicInfo*) {}
void CRecordingWidget::AutoDownloadFinish(CTreeWidgetItem*) {}
bool CRecordingWidget::event(QEvent* e) { return QWidget::event(e); }
void CRecordingWidget::resizeEvent(QResizeEvent* e) { QWidget::resizeEvent(e); }
void CRecordingWidget::paintEvent(QPaintEvent* e) { QWidget::paintEvent(e); }
void CRecordingWidget::enterEvent(QEvent* e) { QWidget::enterEvent(e); }
void CRecordingWidget::leaveEvent(QEvent* e) { QWidget::leaveEvent(e); }
void CRecordingWidget::mousePressEvent(QMouseEvent* e) { QWidget::mousePressEvent(e); }
void CRecordingWidget::mouseMoveEvent(QMouseEvent* e) { QWidget::mouseMoveEvent(e); }
void CRecordingWidget::mouseReleaseEvent(QMouseEvent* e) { QWidget::mouseReleaseEvent(e); }
void CRecordingWidget::wheelEvent(QWheelEvent* e) { QWidget::wheelEvent(e); }
void CRecordingWidget::keyReleaseEvent(QKeyEvent* e) { QWidget::keyReleaseEvent(e); }
