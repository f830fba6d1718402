#include "WhatsNew.h"

#include "CGUITavrelRegister.h"
#include "DialogIcon.h"
#include "InterfaceScale.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QUrl>
#include <QVBoxLayout>

namespace {
WhatsNew::UrlOpener& Opener()
{
    static WhatsNew::UrlOpener opener;
    return opener;
}
} // namespace

WhatsNew::UrlOpener WhatsNew::SetUrlOpener(UrlOpener opener)
{
    UrlOpener previous = Opener();
    Opener() = std::move(opener);
    return previous;
}

WhatsNew::WhatsNew(QWidget* parent)
    : CMyDialogFrame(parent, Qt::Dialog | Qt::WindowCloseButtonHint)
{
    setFixedSize(ScaledPixels(490), ScaledPixels(320));
    setObjectName(QStringLiteral("updataDialog"));
    ApplyDialogLabelStyle();

    QWidget* content = GetContentWidget();
    m_icon = new DialogIcon(content);
    m_icon->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_label = new QLabel(content);
    m_label->setMinimumHeight(ScaledPixels(80));
    auto* top = new QHBoxLayout;
    top->setSpacing(ScaledPixels(20));
    top->addWidget(m_icon);
    top->addWidget(m_label);

    m_notes = new QTextEdit(content);
    m_notes->setReadOnly(true);
    m_notes->setMinimumHeight(ScaledPixels(100));
    m_notes->setFixedWidth(ScaledPixels(450));
    m_notes->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_notes->setText(QString());

    m_busy = new QProgressBar(content);
    m_busy->setMaximum(0);
    m_busy->setMinimumSize(ScaledPixels(450), ScaledPixels(30));

    m_yes = new QPushButton(tr("Yes"), content);
    m_yes->setMinimumWidth(ScaledPixels(80));
    m_no = new QPushButton(tr("No"), content);
    m_no->setMinimumWidth(ScaledPixels(80));
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(ScaledPixels(10), ScaledPixels(10), ScaledPixels(10),
                                ScaledPixels(5));
    buttons->setSpacing(ScaledPixels(20));
    buttons->addStretch();
    buttons->addWidget(m_yes);
    buttons->addWidget(m_no);

    auto* layout = new QVBoxLayout(content);
    layout->addLayout(top);
    layout->addWidget(m_busy, 0, Qt::AlignHCenter);
    layout->addStretch();
    layout->addWidget(m_notes);
    layout->addLayout(buttons);

    connect(m_yes, &QPushButton::clicked, this, &WhatsNew::download);
    connect(m_no, &QPushButton::clicked, this, &WhatsNew::close);

    QPixmap icon(QStringLiteral(":/prefix/res/about_icon.png"));
    if (!icon.isNull())
        SetWindowIcon(QIcon(icon.scaled(ScaledPixels(128), ScaledPixels(128),
                                        Qt::IgnoreAspectRatio)));
}

WhatsNew::~WhatsNew() = default;

void WhatsNew::download()
{
    const QString url = CGUITavrelRegister::GetInstance()->DownloadUrl();
    if (Opener())
        Opener()(url);
    else
        QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
    close();
}
