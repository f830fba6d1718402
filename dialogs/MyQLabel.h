#pragma once

#include <QLabel>

// A label that reacts to the left mouse button by opening the bug-report
// dialog ("contact us." of the microphone notice).
class MyQLabel : public QLabel
{
    Q_OBJECT
public:
    MyQLabel(const QString& text, QWidget* parent);
    ~MyQLabel() override;

signals:
    void clicked();

public slots:
    void shwBugReport();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
