#include "ProductUpdateInfo.h"

#include "CAppSettings.h"
#include "CGUITavrelRegister.h"
#include "WhatsNew.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>

ProductUpdateInfo::ProductUpdateInfo()
    : QObject(nullptr)
{
    connect(CGUITavrelRegister::GetInstance(), &CGUITavrelRegister::tavrelUpdateCallBack, this,
            &ProductUpdateInfo::UpdateDone);
}

ProductUpdateInfo::~ProductUpdateInfo()
{
    delete m_dialog;
}

void ProductUpdateInfo::CheckForUpdates(bool showDialog, QWidget* parent)
{
    delete m_dialog;
    m_dialog = nullptr;

    if (showDialog) {
        m_dialog = new WhatsNew(parent);
        m_dialog->Label()->setText(tr("Check for updates..."));
        m_dialog->SetWindowTitle(CAppSettings::GetInstance()->GetDisplayName());
        m_dialog->YesButton()->hide();
        m_dialog->NoButton()->setText(tr("Cancel"));
        m_dialog->show();
    }
    CGUITavrelRegister::GetInstance()->OnUpdateResult(0);
}

bool ProductUpdateInfo::IsAutomaticCheckDue(int mode, int days, const QDate& lastCheck, const QDate& today)
{
    if (mode == 0)
        return false;
    if (!lastCheck.isValid() || lastCheck > today)
        return true;
    return lastCheck.daysTo(today) >= days;
}

bool ProductUpdateInfo::CheckAutomatically(QWidget* parent)
{
    CAppSettings* settings = CAppSettings::GetInstance();
    int year = 0;
    int month = 0;
    int day = 0;
    settings->GetUpdateDate(&year, &month, &day);
    if (!IsAutomaticCheckDue(settings->GetAutoUpdate(), settings->GetUpdateDays(), QDate(year, month, day),
                             QDate::currentDate()))
        return false;
    CheckForUpdates(false, parent);
    return true;
}

void ProductUpdateInfo::UpdateDone()
{
    CGUITavrelRegister* glue = CGUITavrelRegister::GetInstance();
    if (!m_dialog) {
        // Checks the user did not ask for speak up only about a newer version.
        if (glue->Status() != CGUITavrelRegister::kStatusNewer)
            return;
        m_dialog = new WhatsNew(nullptr);
        m_dialog->SetWindowTitle(CAppSettings::GetInstance()->GetDisplayName());
        m_dialog->show();
    }
    m_dialog->YesButton()->hide();
    m_dialog->NoButton()->setText(tr("OK"));
    m_dialog->BusyBar()->hide();
    m_dialog->Label()->setText(glue->Message());
    if (glue->Status() == CGUITavrelRegister::kStatusNewer) {
        m_dialog->ReleaseNotes()->setText(glue->WhatsNewText());
        m_dialog->YesButton()->setText(tr("Yes"));
        m_dialog->YesButton()->show();
        m_dialog->NoButton()->setText(tr("No"));
    }
}
