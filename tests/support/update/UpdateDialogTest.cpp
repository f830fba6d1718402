// The update glue and its dialogs against a local update service: start-up,
// menu and automatic checks, failures, the download link and the proxy.
#include "CAppSettings.h"
#include "CGUITavrelRegister.h"
#include "../../common/LocalHttpServer.h"
#include "ProductUpdateInfo.h"
#include "UpdateAnswerFixtures.h"
#include "WhatsNew.h"

#include <QDate>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextEdit>
#include <QUrl>
#include <gtest/gtest.h>

#include <memory>

using update_test::AnswerFields;
using update_test::MakeAnswer;

namespace {
const char* const kInstalled = "1.0.0.1";

// The glue pointed at a service address, released again at the end; the
// browser replaced by a list of the addresses it was asked to open.
class UpdateDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_settings->SetCurrentVersion(QString::fromLatin1(kInstalled));
        m_settings->SetProxyEnabled(0);
        m_settings->SetUpdateDate(2001, 2, 3);
        m_previousOpener = WhatsNew::SetUrlOpener([this](const QUrl& url) { m_opened << url.toString(); });
        PointAt(QString::fromStdString(m_server.Address()));
    }
    void TearDown() override
    {
        m_info.reset();
        CGUITavrelRegister::ReleaseInstance();
        CGUITavrelRegister::SetServiceAddress(QString());
        WhatsNew::SetUrlOpener(m_previousOpener);
    }

    void PointAt(const QString& address)
    {
        m_info.reset();
        CGUITavrelRegister::ReleaseInstance();
        CGUITavrelRegister::SetServiceAddress(address);
        Glue()->InitUpdateCheck();
        m_info = std::make_unique<ProductUpdateInfo>();
    }
    static CGUITavrelRegister* Glue() { return CGUITavrelRegister::GetInstance(); }

    // Runs one check and waits for its result to be shown.
    void CheckAndWait(bool showDialog)
    {
        QSignalSpy done(Glue(), &CGUITavrelRegister::tavrelUpdateCallBack);
        m_info->CheckForUpdates(showDialog, nullptr);
        ASSERT_TRUE(done.wait(20000));
    }
    QDate StoredDate()
    {
        int y = 0, m = 0, d = 0;
        m_settings->GetUpdateDate(&y, &m, &d);
        return QDate(y, m, d);
    }

    CAppSettings* m_settings = CAppSettings::GetInstance();
    LocalHttpServer m_server;
    std::unique_ptr<ProductUpdateInfo> m_info;
    QStringList m_opened;
    WhatsNew::UrlOpener m_previousOpener;
};
} // namespace

TEST_F(UpdateDialogTest, StartUpJudgesWithoutCheckingAndShowsNothing)
{
    QSignalSpy done(Glue(), &CGUITavrelRegister::tavrelUpdateCallBack);
    Glue()->OnUpdateResult(1);
    EXPECT_EQ(done.count(), 1);
    EXPECT_EQ(Glue()->Status(), CGUITavrelRegister::kStatusNone);
    EXPECT_EQ(m_info->Dialog(), nullptr);
    EXPECT_TRUE(m_server.Requests().empty());

    // After an automatic check with an equal version, start-up stays silent too.
    m_server.SetAnswer({200, update_test::AnswerWithVersion(kInstalled)});
    CheckAndWait(false);
    Glue()->OnUpdateResult(1);
    EXPECT_EQ(Glue()->Status(), CGUITavrelRegister::kStatusNewest);
    EXPECT_EQ(m_info->Dialog(), nullptr);
}

TEST_F(UpdateDialogTest, MenuCheckShowsBusyThenNewest)
{
    for (const char* serverVersion : {kInstalled, "1.0.0.1.0", "0.9"}) {
        m_server.SetAnswer({200, update_test::AnswerWithVersion(serverVersion)});
        QSignalSpy done(Glue(), &CGUITavrelRegister::tavrelUpdateCallBack);
        m_info->CheckForUpdates(true, nullptr);

        // The result is not judged before the answer is in.
        WhatsNew* dialog = m_info->Dialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(done.count(), 0);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->Label()->text(), QStringLiteral("Check for updates..."));
        EXPECT_FALSE(dialog->BusyBar()->isHidden());
        EXPECT_TRUE(dialog->YesButton()->isHidden());
        EXPECT_EQ(dialog->NoButton()->text(), QStringLiteral("Cancel"));

        ASSERT_TRUE(done.wait(20000)) << serverVersion;
        EXPECT_EQ(m_info->Dialog(), dialog);
        EXPECT_EQ(dialog->Label()->text(), QStringLiteral("You are using the newest version")) << serverVersion;
        EXPECT_EQ(dialog->NoButton()->text(), QStringLiteral("OK"));
        EXPECT_TRUE(dialog->YesButton()->isHidden());
        EXPECT_TRUE(dialog->BusyBar()->isHidden());
        dialog->NoButton()->click();
        EXPECT_FALSE(dialog->isVisible());
    }
    // A check that got its answer is the last check.
    EXPECT_EQ(StoredDate(), QDate::currentDate());
}

