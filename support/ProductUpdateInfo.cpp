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

void ProductUpdateInfo::UpdateDone()
{
    CGUITavrelRegister* glue = CGUITavrelRegister::GetInstance();
    if (!m_dialog) {
        // Checks the user did not ask for speak up only about a newer version.
        if (glue->Status() != 1)
            return;
        m_dialog = new WhatsNew(nullptr);
        m_dialog->SetWindowTitle(CAppSettings::GetInstance()->GetDisplayName());
        m_dialog->show();
    }
    m_dialog->YesButton()->hide();
    m_dialog->NoButton()->setText(tr("OK"));
    m_dialog->BusyBar()->hide();
    m_dialog->Label()->setText(glue->Message());
    if (glue->Status() == 1) {
        m_dialog->ReleaseNotes()->setText(glue->WhatsNewText());
        m_dialog->YesButton()->setText(tr("Yes"));
        m_dialog->YesButton()->show();
        m_dialog->NoButton()->setText(tr("No"));
    }
}
