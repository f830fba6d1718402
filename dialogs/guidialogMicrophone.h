#pragma once

#include "CMyDialogFrame.h"

#include <QString>

class CLabelPress;
class MyQLabel;
class QLabel;
class QPushButton;

// Shown instead of starting a recording when the system denies the program
// access to the microphone: where to allow it, a button to the system's
// privacy settings, a help link and a "contact us." link.
class guidialogMicrophone : public CMyDialogFrame
{
    Q_OBJECT
public:
    // `flags` is not used.
    guidialogMicrophone(QWidget* parent, int flags = 0);
    ~guidialogMicrophone() override;

    // The help page on microphone privacy for an interface language.
    static QString HelpUrlForLanguage(const QString& language);
    // The address the system-settings button opens.
    static QString SystemSettingsUrl();

    QString HelpUrl() const { return m_helpUrl; }
    CLabelPress* MoreInfoLink() const { return m_moreInfo; }
    MyQLabel* ContactLabel() const { return m_contact; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* SystemSettingsButton() const { return m_sysSettings; }

public slots:
    void showSystemSettings();

private:
    QLabel* m_tipsIcon = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_win10 = nullptr;
    QLabel* m_win11 = nullptr;
    QLabel* m_retry = nullptr;
    QLabel* m_persists = nullptr;
    MyQLabel* m_contact = nullptr;
    CLabelPress* m_moreInfo = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_sysSettings = nullptr;
    QString m_helpUrl;
};
