#include "MyQLabel.h"

#include "DialogSeams.h"

#include <QMouseEvent>

MyQLabel::MyQLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    setCursor(Qt::PointingHandCursor);
    connect(this, &MyQLabel::clicked, this, &MyQLabel::shwBugReport);
}

MyQLabel::~MyQLabel() = default;

void MyQLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked();
}

void MyQLabel::shwBugReport()
{
    OpenBugReport();
}
