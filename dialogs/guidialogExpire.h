#pragma once

#include "CMyDialogFrame.h"

class QCheckBox;
class QLabel;
class QPushButton;

// Notice shown after a recording stops: song data cannot be fetched while
// recording, and how to add tags by hand. Its "Do not show this again" state
// lives under "PortInfo/state" of the settings file (the Qt::CheckState
// value), read and written by this dialog alone.
class guidialogExpire : public CMyDialogFrame
{
    Q_OBJECT
public:
    // `flags` is not used.
    guidialogExpire(QWidget* parent, int flags = 0);
    ~guidialogExpire() override;

    // The stored state read at construction (0: show the notice).
    int GetState() const { return m_state; }

    QCheckBox* CheckBox() const { return m_checkBox; }
    QPushButton* OkButton() const { return m_button; }

public slots:
    void onCheckBoxStateChanged(int state);

protected:
    void changeEvent(QEvent* event) override;

private:
    void RetranslateUi();

    QLabel* m_message1 = nullptr;
    QLabel* m_message2 = nullptr;
    QPushButton* m_button = nullptr;
    QCheckBox* m_checkBox = nullptr;
    int m_state = 0;
};
