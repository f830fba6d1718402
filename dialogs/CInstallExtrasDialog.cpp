#include "CInstallExtrasDialog.h"

#include "InterfaceScale.h"
#include "Sonacap.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace {
constexpr int kFrameFlags = 3;
}

CInstallExtrasDialog::CInstallExtrasDialog(ISonacapDriverSetup* setup, QWidget* parent)
    : CMyDialogFrame(parent, kFrameFlags)
    , m_setup(setup)
{
    setObjectName(QStringLiteral("installDialg"));
    ApplyDialogLabelStyle();

    QWidget* content = GetContentWidget();
    m_icon = new QLabel(content);
    QPixmap tips(QStringLiteral(":/prefix/res/tips.png"));
    if (!tips.isNull())
        m_icon->setPixmap(tips.scaled(ScaledPixels(54), ScaledPixels(54)));
    m_text1 = new QLabel(tr("Tavrel Audio Device is not currently installed.\n"), content);
    m_text2 = new QLabel(tr("Tavrel Audio Device enables you to record audio from any source "
                            "\ninstantly,with no need to quit and relaunch open applications.\n"),
                         content);
    m_text3 = new QLabel(tr("Now,install Tavrel Audio Device for the easiest audio recording."),
                         content);

    m_buttonBox = new QDialogButtonBox(content);
    m_cancel = m_buttonBox->addButton(QDialogButtonBox::Cancel);
    m_cancel->setText(tr("Cancel"));
    m_cancel->setFixedWidth(90);
    m_install = m_buttonBox->addButton(QDialogButtonBox::Ok);
    m_install->setText(tr("Install"));
    m_install->setCheckable(true);
    m_install->setFixedWidth(90);

    SetWindowTitle(tr("Install Tavrel Audio Device"));
    setFixedSize(ScaledPixels(450), ScaledPixels(200));

    auto* grid = new QGridLayout(content);
    grid->addWidget(m_icon, 0, 0);
    grid->addWidget(m_text1, 0, 1);
    grid->addWidget(m_text2, 1, 1);
    grid->addWidget(m_text3, 2, 1);
    grid->addWidget(m_buttonBox, 3, 1);

    connect(m_cancel, &QPushButton::clicked, this, &CInstallExtrasDialog::close);
    connect(m_install, &QPushButton::toggled, this, &CInstallExtrasDialog::Install);
}

CInstallExtrasDialog::~CInstallExtrasDialog() = default;

void CInstallExtrasDialog::Install()
{
    m_install->setEnabled(false);
    if (m_setup && m_setup->Install())
        done(1);
}

void CInstallExtrasDialog::KextInstallSucceed()
{
    close();
    emit SelectButComputer();
}
