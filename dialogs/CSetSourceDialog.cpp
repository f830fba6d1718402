#include "CSetSourceDialog.h"

#include "CAppSettings.h"
#include "InterfaceScale.h"
#include "Sonacap.h"

#include <QComboBox>
#include <QDebug>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>

#include <cstring>

namespace {
// The product's own virtual device never appears as a source.
const char* const kOwnDeviceName = "Tavrel Audio";
constexpr int kNameBufferSize = 512;
} // namespace

CSetSourceDialog::CSetSourceDialog(HCAPDEV device, CSonacapBase* engine,
                                   ISonacapDriverSetup* driverSetup, QWidget* parent)
    : QWidget(parent)
    , m_settings(CAppSettings::GetInstance())
    , m_device(device)
    , m_engine(engine)
    , m_driverSetup(driverSetup)
{
    m_inputButton = new QRadioButton(this);
    m_computerButton = new QRadioButton(this);
    m_inputTitle = new QLabel(tr("Record Audio Input "), this);
    m_inputText = new QLabel(tr("Record Mic or other built-in input audio stream"), this);
    m_computerTitle = new QLabel(tr("Record Computer Audio"), this);
    m_computerText = new QLabel(tr("Record computer audio stream or online music"), this);
    m_deviceBox = new QComboBox(this);

    m_inputText->setEnabled(false);
    m_inputText->setFixedWidth(ScaledPixels(450));
    m_computerText->setEnabled(false);
    m_computerText->setFixedWidth(ScaledPixels(450));
    m_deviceBox->setFixedWidth(ScaledPixels(200));
    m_inputButton->setFixedHeight(ScaledPixels(30));
    m_computerButton->setFixedHeight(ScaledPixels(30));

    FillDevices(m_settings->GetDeviceId());

    if (m_settings->GetRecordMode() == -1) {
        m_computerButton->setChecked(true);
        m_deviceBox->setEnabled(false);
    } else {
        m_inputButton->setChecked(true);
    }

    connect(m_inputButton, &QRadioButton::clicked, this, &CSetSourceDialog::RButBuiltInClick);

    m_grid = new QGridLayout(this);
    m_grid->setContentsMargins(ScaledPixels(5), ScaledPixels(10), ScaledPixels(220), 0);
    m_grid->addWidget(m_computerButton, 0, 0);
    m_grid->addWidget(m_computerTitle, 0, 1);
    m_grid->addWidget(m_computerText, 1, 1);
    m_grid->addWidget(m_inputButton, 2, 0);
    auto* inputRow = new QHBoxLayout;
    inputRow->addWidget(m_inputTitle);
    inputRow->addWidget(m_deviceBox);
    inputRow->addStretch();
    m_grid->addLayout(inputRow, 2, 1);
    m_grid->addWidget(m_inputText, 3, 1);
}

CSetSourceDialog::~CSetSourceDialog() = default;

void CSetSourceDialog::FillDevices(const QString& storedDevice)
{
    if (!m_engine)
        return;
    m_engine->EnumInputDevice();
    const int count = m_engine->InputDeviceCount();
    for (int i = 0; i < count; ++i) {
        char buffer[kNameBufferSize];
        std::memset(buffer, 0, sizeof buffer);
        m_engine->GetInputDevice(static_cast<unsigned>(i), buffer, kNameBufferSize);
        // The engine may fill the whole buffer; never read past it.
        buffer[kNameBufferSize - 1] = '\0';
        const QString name = QString::fromUtf8(buffer);
        qDebug() << "deviceName = " << name;
        if (name.contains(QLatin1String(kOwnDeviceName)))
            continue;
        m_deviceBox->addItem(name);
        if (name == storedDevice)
            m_deviceBox->setCurrentIndex(m_deviceBox->count() - 1);
    }
}

void CSetSourceDialog::RButBuiltInClick()
{
    m_deviceBox->setEnabled(true);
}

void CSetSourceDialog::Save()
{
    qDebug() << "CSetSourceDialog::Save\n";
    if (m_inputButton->isChecked()) {
        m_settings->SetDeviceId(m_deviceBox->currentText());
        m_settings->SetRecordMode(0);
    } else if (m_computerButton->isChecked()) {
        m_settings->SetRecordMode(-1);
    }
}

void CSetSourceDialog::RetranslateUi()
{
    m_inputTitle->setText(tr("Record Audio Input "));
    m_inputText->setText(tr("Record Mic or other built-in input audio stream"));
    m_computerTitle->setText(tr("Record Computer Audio"));
    m_computerText->setText(tr("Record computer audio stream or online music"));
    // The Japanese texts are wider.
    const int right = m_settings->GetLanguage() == QLatin1String("jp") ? 60 : 220;
    m_grid->setContentsMargins(ScaledPixels(5), ScaledPixels(10), ScaledPixels(right), 0);
}
