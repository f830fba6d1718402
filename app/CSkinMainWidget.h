#pragma once

#include "CBackgroundCache.h"

#include <QWidget>

// The library panel's background: the skin's picture behind the side panel
// and the library page.
class CSkinMainWidget : public QWidget {
    Q_OBJECT
public:
    explicit CSkinMainWidget(QWidget* parent);
    ~CSkinMainWidget() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CBackgroundCache m_background;
};
