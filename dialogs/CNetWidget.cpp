#include "CNetWidget.h"

#include "CNoContextMenuEdit.h"
#include "InterfaceScale.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QFormLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QVBoxLayout>

#include <cstring>

namespace {
// Copies at most `limit` bytes of UTF-8 without cutting a character, and
// always leaves the terminating zero.
void CopyUtf8(char* dest, size_t destSize, const QString& text, size_t limit)
{
    std::memset(dest, 0, destSize);
    const QByteArray bytes = text.toUtf8();
    size_t n = qMin(static_cast<size_t>(bytes.size()), qMin(limit, destSize - 1));
    while (n > 0 && n < static_cast<size_t>(bytes.size())
           && (static_cast<unsigned char>(bytes.at(static_cast<int>(n))) & 0xC0) == 0x80)
        --n;
    std::memcpy(dest, bytes.constData(), n);
}
} // namespace

CNetWidget::CNetWidget(QWidget* parent)
    : QWidget(parent)
{
    m_enable = new QCheckBox(tr("Enable Proxy"), this);
    connect(m_enable, &QCheckBox::clicked, this, &CNetWidget::UserProxyChange);

    m_group = new QGroupBox(this);
    m_group->setFixedSize(ScaledPixels(450), ScaledPixels(150));

    m_type = new QComboBox(m_group);
    m_type->addItem(QStringLiteral("Http"));
    m_type->setEnabled(false);
    m_host = new CNoContextMenuEdit(m_group);
    m_host->setMaxLength(63);
    m_port = new CNoContextMenuEdit(m_group);
    m_port->setValidator(new QIntValidator(1, 65535, m_port));
    m_user = new CNoContextMenuEdit(m_group);
    m_user->setMaxLength(31);
    m_password = new CNoContextMenuEdit(m_group);
    m_password->setMaxLength(15);
    m_password->setEchoMode(QLineEdit::Password);

    m_typeLabel = new QLabel(tr("Proxy type:"), m_group);
    m_hostLabel = new QLabel(tr("Proxy host:"), m_group);
    m_portLabel = new QLabel(tr("Proxy port:"), m_group);
    m_userLabel = new QLabel(tr("Proxy name:"), m_group);
    m_passwordLabel = new QLabel(tr("Proxy password:"), m_group);

    auto* form = new QFormLayout(m_group);
    form->addRow(m_typeLabel, m_type);
    form->addRow(m_hostLabel, m_host);
    form->addRow(m_portLabel, m_port);
    form->addRow(m_userLabel, m_user);
    form->addRow(m_passwordLabel, m_password);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(ScaledPixels(5));
    layout->addWidget(m_enable);
    layout->addWidget(m_group);

    LoadProxySettings();
}

CNetWidget::~CNetWidget() = default;

void CNetWidget::UserProxyChange(bool checked)
{
    m_group->setEnabled(checked);
}

void CNetWidget::LoadProxySettings()
{
    std::memset(&m_proxy, 0, sizeof m_proxy);
    CAppSettings* settings = CAppSettings::GetInstance();
    if (settings->GetProxyEnabled() != 0)
        m_enable->setChecked(true);
    else
        m_group->setEnabled(false);

    settings->GetProxyInfo(&m_proxy);
    m_host->setText(QString::fromUtf8(m_proxy.host));
    m_port->setText(m_proxy.port != 0 ? QString::number(m_proxy.port) : QString());
    m_user->setText(QString::fromUtf8(m_proxy.user));
    m_password->setText(QString::fromUtf8(m_proxy.password));
}

void CNetWidget::SetNetworkProxy()
{
    std::memset(&m_proxy, 0, sizeof m_proxy);
    CAppSettings* settings = CAppSettings::GetInstance();
    if (settings->GetProxyEnabled() != 0) {
        m_proxy.type = 0;
        settings->SetProxyType(0);
        CopyUtf8(m_proxy.host, sizeof m_proxy.host, m_host->text(), 63);
        settings->SetProxyHost(m_host->text());
        // 0 (none) when empty or outside 1..65535, also for a value an older
        // settings file put into the field.
        const int port = m_port->hasAcceptableInput() ? m_port->text().toInt() : 0;
        m_proxy.port = port;
        settings->SetProxyPort(port);
        CopyUtf8(m_proxy.user, sizeof m_proxy.user, m_user->text(), 31);
        settings->SetProxyName(m_user->text());
        CopyUtf8(m_proxy.password, sizeof m_proxy.password, m_password->text(), 15);
        settings->SetProxyPass(m_password->text());
    } else {
        m_proxy.type = -1;
        settings->SetProxyType(-1);
    }
    qDebug().noquote() << "CNetWidget::SetNetworkProxy, ProxyServer: "
                       << QString::fromUtf8(m_proxy.host) << " ProxyProt: " << m_proxy.port
                       << " UserName: " << QString::fromUtf8(m_proxy.user)
                       << " PassWord: " << (m_proxy.password[0] ? "******" : "")
                       << " ProxyType: " << m_proxy.type;
}

void CNetWidget::RetranslateUi()
{
    m_enable->setText(tr("Enable Proxy"));
    m_typeLabel->setText(tr("Proxy type:"));
    m_hostLabel->setText(tr("Proxy host:"));
    m_portLabel->setText(tr("Proxy port:"));
    m_userLabel->setText(tr("Proxy name:"));
    m_passwordLabel->setText(tr("Proxy password:"));
}
