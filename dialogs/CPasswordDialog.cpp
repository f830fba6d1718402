#include "CPasswordDialog.h"

#include "InterfaceScale.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QGridLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>

CPasswordDialog::CPasswordDialog(QWidget* parent)
    : QDialog(parent)
{
    setFont(QFont(QStringLiteral("Lucida Grande"), ScaledPixels(12)));

    m_icon = new QLabel(this);
    QPixmap icon(QStringLiteral(":/prefix/res/about_icon.png"));
    if (!icon.isNull())
        m_icon->setPixmap(icon.scaled(ScaledPixels(54), ScaledPixels(54)));
    m_message = new QLabel(tr("Trying to install kext. Please enter admin account and password."),
                           this);
    m_error = new QLabel(this);
    m_error->setStyleSheet(QStringLiteral("color:Red"));
    m_accountLabel = new QLabel(tr("Admin account"), this);
    m_accountEdit = new QLineEdit(this);
    m_passwordLabel = new QLabel(tr("Password"), this);
    m_passwordEdit = new QLineEdit(this);
    m_passwordEdit->setEchoMode(QLineEdit::Password);

    m_buttonBox = new QDialogButtonBox(this);
    QPushButton* cancel = m_buttonBox->addButton(QDialogButtonBox::Cancel);
    cancel->setText(tr("Cancel"));
    QPushButton* ok = m_buttonBox->addButton(QDialogButtonBox::Ok);
    ok->setText(tr("Install"));
    ok->setCheckable(true);
    ok->setShortcut(QKeySequence(Qt::Key_Enter));

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_icon, 0, 0);
    grid->addWidget(m_message, 0, 1, 1, 2);
    grid->addWidget(m_error, 1, 1, 1, 2);
    grid->addWidget(m_accountLabel, 2, 1);
    grid->addWidget(m_accountEdit, 2, 2);
    grid->addWidget(m_passwordLabel, 3, 1);
    grid->addWidget(m_passwordEdit, 3, 2);
    grid->addWidget(m_buttonBox, 4, 2);

    m_accountEdit->setFocus();
    connect(cancel, &QPushButton::clicked, this, &CPasswordDialog::close);
    connect(ok, &QPushButton::clicked, this, &CPasswordDialog::Install);
}

CPasswordDialog::~CPasswordDialog() = default;

void CPasswordDialog::Install()
{
}
