#pragma once

#include <QWidget>

#include "CAppSettings.h"

class CNoContextMenuEdit;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;

// Connection page of the preferences: switches an HTTP proxy on or off and
// edits its host, port, user name and password.
class CNetWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CNetWidget(QWidget* parent);
    ~CNetWidget() override;

    // Stores the page; called after the dialog stored b_proxy.
    void SetNetworkProxy();
    void LoadProxySettings();
    void RetranslateUi();

    QCheckBox* ProxyCheck() const { return m_enable; }
    QGroupBox* GroupBox() const { return m_group; }
    CNoContextMenuEdit* HostEdit() const { return m_host; }
    CNoContextMenuEdit* PortEdit() const { return m_port; }
    CNoContextMenuEdit* UserEdit() const { return m_user; }
    CNoContextMenuEdit* PasswordEdit() const { return m_password; }

public slots:
    void UserProxyChange(bool checked);

private:
    QComboBox* m_type = nullptr;
    CNoContextMenuEdit* m_host = nullptr;
    CNoContextMenuEdit* m_port = nullptr;
    CNoContextMenuEdit* m_user = nullptr;
    CNoContextMenuEdit* m_password = nullptr;
    QCheckBox* m_enable = nullptr;
    QGroupBox* m_group = nullptr;
    ProxyInfo m_proxy{};
    QLabel* m_typeLabel = nullptr;
    QLabel* m_hostLabel = nullptr;
    QLabel* m_portLabel = nullptr;
    QLabel* m_userLabel = nullptr;
    QLabel* m_passwordLabel = nullptr;
};
