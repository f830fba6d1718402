// The bug-report dialog's checks and fields; the mail itself goes to a real
// server in tests/support/mail.
#include "CAppSettings.h"
#include "CBugReport.h"
#include "CDefTextEdit.h"
#include "MailServerInfo.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {
struct Shown {
    QString text;
    int button;
    QString caption;
};

struct HandlerGuard {
    CBugReport::MessageHandler previousMessages;
    QList<Shown> shown;

    HandlerGuard()
    {
        previousMessages = CBugReport::SetMessageHandler(
            [this](QWidget*, const QString& text, int button, const QString& caption) {
                shown << Shown{text, button, caption};
            });
        // No mail server: a valid report fails at once, without a connection.
        MailServerInfo::SetSupport(MailServerInfo{});
    }
    ~HandlerGuard()
    {
        CBugReport::SetMessageHandler(previousMessages);
        MailServerInfo::ResetSupport();
    }
};
} // namespace

TEST(BugReportTest, MailCheck)
{
    struct Case {
        const char* mail;
        int expected;
    };
    const Case cases[] = {
        {"", 1},          {"Mail Adress", 1}, {"me@example.org", 0}, {"a@b", 0},
        {"@example.org", 2}, {"me@", 2},      {"nobody", 2},         {"@", 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CBugReport::CheckMail(QString::fromUtf8(c.mail)), c.expected) << c.mail;
}

TEST(BugReportTest, ReportRefusesBadMailAndFailsWithoutAMailServer)
{
    CAppSettings::GetInstance()->SetUserMail(QString());
    HandlerGuard guard;
    CBugReport report(nullptr);
    report.show();
    EXPECT_FALSE(report.IsBusy());
    EXPECT_EQ(report.MailEdit()->toPlainText(), QStringLiteral("Mail Adress"));

    report.ReportButton()->click();   // default text
    ASSERT_EQ(guard.shown.size(), 1);
    EXPECT_TRUE(guard.shown[0].text.startsWith("Please report your bug with filling your email."));
    EXPECT_EQ(guard.shown[0].button, int(QDialogButtonBox::Cancel));
    EXPECT_EQ(guard.shown[0].caption, QStringLiteral("OK"));

    report.MailEdit()->setPlainText(QStringLiteral("me@"));
    report.ReportButton()->click();
    ASSERT_EQ(guard.shown.size(), 2);
    EXPECT_TRUE(guard.shown[1].text.startsWith("E-mail address is incorrect"));
    EXPECT_TRUE(report.isVisible());
    EXPECT_TRUE(report.ProgressBar()->isHidden());

    report.NameEdit()->setPlainText(QStringLiteral("Ann"));
    report.MailEdit()->setPlainText(QStringLiteral("ann@example.org"));
    report.DescriptionEdit()->setPlainText(QStringLiteral("It stopped."));
    report.ReportButton()->click();
    ASSERT_EQ(guard.shown.size(), 3);
    EXPECT_EQ(guard.shown[2].text, QStringLiteral("Send bug report mail failed!"));
    EXPECT_EQ(guard.shown[2].button, int(QDialogButtonBox::Ok));
    EXPECT_FALSE(report.isVisible());
    EXPECT_FALSE(report.IsBusy());
    EXPECT_EQ(CAppSettings::GetInstance()->GetUserMail(), QStringLiteral("ann@example.org"));
    CAppSettings::GetInstance()->SetUserMail(QString());
}

TEST(BugReportTest, StoredMailIsRealInputAndProgressIgnoresAZeroTotal)
{
    CAppSettings::GetInstance()->SetUserMail(QStringLiteral("kept@example.org"));
    CBugReport report(nullptr);
    CDefTextEdit* mail = report.MailEdit();
    EXPECT_EQ(mail->toPlainText(), QStringLiteral("kept@example.org"));
    EXPECT_FALSE(mail->IsGrey());

    report.show();
    mail->setFocus();
    QFocusEvent in(QEvent::FocusIn);
    QCoreApplication::sendEvent(mail, &in);
    EXPECT_EQ(mail->toPlainText(), QStringLiteral("kept@example.org"));

    // A default text that is not the stored mail gives way on focus and
    // returns grey when the field is left empty.
    CDefTextEdit* name = report.NameEdit();
    EXPECT_TRUE(name->IsGrey());
    QCoreApplication::sendEvent(name, &in);
    EXPECT_TRUE(name->toPlainText().isEmpty());
    EXPECT_FALSE(name->IsGrey());
    QFocusEvent out(QEvent::FocusOut);
    QCoreApplication::sendEvent(name, &out);
    EXPECT_EQ(name->toPlainText(), QStringLiteral("Name"));
    EXPECT_TRUE(name->IsGrey());

    report.progressSlot(50, 100, nullptr);
    EXPECT_EQ(report.ProgressBar()->value(), 50);
    report.progressSlot(10, 0, nullptr);
    EXPECT_EQ(report.ProgressBar()->value(), 50);
    report.progressSlot(qlonglong(3) << 40, qlonglong(4) << 40, nullptr);   // no overflow
    EXPECT_EQ(report.ProgressBar()->value(), 75);
    CAppSettings::GetInstance()->SetUserMail(QString());
}