TEST_F(UpdateDialogTest, FailedChecksAreNeverTheNewestVersion)
{
    AnswerFields noCode;
    noCode.code.clear();
    noCode.version = kInstalled;
    struct Case {
        const char* name;
        QString address;   // empty: this test's server
        LocalHttpServer::Answer answer;
    };
    const QString refused = QStringLiteral("http://127.0.0.1:%1").arg(LocalHttpServer::RefusedPort());
    const Case cases[] = {
        {"server stopped", refused, {}},
        {"not configured", QStringLiteral("none"), {}},
        {"not XML", QString(), {200, "<html><body>maintenance<br></body></html>", "text/html"}},
        {"empty answer", QString(), {200, ""}},
        {"no product code", QString(), {200, MakeAnswer(noCode)}},
    };
    for (const Case& c : cases) {
        if (c.address.isEmpty())
            PointAt(QString::fromStdString(m_server.Address()));
        else
            PointAt(c.address == QLatin1String("none") ? QString() : c.address);
        m_server.SetAnswer(c.answer);

        // The menu says so.
        CheckAndWait(true);
        WhatsNew* dialog = m_info->Dialog();
        ASSERT_NE(dialog, nullptr) << c.name;
        EXPECT_EQ(Glue()->Status(), CGUITavrelRegister::kStatusFailed) << c.name;
        EXPECT_EQ(dialog->Label()->text(), QStringLiteral("Could not check for updates")) << c.name;
        EXPECT_EQ(dialog->NoButton()->text(), QStringLiteral("OK")) << c.name;
        EXPECT_TRUE(dialog->YesButton()->isHidden()) << c.name;
        EXPECT_TRUE(dialog->BusyBar()->isHidden()) << c.name;

        // The automatic check keeps quiet.
        CheckAndWait(false);
        EXPECT_EQ(m_info->Dialog(), nullptr) << c.name;
        EXPECT_EQ(StoredDate(), QDate(2001, 2, 3)) << c.name;
    }
}

TEST_F(UpdateDialogTest, NewerVersionOpensTheDialogByItselfAndYesOpensTheDownload)
{
    AnswerFields fields;
    fields.version = "1.1";
    fields.notes = "Faster start.\nNew cover view.";
    m_server.SetAnswer({200, MakeAnswer(fields)});

    CheckAndWait(false);
    WhatsNew* dialog = m_info->Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->Label()->text(),
              QStringLiteral("A new version of Tavrel Sonacap found! \nCurrent version: 1.0.0.1\n"
                             "New version: 1.1\n\nWould you like to update the product?"));
    EXPECT_EQ(dialog->ReleaseNotes()->toPlainText(), QStringLiteral("Faster start.\nNew cover view."));
    EXPECT_FALSE(dialog->YesButton()->isHidden());
    EXPECT_EQ(dialog->YesButton()->text(), QStringLiteral("Yes"));
    EXPECT_EQ(dialog->NoButton()->text(), QStringLiteral("No"));
    EXPECT_TRUE(dialog->BusyBar()->isHidden());

    dialog->YesButton()->click();
    EXPECT_EQ(m_opened, QStringList{"https://download.example/sonacap.exe?product=SONACAP"});
    EXPECT_FALSE(dialog->isVisible());

    // No closes without opening anything; the next check replaces the dialog.
    CheckAndWait(false);
    ASSERT_NE(m_info->Dialog(), nullptr);
    m_info->Dialog()->NoButton()->click();
    EXPECT_FALSE(m_info->Dialog()->isVisible());
    EXPECT_EQ(m_opened.size(), 1);
}

TEST_F(UpdateDialogTest, OnlyWebAddressesAreOpened)
{
    struct Case {
        const char* download;
        bool opened;
    };
    const Case cases[] = {
        {"http://download.example/get", true},
        {"HTTPS://download.example/get", true},
        {"file:///usr/bin/xterm", false},
        {"javascript:alert(1)", false},
        {"smb://share/setup", false},
        {"/tmp/setup", false},
        {"", false},
    };
    for (const Case& c : cases) {
        AnswerFields fields;
        fields.version = "9.0";
        fields.download = c.download;
        m_server.SetAnswer({200, MakeAnswer(fields)});
        m_opened.clear();
        CheckAndWait(false);
        ASSERT_NE(m_info->Dialog(), nullptr) << c.download;
        m_info->Dialog()->YesButton()->click();
        EXPECT_EQ(m_opened.size(), c.opened ? 1 : 0) << c.download;
        EXPECT_FALSE(m_info->Dialog()->isVisible()) << c.download;
    }
}

