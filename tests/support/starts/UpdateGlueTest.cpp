// The update glue and dialogs with an injected check (never the network).
#include "CAppSettings.h"
#include "CGUITavrelRegister.h"
#include "ProductUpdateInfo.h"
#include "WhatsNew.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {
struct CheckerGuard {
    CGUITavrelRegister::Checker previous;
    explicit CheckerGuard(CGUITavrelRegister::Checker checker)
        : previous(CGUITavrelRegister::SetChecker(std::move(checker))) {}
    ~CheckerGuard()
    {
        CGUITavrelRegister::SetChecker(previous);
        CGUITavrelRegister::ReleaseInstance();
    }
};

CGUITavrelRegister::Checker ServerAt(const QString& version, int* calls = nullptr)
{
    return [version, calls](const CGUITavrelRegister::Inputs&) {
        if (calls)
            ++*calls;
        UpdateCheckResult result;
        result.serverVersion = version;
        result.whatsNew = QStringLiteral("Faster start.");
        result.downloadUrl = QStringLiteral("http://127.0.0.1:1/download");
        return result;
    };
}
} // namespace

TEST(UpdateGlueTest, CompareVersionNumberByNumber)
{
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        {"2.0", "2.0.0", 0},      {"2.0.0", "2.0", 0},   {"1.2.3", "1.2.3", 0},
        {"1.10", "1.9", 1},       {"1.9", "1.10", -1},   {"2", "1.9.9", 1},
        {"1.0.1", "1.0", 1},      {"", "1.0", -1},       {"1.x", "1.0", 0},
        {"1..2", "1.0.2", 0},     {"3.0.0.1", "3.0.0.0", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CGUITavrelRegister::CompareVersion(c.a, c.b), c.expected) << c.a << " vs " << c.b;
}

TEST(UpdateGlueTest, StartUpCheckShowsNothingWithoutANewerVersion)
{
    CAppSettings::GetInstance()->SetCurrentVersion(QStringLiteral("2.0"));
    int calls = 0;
    CheckerGuard guard(ServerAt(QStringLiteral("2.0.0"), &calls));
    CGUITavrelRegister::GetInstance()->InitUpdateCheck();
    ProductUpdateInfo info;
    QSignalSpy done(CGUITavrelRegister::GetInstance(), &CGUITavrelRegister::tavrelUpdateCallBack);
    CGUITavrelRegister::GetInstance()->OnUpdateResult(1);   // judges only, no check
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(done.count(), 1);
    EXPECT_EQ(CGUITavrelRegister::GetInstance()->Status(), 2);
    EXPECT_EQ(info.Dialog(), nullptr);

    info.CheckForUpdates(false, nullptr);   // automatic check: equal version stays silent
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(info.Dialog(), nullptr);
}

TEST(UpdateGlueTest, NoCheckerMeansNothingNewer)
{
    CAppSettings::GetInstance()->SetCurrentVersion(QStringLiteral("1.0.0.0"));
    CheckerGuard guard(nullptr);
    ProductUpdateInfo info;
    info.CheckForUpdates(false, nullptr);
    EXPECT_EQ(CGUITavrelRegister::GetInstance()->Status(), 2);
    EXPECT_EQ(info.Dialog(), nullptr);
}

