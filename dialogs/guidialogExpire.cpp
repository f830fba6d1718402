#include "guidialogExpire.h"

#include "CAppSettings.h"
#include "InterfaceScale.h"
#include "SystemHelpers.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include <cstring>

namespace {
const char* const kStateKey = "PortInfo/state";

// The settings file, opened by this dialog alone in the INI format.
QString SettingsFilePath()
{
    char folder[512];
    std::memset(folder, 0, sizeof folder);
    GetSpecialFolderPath(folder, sizeof folder, kFolderAppData);
    CreateDirectoryTree(folder);
    return QStringLiteral("%1/sonacap.ini").arg(QString::fromUtf8(folder));
}
} // namespace

guidialogExpire::guidialogExpire(QWidget* parent, int)
    : CMyDialogFrame(parent, Qt::Dialog)
{
    SetWindowTitle(CAppSettings::GetInstance()->GetDisplayName());

    {
        QSettings file(SettingsFilePath(), QSettings::IniFormat);
        m_state = file.value(QLatin1String(kStateKey), QString()).toInt();
    }

    setObjectName(QStringLiteral("regDlog"));
    setFixedSize(ScaledPixels(615), ScaledPixels(270));
    ApplyDialogLabelStyle();

    QWidget* content = GetContentWidget();
    m_message1 = new QLabel(content);
    m_message1->setWordWrap(true);
    m_message2 = new QLabel(content);
    m_message2->setWordWrap(true);
    m_checkBox = new QCheckBox(content);
    m_checkBox->setChecked(false);
    m_button = new QPushButton(content);
    RetranslateUi();

    auto* texts = new QVBoxLayout;
    texts->addSpacing(ScaledPixels(80));
    texts->addWidget(m_message1);
    texts->addWidget(m_message2);
    texts->addSpacing(ScaledPixels(30));
    auto* row = new QHBoxLayout;
    row->addWidget(m_checkBox);
    row->addWidget(m_button);
    row->addSpacing(ScaledPixels(20));
    auto* outer = new QVBoxLayout(content);
    outer->setContentsMargins(ScaledPixels(180), ScaledPixels(20), 0, ScaledPixels(25));
    outer->addLayout(texts);
    outer->addLayout(row);

    connect(m_button, &QPushButton::clicked, this, &guidialogExpire::close);
    connect(m_checkBox, &QCheckBox::stateChanged, this, &guidialogExpire::onCheckBoxStateChanged);
}

guidialogExpire::~guidialogExpire() = default;

void guidialogExpire::RetranslateUi()
{
    m_message1->setText(tr("Sorry, Tavrel Sonacap cant get music info automatically while recording now."));
    m_message2->setText(tr("Please go Media, right click the file, click Edit Music Tags to add music tags."));
    m_checkBox->setText(tr("Do not show this again"));
    m_button->setText(tr("OK"));
}

void guidialogExpire::changeEvent(QEvent* event)
{
    // The notice waits for nobody, so it may still be open when the user
    // switches the language.
    if (event->type() == QEvent::LanguageChange)
        RetranslateUi();
    CMyDialogFrame::changeEvent(event);
}

void guidialogExpire::onCheckBoxStateChanged(int state)
{
    QSettings file(SettingsFilePath(), QSettings::IniFormat);
    file.beginGroup(QStringLiteral("PortInfo"));
    file.setValue(QStringLiteral("state"), state);
    file.endGroup();
    file.sync();
}
