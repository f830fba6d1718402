#pragma once

#include "CMyDialogFrame.h"
#include "DialogButtonInfo.h"

#include <QList>
#include <QString>

class QCheckBox;
class QDialogButtonBox;
class QGridLayout;
class QLabel;
class QTimer;

// The program's one message and confirmation box. exec() returns the
// StandardButton of the pressed button, 0 for Escape or closing.
// With the countdown, the computer is powered off (ShutdownComputer) when it
// reaches 0 unless the user answered first; any answer ends the countdown,
// and Escape or closing then counts as the Cancel button when there is one.
class CDeleteDialog : public CMyDialogFrame
{
    Q_OBJECT
public:
    CDeleteDialog(QString message, QList<DialogButtonInfo> buttons, QWidget* parent = nullptr,
                  bool doNotShowAgain = false, bool shutdownCountdown = false);
    ~CDeleteDialog() override;

    bool IsChecked() const;
    int SecondsLeft() const { return m_counter; }
    QLabel* MessageLabel() const { return m_message; }
    QDialogButtonBox* ButtonBox() const { return m_buttonBox; }
    QDialogButtonBox* FirstButtonBox() const { return m_firstBox; }
    QGridLayout* Grid() const { return m_grid; }
    QCheckBox* CheckBox() const { return m_checkBox; }
    QTimer* CountdownTimer() const { return m_timer; }

    void done(int result) override;
    void reject() override;

public slots:
    void ButClick0(bool);
    void ButClick1(bool);
    void ButClick2(bool);
    void UpdataTime();

private:
    void Finish(int index);

    QLabel* m_icon = nullptr;
    QLabel* m_message = nullptr;
    QDialogButtonBox* m_buttonBox = nullptr;
    QDialogButtonBox* m_firstBox = nullptr;
    QGridLayout* m_grid = nullptr;
    bool m_hasCheckBox = false;
    QCheckBox* m_checkBox = nullptr;
    QTimer* m_timer = nullptr;
    int m_counter = 0;
    QList<DialogButtonInfo> m_buttons;
};
