#pragma once

#include "CMyDialogFrame.h"

#include <QString>

class CLabelPress;
class QLabel;

// The about dialog: version, support link and the home page of the interface
// language.
class CAbout : public CMyDialogFrame
{
    Q_OBJECT
public:
    // `flags` is not used: the frame always carries title and close button.
    CAbout(QWidget* parent, int flags = 0);
    ~CAbout() override;

    // The home page for an interface language: "de" and "jp" have their own
    // pages, every other language the English one.
    static QString HomePageForLanguage(const QString& language);

    QLabel* VersionLabel() const { return m_version; }
    CLabelPress* SupportLink() const { return m_support; }
    CLabelPress* HomePageLink() const { return m_homePage; }
    QString HomePage() const { return m_homePageUrl; }

private:
    QLabel* m_version = nullptr;
    QLabel* m_notice = nullptr;
    CLabelPress* m_support = nullptr;
    CLabelPress* m_homePage = nullptr;
    QString m_homePageUrl;
};