TEST(UpdateGlueTest, MenuCheckWithTheNewestVersion)
{
    CAppSettings::GetInstance()->SetCurrentVersion(QStringLiteral("2.0"));
    WhatsNew* seenBusy = nullptr;
    QString busyLabel;
    bool busyBarShown = false;
    QString busyButton;
    ProductUpdateInfo* holder = nullptr;
    CheckerGuard guard([&](const CGUITavrelRegister::Inputs&) {
        // While the check runs the dialog shows its busy state.
        seenBusy = holder->Dialog();
        busyLabel = seenBusy->Label()->text();
        busyBarShown = !seenBusy->BusyBar()->isHidden();
        busyButton = seenBusy->NoButton()->text();
        UpdateCheckResult result;
        result.serverVersion = QStringLiteral("2.0.0");
        return result;
    });
    ProductUpdateInfo info;
    holder = &info;
    info.CheckForUpdates(true, nullptr);
    ASSERT_NE(seenBusy, nullptr);
    EXPECT_EQ(busyLabel, QStringLiteral("Check for updates..."));
    EXPECT_TRUE(busyBarShown);
    EXPECT_EQ(busyButton, QStringLiteral("Cancel"));

    WhatsNew* dialog = info.Dialog();
    ASSERT_EQ(dialog, seenBusy);
    EXPECT_EQ(dialog->Label()->text(), QStringLiteral("You are using the newest version"));
    EXPECT_EQ(dialog->NoButton()->text(), QStringLiteral("OK"));
    EXPECT_TRUE(dialog->YesButton()->isHidden());
    EXPECT_TRUE(dialog->BusyBar()->isHidden());
    dialog->NoButton()->click();
    EXPECT_FALSE(dialog->isVisible());
}

TEST(UpdateGlueTest, NewerVersionOpensTheDialogByItselfAndYesOpensTheDownload)
{
    CAppSettings::GetInstance()->SetCurrentVersion(QStringLiteral("1.2.0"));
    CheckerGuard guard(ServerAt(QStringLiteral("1.3")));
    QStringList opened;
    WhatsNew::UrlOpener previous =
        WhatsNew::SetUrlOpener([&](const QString& url) { opened << url; });

    ProductUpdateInfo info;
    info.CheckForUpdates(false, nullptr);
    WhatsNew* dialog = info.Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->Label()->text().contains("Current version: 1.2.0\nNew version: 1.3"));
    EXPECT_TRUE(dialog->Label()->text().contains(CAppSettings::GetInstance()->GetDisplayName()));
    EXPECT_EQ(dialog->ReleaseNotes()->toPlainText(), QStringLiteral("Faster start."));
    EXPECT_FALSE(dialog->YesButton()->isHidden());
    EXPECT_EQ(dialog->YesButton()->text(), QStringLiteral("Yes"));
    EXPECT_EQ(dialog->NoButton()->text(), QStringLiteral("No"));

    dialog->YesButton()->click();
    EXPECT_EQ(opened, QStringList{"http://127.0.0.1:1/download"});
    EXPECT_FALSE(dialog->isVisible());
    WhatsNew::SetUrlOpener(previous);

    // The next check replaces the dialog.
    info.CheckForUpdates(false, nullptr);
    EXPECT_NE(info.Dialog(), nullptr);
}

TEST(UpdateGlueTest, ProxyInputsFollowTheSettings)
{
    CAppSettings* settings = CAppSettings::GetInstance();
    CheckerGuard guard(nullptr);
    settings->SetProxyEnabled(1);
    settings->SetProxyType(0);
    settings->SetProxyHost(QStringLiteral("proxy.local"));
    settings->SetProxyPort(3128);
    CGUITavrelRegister::GetInstance()->InitUpdateCheck();
    EXPECT_EQ(CGUITavrelRegister::GetInstance()->CheckInputs().proxyType, 0);
    EXPECT_EQ(CGUITavrelRegister::GetInstance()->CheckInputs().proxyHost, "proxy.local");
    EXPECT_EQ(CGUITavrelRegister::GetInstance()->CheckInputs().proxyPort, 3128);

    settings->SetProxyEnabled(0);
    CGUITavrelRegister::GetInstance()->ApplyProxy();
    EXPECT_EQ(CGUITavrelRegister::GetInstance()->CheckInputs().proxyType, 2);
    EXPECT_TRUE(CGUITavrelRegister::GetInstance()->CheckInputs().proxyHost.isEmpty());

    settings->SetLanguage(QStringLiteral("de"));
    CGUITavrelRegister::GetInstance()->SetLanguage();
    EXPECT_EQ(CGUITavrelRegister::GetInstance()->CheckInputs().language, "de");
    settings->SetLanguage(QStringLiteral("en"));
}
