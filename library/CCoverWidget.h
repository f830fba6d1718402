#pragma once

#include <QDateTime>
#include <QFrame>
#include <QImage>
#include <QSize>

class QBoxLayout;
class QToolButton;

// Fixed-size tile that shows one cover image, checked against its file on
// every paint (a changed file shows at once): curved corners, or square for
// the small standard heights (88 and 64 design pixels) and the placeholder
// artwork.
class CCoverWidget : public QFrame
{
    Q_OBJECT
public:
    CCoverWidget(int width, int height, bool cornerOverlay, QWidget* parent = nullptr);

    void SetImagePath(const QString& path);
    QString ImagePath() const { return m_imagePath; }
    void SetText(const QString& text);
    void SetButtonNumber(int number);
    void SetButtonVisible(bool visible);
    bool IsButtonVisible() const { return m_buttonShown; }
    void SetCornerOverlay(bool on);
    void SetSelectable(bool selectable) { m_selectable = selectable; }
    bool IsSelectable() const { return m_selectable; }
    void SetSelected(bool selected);
    bool IsSelected() const { return m_selected; }
    QToolButton* ExpandButton() const { return m_button; }
    // Whether the image is drawn with square corners.
    bool DrawsPlain() const;

signals:
    void Selected(CCoverWidget* tile);
    void DoubleClicked(CCoverWidget* tile);
    void MousePressed();

public slots:
    void ButClick();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    virtual bool HoverEvent(QEvent* event);

private:
    QSize m_size;
    QToolButton* m_button = nullptr;
    QBoxLayout* m_layout = nullptr;
    bool m_selectable = false;
    bool m_selected = false;
    bool m_buttonShown = false;
    bool m_cornerOverlay;
    QString m_text;
    QString m_imagePath;
    // The picture as last read and scaled to the tile, with what identified
    // the file then: a card strip repaints every tile at each animation
    // frame, and decoding and smooth-scaling the file each time stalls it.
    QString m_cachedPath;
    QDateTime m_cachedModified;
    qint64 m_cachedBytes = -1;
    QImage m_cachedImage;
};
