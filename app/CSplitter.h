#pragma once

#include <QRect>
#include <QSplitter>

// The library panel's splitter; paints the side panel's background picture
// into the rectangle the side panel reports.
class CSplitter : public QSplitter {
    Q_OBJECT
public:
    explicit CSplitter(QWidget* parent);
    ~CSplitter() override;

    QRect StoredRect() const { return m_rect; }

public slots:
    // Rectangles lower than 464 design pixels are ignored.
    void setRect(QRect rect);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect m_rect;
};
