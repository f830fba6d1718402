// Quitting while a bug report is being mailed: the main window asks first,
// and a "Quit" stops the mail thread and closes the report window with it.
#include "MainUITestSupport.h"

#include "CBugReport.h"
#include "CDefTextEdit.h"
#include "MailServerInfo.h"
#include "ScriptedSmtpPeer.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <gtest/gtest.h>

#include <memory>

TEST(MainUIBugReportTest, QuittingMidSendAsksThenStopsTheMail)
{
    FakeEngineFactory factory;
    IEngineFactory* previous = SetEngineFactory(&factory);
    auto script = ScriptedSmtpPeer::HappyScript();
    script[3].reply = "";   // MAIL FROM hangs: the mail stays under way
    ScriptedSmtpPeer peer(script);
    MailServerInfo server;
    server.host = QStringLiteral("127.0.0.1");
    server.port = peer.Port();
    server.ssl = false;
    server.account = QStringLiteral("bugs@example.org");
    server.recipient = QStringLiteral("support@example.org");
    MailServerInfo::SetSupport(server);
    QStringList reportMessages;
    const auto previousHandler = CBugReport::SetMessageHandler(
        [&](QWidget*, const QString& text, int, const QString&) { reportMessages << text; });

    ResetLibrary();
    auto window = std::make_unique<TestMainUI>();
    window->show();
    window->BugReport();
    CBugReport* report = window->BugReportDialog();
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->isVisible());
    report->MailEdit()->setPlainText(QStringLiteral("ann@example.org"));
    report->ReportButton()->click();
    ASSERT_TRUE(WaitFor([&] { return peer.Count("MAIL FROM*") == 1; }, 20000));
    ASSERT_TRUE(report->IsBusy());

    window->answers = {QDialogButtonBox::Cancel};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->SawText("It is sending bug report mail!"));
    EXPECT_TRUE(report->IsBusy());
    EXPECT_TRUE(report->isVisible());

    window->answers = {QDialogButtonBox::Ok};
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(report->IsBusy());
    EXPECT_FALSE(report->isVisible());
    window.reset();   // deletes the report window; its thread has ended
    EXPECT_EQ(peer.Count("DATA"), 0);
    EXPECT_TRUE(reportMessages.isEmpty());

    CBugReport::SetMessageHandler(previousHandler);
    MailServerInfo::ResetSupport();
    SetEngineFactory(previous);
}
