// The main window's update checks against a local update service: the
// automatic check at start-up and the menu's "Check for Updates".
#include "MainUITestSupport.h"

#include "../../common/LocalHttpServer.h"
#include "Base64.h"
#include "CAppSettings.h"
#include "CGUITavrelRegister.h"
#include "MusicDatabase.h"
#include "WhatsNew.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include <memory>

namespace {

std::string Answer(const std::string& version)
{
    return "<?xml version=\"1.0\"?><upd:Info><upd:ProductCode>SONACAP</upd:ProductCode>"
           "<upd:ProductVer>" + version + "</upd:ProductVer>"
           "<upd:DownloadURL>https://download.example/get</upd:DownloadURL>"
           "<upd:WhatsNew><upd:Description>" + Base64EncodeString("Faster start.") +
           "</upd:Description></upd:WhatsNew></upd:Info>";
}

WhatsNew* ShownUpdateDialog()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<WhatsNew*>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

class MainUIUpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings = CAppSettings::GetInstance();
        settings->SetCurrentVersion(QStringLiteral("1.0.0.1"));
        previous = SetEngineFactory(&factory);
        previousOpener = WhatsNew::SetUrlOpener([this](const QUrl& url) { opened << url; });
    }
    void TearDown() override
    {
        window.reset();
        CGUITavrelRegister::SetServiceAddress(QString());
        WhatsNew::SetUrlOpener(previousOpener);
        SetEngineFactory(previous);
    }
    // The window as main() makes it: shown, then the start-up update check.
    void Start(const QString& serviceAddress, const QDate& lastCheck)
    {
        CGUITavrelRegister::SetServiceAddress(serviceAddress);
        settings->SetUpdateDate(lastCheck.year(), lastCheck.month(), lastCheck.day());
        if (!DB_IsOpen())
            DB_OpenDatabase();
        window.reset(new TestMainUI);
        window->show();
        window->CheckUpdateOnStart();
    }
    QAction* MenuAction(const QString& text)
    {
        for (QAction* action : window->findChildren<QAction*>())
            if (action->text() == text)
                return action;
        return nullptr;
    }

    CAppSettings* settings = nullptr;
    FakeEngineFactory factory;
    IEngineFactory* previous = nullptr;
    std::unique_ptr<TestMainUI> window;
    LocalHttpServer server;
    QList<QUrl> opened;
    WhatsNew::UrlOpener previousOpener;
};

} // namespace

TEST_F(MainUIUpdateTest, StartUpShowsANewerVersionByItself)
{
    server.SetAnswer({200, Answer("1.1")});
    Start(QString::fromStdString(server.Address()), QDate::currentDate().addDays(-1));
    ASSERT_TRUE(WaitFor([] { return ShownUpdateDialog() != nullptr; }, 20000));
    WhatsNew* dialog = ShownUpdateDialog();
    EXPECT_TRUE(dialog->Label()->text().contains(QStringLiteral("New version: 1.1")));
    dialog->YesButton()->click();
    EXPECT_EQ(opened, QList<QUrl>{QUrl(QStringLiteral("https://download.example/get?product=SONACAP"))});
    int y = 0, m = 0, d = 0;
    settings->GetUpdateDate(&y, &m, &d);
    EXPECT_EQ(QDate(y, m, d), QDate::currentDate());
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(MainUIUpdateTest, StartUpChecksOnlyWhenDue)
{
    server.SetAnswer({200, Answer("1.1")});
    Start(QString::fromStdString(server.Address()), QDate::currentDate());
    WaitFor([] { return false; }, 300);
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_EQ(ShownUpdateDialog(), nullptr);
}

TEST_F(MainUIUpdateTest, MenuSaysNewestOrCouldNotCheck)
{
    struct Case {
        const char* name;
        bool serverUp;
        const char* message;
    };
    const Case cases[] = {
        {"equal version", true, "You are using the newest version"},
        {"server stopped", false, "Could not check for updates"},
    };
    for (const Case& c : cases) {
        server.SetAnswer({200, Answer("1.0.0.1")});
        const QString address = c.serverUp
                                    ? QString::fromStdString(server.Address())
                                    : QStringLiteral("http://127.0.0.1:%1").arg(LocalHttpServer::RefusedPort());
        Start(address, QDate::currentDate());
        QAction* check = MenuAction(QStringLiteral("Check for Updates"));
        ASSERT_NE(check, nullptr);
        check->trigger();
        ASSERT_TRUE(WaitFor([&] {
            WhatsNew* d = ShownUpdateDialog();
            return d && d->Label()->text() == QLatin1String(c.message);
        }, 20000)) << c.name;
        EXPECT_EQ(ShownUpdateDialog()->NoButton()->text(), QStringLiteral("OK")) << c.name;
        EXPECT_TRUE(ShownUpdateDialog()->YesButton()->isHidden()) << c.name;
        window.reset();
    }
}
