#include "WhatsNew.h"

#include "CGUITavrelRegister.h"
#include "DialogIcon.h"
#include "InterfaceScale.h"
#include "Log.h"

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
    // The message carries the server's version text: never read as markup.
    m_label->setTextFormat(Qt::PlainText);
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

bool WhatsNew::IsWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

void WhatsNew::download()
{
    // The address comes from the update service's answer: only a web page
    // goes to the browser, never a file, a program or another handler.
    const QUrl url(CGUITavrelRegister::GetInstance()->DownloadUrl(), QUrl::TolerantMode);
    if (IsWebAddress(url)) {
        if (Opener())
            Opener()(url);
        else
            QDesktopServices::openUrl(url);
    } else {
        SC_LOG_INFO("WhatsNew", "WhatsNew::download", "not a web address, not opened[%s]",
                    url.toString().toUtf8().constData());
    }
    close();
}
