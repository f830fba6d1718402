#include "CAbout.h"

#include "CAppSettings.h"
#include "CLabelPress.h"
#include "InterfaceScale.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int kFrameFlags = 0x8000003;
const char* const kHomeHost = "https://www.tavrel.com";
} // namespace

QString CAbout::HomePageForLanguage(const QString& language)
{
    if (language == QLatin1String("de"))
        return QString::fromLatin1(kHomeHost) + QStringLiteral("/de/sonacap/");
    if (language == QLatin1String("jp"))
        return QString::fromLatin1(kHomeHost) + QStringLiteral("/jp/sonacap/");
    return QString::fromLatin1(kHomeHost) + QStringLiteral("/sonacap/");
}

CAbout::CAbout(QWidget* parent, int)
    : CMyDialogFrame(parent, kFrameFlags)
{
    setObjectName(QStringLiteral("regDlog"));
    ApplyDialogLabelStyle();

    CAppSettings* settings = CAppSettings::GetInstance();
    QWidget* content = GetContentWidget();

    m_version = new QLabel(settings->GetCurrentVersion(), content);
    m_notice = new QLabel(content);
    m_notice->setTextFormat(Qt::RichText);
    m_notice->setWordWrap(true);
    m_notice->setText(tr("<p>Records what your computer plays, song by song.</p>"));

    const QString support = settings->GetSupportLink();
    m_support = new CLabelPress(support, support, content);

    m_homePageUrl = HomePageForLanguage(settings->GetLanguage());
    m_homePage = new CLabelPress(m_homePageUrl, m_homePageUrl, content);

    auto* form = new QFormLayout;
    form->addRow(tr("Version:"), m_version);
    form->addRow(tr("Support:"), m_support);
    form->addRow(tr("Home Page:"), m_homePage);

    auto* column = new QVBoxLayout;
    column->addLayout(form);
    column->addWidget(m_notice, 1);

    auto* outer = new QHBoxLayout(content);
    outer->setContentsMargins(ScaledPixels(200), ScaledPixels(90), 0, 0);
    outer->addLayout(column);

    setFixedSize(ScaledPixels(615), ScaledPixels(270));
}

CAbout::~CAbout() = default;
