#pragma once

#include "CMyDialogFrame.h"

class QLabel;

// Notice raised when the engine reports that the output folder's disk is
// short of space; the frame's close button ends it.
class DiskNoEnoughDialog : public CMyDialogFrame
{
    Q_OBJECT
public:
    // `flags` is not used.
    DiskNoEnoughDialog(QWidget* parent, int flags = 0);
    ~DiskNoEnoughDialog() override;

    QLabel* MessageLabel() const { return m_message; }

private:
    QLabel* m_message = nullptr;
};
