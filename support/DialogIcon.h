#pragma once

#include <QWidget>

// The information icon of the update dialog, painted from the style.
class DialogIcon : public QWidget
{
    Q_OBJECT
public:
    explicit DialogIcon(QWidget* parent = nullptr);
    ~DialogIcon() override;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
