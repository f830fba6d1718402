#pragma once

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QLineEdit;

// Asks for an administrator account and password before a driver
// installation. It only collects them: Install() does nothing yet.
class CPasswordDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CPasswordDialog(QWidget* parent);
    ~CPasswordDialog() override;

    QLineEdit* AccountEdit() const { return m_accountEdit; }
    QLineEdit* PasswordEdit() const { return m_passwordEdit; }
    QDialogButtonBox* ButtonBox() const { return m_buttonBox; }

signals:
    void InstallSucceed();

public slots:
    void Install();

private:
    QLabel* m_icon = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_error = nullptr;
    QLabel* m_accountLabel = nullptr;
    QLineEdit* m_accountEdit = nullptr;
    QLabel* m_passwordLabel = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    QDialogButtonBox* m_buttonBox = nullptr;
};
