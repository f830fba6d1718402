#include "CBugReport.h"

#include "CAppSettings.h"
#include "CDefTextEdit.h"
#include "CDeleteDialog.h"
#include "InterfaceScale.h"
#include "SystemHelpers.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDialogButtonBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const char* const kDefaultMail = QT_TRANSLATE_NOOP("CBugReport", "Mail Adress");

CBugReport::MailSender& Sender()
{
    static CBugReport::MailSender sender;
    return sender;
}

CBugReport::MessageHandler& Messages()
{
    static CBugReport::MessageHandler handler;
    return handler;
}
} // namespace

CBugReport::MailSender CBugReport::SetMailSender(MailSender sender)
{
    MailSender previous = Sender();
    Sender() = std::move(sender);
    return previous;
}

CBugReport::MessageHandler CBugReport::SetMessageHandler(MessageHandler handler)
{
    MessageHandler previous = Messages();
    Messages() = std::move(handler);
    return previous;
}

int CBugReport::CheckMail(const QString& mail)
{
    if (mail.isEmpty() || mail == QLatin1String(kDefaultMail)
        || mail == QCoreApplication::translate("CBugReport", kDefaultMail))
        return 1;
    if (!mail.contains(QLatin1Char('@')) || mail.startsWith(QLatin1Char('@'))
        || mail.endsWith(QLatin1Char('@')))
        return 2;
    return 0;
}

CBugReport::CBugReport(QWidget* parent)
    : CMyDialogFrame(parent, Qt::Dialog | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("reportDialog"));
    ApplyDialogLabelStyle();

    QWidget* content = GetContentWidget();
    m_nameLabel = new QLabel(content);
    m_mailLabel = new QLabel(content);
    m_name = new CDefTextEdit(tr("Name"), content);
    m_name->setFixedSize(ScaledPixels(100), ScaledPixels(25));
    m_mail = new CDefTextEdit(tr(kDefaultMail), content);
    m_mail->setFixedSize(ScaledPixels(200), ScaledPixels(25));
    m_description = new CDefTextEdit(tr("Please describe your problem here."), content);
    m_description->setFixedSize(ScaledPixels(580), ScaledPixels(290));
    m_nameLabel->setBuddy(m_name);
    m_mailLabel->setBuddy(m_mail);

    m_progress = new QProgressBar(content);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->hide();
    m_report = new QPushButton(content);
    m_cancel = new QPushButton(content);
    connect(m_report, &QPushButton::clicked, this, &CBugReport::Report);
    connect(m_cancel, &QPushButton::clicked, this, &CBugReport::close);

    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(ScaledPixels(10), ScaledPixels(5), ScaledPixels(10),
                               ScaledPixels(5));
    auto* top = new QHBoxLayout;
    top->addWidget(m_nameLabel);
    top->addWidget(m_name);
    top->addStretch();
    top->addWidget(m_mailLabel);
    top->addWidget(m_mail);
    layout->addLayout(top);
    layout->addStretch();
    layout->addWidget(m_description);
    layout->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_progress);
    bottom->addStretch();
    bottom->addWidget(m_report);
    bottom->addWidget(m_cancel);
    layout->addLayout(bottom);

    RetranslateUi();
    QPixmap icon(QStringLiteral(":/prefix/res/about_icon.png"));
    if (!icon.isNull())
        SetWindowIcon(QIcon(icon.scaled(ScaledPixels(128), ScaledPixels(128))));
    setFixedSize(ScaledPixels(600), ScaledPixels(400));
}

CBugReport::~CBugReport() = default;

void CBugReport::RetranslateUi()
{
    SetWindowTitle(tr("Bug Report"));
    m_nameLabel->setText(tr("Your Name:"));
    m_mailLabel->setText(tr("E-mail:"));
    m_report->setText(tr("Report"));
    m_cancel->setText(tr("Cancel"));
    m_name->SetDefaultText(tr("Name"));
    const QString mail = CAppSettings::GetInstance()->GetUserMail();
    m_mail->SetDefaultText(mail.isEmpty() ? tr(kDefaultMail) : mail);
    m_description->SetDefaultText(tr("Please describe your problem here."));
}

void CBugReport::ShowMessage(const QString& text, int button, const QString& caption)
{
    if (Messages()) {
        Messages()(this, text, button, caption);
        return;
    }
    CDeleteDialog dialog(text, {DialogButtonInfo{button, caption, false}}, this, false, false);
    dialog.setModal(true);
    dialog.setFocus();
    dialog.exec();
}

void CBugReport::Report()
{
    if (m_busy) {
        close();
        return;
    }
    const QString mail = m_mail->toPlainText();
    switch (CheckMail(mail)) {
    case 1:
        ShowMessage(tr("Please report your bug with filling your email.\n(Will not be published)."),
                    QDialogButtonBox::Cancel, tr("OK"));
        return;
    case 2:
        ShowMessage(tr("E-mail address is incorrect, \nplease refill in a correct email."),
                    QDialogButtonBox::Cancel, tr("OK"));
        return;
    default:
        break;
    }
    m_progress->show();
    SendReportMail();
}

void CBugReport::SendReportMail()
{
    CAppSettings* settings = CAppSettings::GetInstance();
    settings->SetUserMail(m_mail->toPlainText());

    m_job = BugreportJob();
    m_job.owner = this;
    m_job.owner2 = this;
    m_job.userName = m_name->toPlainText();
    m_job.userMail = m_mail->toPlainText();
    m_job.body = m_description->toPlainText();
    m_job.productName = settings->GetProductName();
    m_job.programPath = QCoreApplication::applicationFilePath();

    // The archive of the log folder goes beside the user's documents; it is
    // attached only when it exists.
    QString folder;
    if (GetSpecialFolderPath(folder, kFolderDocuments) == 0
        && CreateDirectoryTree(folder.toUtf8().constData()) == 0) {
        const QString archive = folder + QStringLiteral("/BugReport.dmp");
        if (QFile::exists(archive))
            m_job.attachmentPath = archive;
    }

    bool sent = false;
    if (Sender())
        sent = Sender()(m_job);
    else
        qWarning() << "CBugReport::SendReportMail no mail client, nothing sent";
    ReportFinish(sent, m_job.attachmentPath, this);
}

void CBugReport::ReportFinish(bool ok, QString, void*)
{
    ShowMessage(ok ? tr("Send bug report mail success!") : tr("Send bug report mail failed!"),
                QDialogButtonBox::Ok, tr("OK"));
    m_progress->hide();
    close();
}

void CBugReport::ReportFinish(int value)
{
    if (value != 0)
        ShowMessage(tr("Send bug report mail failed, Err: %1").arg(value),
                    QDialogButtonBox::Cancel, tr("Cancel"));
    m_name->setEnabled(true);
    m_mail->setEnabled(true);
    m_description->setEnabled(true);
    m_busy = false;
    done(value);
}

void CBugReport::progressSlot(qlonglong handled, qlonglong total, void*)
{
    if (total == 0)
        return;
    m_progress->setValue(static_cast<int>(handled * 100 / total));
}
