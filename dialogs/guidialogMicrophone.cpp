#include "guidialogMicrophone.h"

#include "CAppSettings.h"
#include "CLabelPress.h"
#include "InterfaceScale.h"
#include "MyQLabel.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSpacerItem>
#include <QUrl>
#include <QVBoxLayout>

namespace {
QSpacerItem* NewSpacer()
{
    return new QSpacerItem(ScaledPixels(60), ScaledPixels(30), QSizePolicy::Minimum,
                           QSizePolicy::Expanding);
}

QHBoxLayout* Row(QWidget* widget)
{
    auto* row = new QHBoxLayout;
    row->addWidget(widget);
    return row;
}
} // namespace

QString guidialogMicrophone::HelpUrlForLanguage(const QString& language)
{
    // The desktop's help on which programs may use the microphone.
    if (language == QLatin1String("de"))
        return QStringLiteral("https://help.gnome.org/users/gnome-help/stable/sound-usemic.html.de");
    if (language == QLatin1String("jp"))
        return QStringLiteral("https://help.gnome.org/users/gnome-help/stable/sound-usemic.html.ja");
    return QStringLiteral("https://help.gnome.org/users/gnome-help/stable/sound-usemic.html.en");
}

QString guidialogMicrophone::SystemSettingsUrl()
{
    // The system's privacy settings for the microphone (opened by the
    // desktop's URL handler).
    return QStringLiteral("ms-settings:privacy-microphone");
}

guidialogMicrophone::guidialogMicrophone(QWidget* parent, int)
    : CMyDialogFrame(parent, Qt::Dialog | Qt::WindowCloseButtonHint)
{
    SetWindowTitle(QStringLiteral("Tavrel Sonacap"));
    QPixmap appIcon(QStringLiteral(":/prefix/res/about_icon.png"));
    if (!appIcon.isNull())
        SetWindowIcon(QIcon(appIcon.scaled(ScaledPixels(128), ScaledPixels(128))));

    setObjectName(QStringLiteral("questionDialg"));
    setFixedSize(ScaledPixels(652), ScaledPixels(353));
    const double scale = GetInterfaceScale();
    setStyleSheet(
        QStringLiteral(
            "QLabel{color: #FFFFFF; font-size: %1px;} #m_pLabelContact{color: rgb(79,148,205); "
            "text-decoration:underline;}\t\t #m_pBtnSysSetting{width: %2px; height: %3px; "
            "border-image: url(:/prefix/res/Settings/button.png); font-size: %4px;}\t\t "
            "#m_pBtnSysSetting::hover{border-image: url(:/prefix/res/Settings/button_on.png);} ")
            .arg(QString::number(13 * scale, 'g'), QString::number(260 * scale, 'g'),
                 QString::number(35 * scale, 'g'), QString::number(13 * scale, 'g')));

    // The tips icon stands outside the layouts.
    m_tipsIcon = new QLabel(this);
    m_tipsIcon->setFixedSize(ScaledPixels(30), ScaledPixels(30));
    QPixmap tips(QStringLiteral(":/prefix/res/tips.png"));
    if (!tips.isNull())
        m_tipsIcon->setPixmap(tips.scaled(ScaledPixels(30), ScaledPixels(30)));
    m_tipsIcon->move(ScaledPixels(35), ScaledPixels(65));

    QWidget* content = GetContentWidget();
    m_message = new QLabel(tr("System prevents program from accessing microphone, please turn "
                              "on Allow \napps to access your microphone:"),
                           content);
    m_win10 = new QLabel(tr("In Win 10, go to Start  > Settings  > Privacy  > Microphone."),
                         content);
    m_win11 = new QLabel(
        tr("In Win 11, go to Start  > Settings  > Privacy & security > Microphone."), content);
    m_retry = new QLabel(tr("After enabling the authorization, please retry."), content);
    m_persists = new QLabel(tr("If the problem still persists, please"), content);

    m_sysSettings = new QPushButton(tr("Open Privacy under system Settings"), content);
    m_sysSettings->setObjectName(QStringLiteral("m_pBtnSysSetting"));

    m_helpUrl = HelpUrlForLanguage(CAppSettings::GetInstance()->GetLanguage());
    m_moreInfo = new CLabelPress(m_helpUrl, tr("More information"), content);
    m_moreInfo->setFixedSize(ScaledPixels(155), ScaledPixels(25));

    m_contact = new MyQLabel(tr("contact us."), content);
    m_contact->setObjectName(QStringLiteral("m_pLabelContact"));
    m_contact->setFixedSize(ScaledPixels(85), ScaledPixels(25));

    m_ok = new QPushButton(tr("OK"), content);
    m_ok->setObjectName(QStringLiteral("m_pBtnOk"));

    auto* outer = new QVBoxLayout(content);
    outer->setContentsMargins(ScaledPixels(90), ScaledPixels(25), ScaledPixels(35),
                              ScaledPixels(30));
    outer->addItem(NewSpacer());
    outer->addLayout(Row(m_message));
    outer->addLayout(Row(m_win10));
    outer->addLayout(Row(m_win11));
    outer->addItem(NewSpacer());
    auto* settingsRow = Row(m_sysSettings);
    settingsRow->addSpacing(ScaledPixels(30));
    settingsRow->addWidget(m_moreInfo);
    settingsRow->addSpacing(ScaledPixels(90));
    outer->addLayout(settingsRow);
    outer->addItem(NewSpacer());
    outer->addLayout(Row(m_retry));
    auto* contactRow = Row(m_persists);
    contactRow->addWidget(m_contact);
    contactRow->addSpacing(ScaledPixels(185));
    outer->addLayout(contactRow);
    outer->addItem(NewSpacer());
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(m_ok);
    outer->addLayout(buttonRow);

    connect(m_ok, &QPushButton::clicked, this, &guidialogMicrophone::close);
    connect(m_sysSettings, &QPushButton::clicked, this, &guidialogMicrophone::showSystemSettings);
}

guidialogMicrophone::~guidialogMicrophone() = default;

void guidialogMicrophone::showSystemSettings()
{
    QDesktopServices::openUrl(QUrl(SystemSettingsUrl(), QUrl::TolerantMode));
}
