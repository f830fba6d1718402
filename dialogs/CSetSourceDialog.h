#pragma once

#include <QWidget>

// The capture device handle of the capdev layer (kept, not used here).
typedef struct CapDevHandle* HCAPDEV;

class CAppSettings;
class CSonacapBase;
class ISonacapDriverSetup;
class QComboBox;
class QGridLayout;
class QLabel;
class QRadioButton;

// Audio Source page of the preferences: record what the computer plays
// (Record_Mode -1) or one of the engine's input devices (Record_Mode 0 and
// DEVIC_ID). The product's own virtual device is left out of the list.
class CSetSourceDialog : public QWidget
{
    Q_OBJECT
public:
    // Only the engine is used; the other two handles are kept as given.
    CSetSourceDialog(HCAPDEV device, CSonacapBase* engine, ISonacapDriverSetup* driverSetup,
                     QWidget* parent);
    ~CSetSourceDialog() override;

    void RetranslateUi();

    QRadioButton* InputButton() const { return m_inputButton; }
    QRadioButton* ComputerButton() const { return m_computerButton; }
    QComboBox* DeviceBox() const { return m_deviceBox; }
    QGridLayout* Grid() const { return m_grid; }

public slots:
    void Save();
    void RButBuiltInClick();

private:
    void FillDevices(const QString& storedDevice);

    QRadioButton* m_inputButton = nullptr;
    QRadioButton* m_computerButton = nullptr;
    QLabel* m_inputTitle = nullptr;
    QLabel* m_inputText = nullptr;
    QLabel* m_computerTitle = nullptr;
    QLabel* m_computerText = nullptr;
    QComboBox* m_deviceBox = nullptr;
    QGridLayout* m_grid = nullptr;
    CAppSettings* m_settings = nullptr;
    HCAPDEV m_device = nullptr;
    CSonacapBase* m_engine = nullptr;
    ISonacapDriverSetup* m_driverSetup = nullptr;
};
