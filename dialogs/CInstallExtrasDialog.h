#pragma once

#include "CMyDialogFrame.h"

class ISonacapDriverSetup;
class QDialogButtonBox;
class QLabel;
class QPushButton;

// Offers to install the engine's virtual audio device and runs the
// installation. Nothing in the program opens it yet.
class CInstallExtrasDialog : public CMyDialogFrame
{
    Q_OBJECT
public:
    CInstallExtrasDialog(ISonacapDriverSetup* setup, QWidget* parent);
    ~CInstallExtrasDialog() override;

    QPushButton* InstallButton() const { return m_install; }
    QPushButton* CancelButton() const { return m_cancel; }

signals:
    void SelectButComputer();

public slots:
    void Install();
    void KextInstallSucceed();

private:
    QLabel* m_icon = nullptr;
    QLabel* m_text1 = nullptr;
    QLabel* m_text2 = nullptr;
    QLabel* m_text3 = nullptr;
    QDialogButtonBox* m_buttonBox = nullptr;
    QPushButton* m_install = nullptr;
    QPushButton* m_cancel = nullptr;
    ISonacapDriverSetup* m_setup = nullptr;
};