TEST_F(UpdateDialogTest, SecondCheckWhileOneRunsJoinsIt)
{
    m_server.SetAnswer({200, update_test::AnswerWithVersion("2.0")});
    m_server.Hold();
    QSignalSpy done(Glue(), &CGUITavrelRegister::tavrelUpdateCallBack);
    m_info->CheckForUpdates(false, nullptr);   // the automatic check
    ASSERT_TRUE(m_server.WaitForRequests(1, 10000));
    m_info->CheckForUpdates(true, nullptr);    // then the menu
    WhatsNew* busy = m_info->Dialog();
    ASSERT_NE(busy, nullptr);
    EXPECT_TRUE(Glue()->IsChecking());

    m_server.Release();
    ASSERT_TRUE(done.wait(20000));
    QCoreApplication::processEvents();
    EXPECT_EQ(done.count(), 1);
    EXPECT_EQ(m_server.Requests().size(), 1u);
    EXPECT_EQ(m_info->Dialog(), busy);
    EXPECT_FALSE(busy->YesButton()->isHidden());
}

TEST_F(UpdateDialogTest, ReleaseEndsARunningCheckAtOnce)
{
    m_server.Hold();
    m_info->CheckForUpdates(true, nullptr);
    ASSERT_TRUE(m_server.WaitForRequests(1, 10000));
    QSignalSpy done(Glue(), &CGUITavrelRegister::tavrelUpdateCallBack);
    CGUITavrelRegister::ReleaseInstance();
    QCoreApplication::processEvents();
    EXPECT_EQ(done.count(), 0);
    m_server.Release();
}

TEST_F(UpdateDialogTest, ProxyAndLanguageComeFromTheSettings)
{
    LocalHttpServer proxy;
    proxy.SetHandler([](const LocalHttpServer::Request& r) -> LocalHttpServer::Answer {
        if (r.Header("proxy-authorization") != "Basic " + Base64EncodeString("bob:pw"))
            return {407, ""};
        return {200, update_test::AnswerWithVersion("1.0.0.1")};
    });
    m_settings->SetProxyEnabled(1);
    m_settings->SetProxyType(0);
    m_settings->SetProxyHost(QStringLiteral("127.0.0.1"));
    m_settings->SetProxyPort(proxy.Port());
    m_settings->SetProxyName(QStringLiteral("bob"));
    m_settings->SetProxyPass(QStringLiteral("pw"));
    m_settings->SetLanguage(QStringLiteral("de"));
    PointAt(QString::fromStdString(m_server.Address()));

    CheckAndWait(true);
    EXPECT_EQ(Glue()->Status(), CGUITavrelRegister::kStatusNewest);
    EXPECT_TRUE(m_server.Requests().empty());
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(proxy.Requests()[0].line, "GET " + m_server.Address() +
                                            "/update-product-info/update.php?action=getinfo"
                                            "&product=Sonacap&versioncur=1.0.0.1&lang=de HTTP/1.1");

    // Proxy off and another language: straight to the service.
    m_settings->SetProxyEnabled(0);
    m_settings->SetLanguage(QStringLiteral("rus"));
    Glue()->ApplyProxy();
    Glue()->SetLanguage();
    m_server.SetAnswer({200, update_test::AnswerWithVersion("1.0.0.1")});
    CheckAndWait(true);
    EXPECT_EQ(Glue()->Status(), CGUITavrelRegister::kStatusNewest);
    EXPECT_EQ(proxy.Requests().size(), 1u);
    ASSERT_EQ(m_server.Requests().size(), 1u);
    EXPECT_NE(m_server.Requests()[0].line.find("&lang=rus "), std::string::npos);
    m_settings->SetLanguage(QStringLiteral("en"));
}

TEST_F(UpdateDialogTest, AutomaticCheckFollowsModeIntervalAndDate)
{
    const QDate today(2024, 3, 10);
    struct Case {
        int mode;
        int days;
        QDate last;
        bool due;
    };
    const Case cases[] = {
        {3, 1, today, false},           {3, 1, today.addDays(-1), true},
        {3, 7, today.addDays(-6), false}, {3, 7, today.addDays(-7), true},
        {0, 1, today.addDays(-30), false}, {1, 0, today, true},
        {3, 1, today.addDays(5), true},  // a date in the future does not block checks
        {3, 1, QDate(), true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProductUpdateInfo::IsAutomaticCheckDue(c.mode, c.days, c.last, today), c.due)
            << c.mode << " " << c.days << " " << c.last.toString(Qt::ISODate).toStdString();

    // With the stored settings: checked today already, nothing is sent.
    m_server.SetAnswer({200, update_test::AnswerWithVersion("5.0")});
    const QDate now = QDate::currentDate();
    m_settings->SetUpdateDate(now.year(), now.month(), now.day());
    EXPECT_FALSE(m_info->CheckAutomatically(nullptr));
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_server.Requests().empty());

    const QDate yesterday = now.addDays(-1);
    m_settings->SetUpdateDate(yesterday.year(), yesterday.month(), yesterday.day());
    QSignalSpy done(Glue(), &CGUITavrelRegister::tavrelUpdateCallBack);
    EXPECT_TRUE(m_info->CheckAutomatically(nullptr));
    ASSERT_TRUE(done.wait(20000));
    EXPECT_EQ(m_server.Requests().size(), 1u);
    ASSERT_NE(m_info->Dialog(), nullptr);
    EXPECT_TRUE(m_info->Dialog()->isVisible());
    EXPECT_EQ(StoredDate(), QDate::currentDate());
}
