// The notice, about and driver dialogs.
#include "CAbout.h"
#include "CAppSettings.h"
#include "CInstallExtrasDialog.h"
#include "CLabelPress.h"
#include "CPasswordDialog.h"
#include "DiskNoEnoughDialog.h"
#include "MyQLabel.h"
#include "Sonacap.h"
#include "guidialogExpire.h"
#include "guidialogMicrophone.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {
QString IniPath()
{
    return CAppSettings::GetInstance()->GetFileName();
}

class FakeDriverSetup : public ISonacapDriverSetup {
public:
    explicit FakeDriverSetup(bool succeeds) : m_succeeds(succeeds) {}
    bool CheckDriverExist(const char*) override { return false; }
    bool Install() override { ++installs; return m_succeeds; }
    bool Uninstall() override { return true; }
    bool IsDriverDefaultDevice() override { return false; }
    int installs = 0;

private:
    bool m_succeeds;
};
} // namespace

TEST(NoticeDialogsTest, ExpireNoticeKeepsItsStateInTheSettingsFile)
{
    // The settings store and this dialog share the file: make it exist first.
    CAppSettings* settings = CAppSettings::GetInstance();
    settings->SetVolumeValue(42);
    {
        QSettings file(IniPath(), QSettings::IniFormat);
        file.remove("PortInfo/state");
    }
    {
        guidialogExpire notice(nullptr);
        EXPECT_EQ(notice.GetState(), 0);
        notice.CheckBox()->setChecked(true);   // written at once
        EXPECT_EQ(QSettings(IniPath(), QSettings::IniFormat).value("PortInfo/state").toInt(), 2);
        notice.CheckBox()->setChecked(false);
        EXPECT_EQ(QSettings(IniPath(), QSettings::IniFormat).value("PortInfo/state").toInt(), 0);
        notice.CheckBox()->setChecked(true);
        notice.close();   // also when closed by the frame
    }
    guidialogExpire again(nullptr);
    EXPECT_EQ(again.GetState(), 2);
    // The dialog touches no other key.
    EXPECT_EQ(settings->GetVolumeValue(), 42);
    EXPECT_EQ(QSettings(IniPath(), QSettings::IniFormat).value("Volume_Value").toInt(), 42);
}

TEST(NoticeDialogsTest, LinksFollowTheInterfaceLanguage)
{
    struct Case {
        const char* language;
        const char* homePath;
        const char* helpSuffix;
    };
    const Case cases[] = {
        {"de", "/de/sonacap/", ".de"},
        {"jp", "/jp/sonacap/", ".ja"},
        {"rus", "/sonacap/", ".en"},
        {"en", "/sonacap/", ".en"},
        {"", "/sonacap/", ".en"},
    };
    CAppSettings* settings = CAppSettings::GetInstance();
    const QString saved = settings->GetLanguage();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        settings->SetLanguage(QString::fromLatin1(c.language));
        CAbout about(nullptr, 0);
        EXPECT_TRUE(about.HomePage().startsWith("https://"));
        EXPECT_TRUE(about.HomePage().endsWith(QLatin1String(c.homePath))) << about.HomePage().toStdString();
        EXPECT_EQ(about.HomePageLink()->Url(), about.HomePage());
        EXPECT_EQ(about.SupportLink()->Url(), settings->GetSupportLink());
        EXPECT_EQ(about.VersionLabel()->text(), settings->GetCurrentVersion());

        guidialogMicrophone notice(nullptr);
        EXPECT_TRUE(notice.HelpUrl().endsWith(QLatin1String(c.helpSuffix)));
        EXPECT_EQ(notice.MoreInfoLink()->Url(), notice.HelpUrl());
    }
    settings->SetLanguage(saved);
}

TEST(NoticeDialogsTest, ContactLabelReactsToTheLeftButtonOnly)
{
    guidialogMicrophone notice(nullptr);
    MyQLabel* contact = notice.ContactLabel();
    ASSERT_NE(contact, nullptr);
    EXPECT_EQ(contact->objectName(), QStringLiteral("m_pLabelContact"));
    // Keep the modal bug report out of the test: only the signal is watched.
    QObject::disconnect(contact, &MyQLabel::clicked, contact, &MyQLabel::shwBugReport);
    QSignalSpy clicked(contact, &MyQLabel::clicked);
    QTest::mouseClick(contact, Qt::RightButton);
    QTest::mouseClick(contact, Qt::MiddleButton);
    EXPECT_EQ(clicked.count(), 0);
    QTest::mouseClick(contact, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

TEST(NoticeDialogsTest, DiskNoticeAndOkButtonsClose)
{
    DiskNoEnoughDialog disk(nullptr);
    EXPECT_EQ(disk.MessageLabel()->text(), QStringLiteral("The current path is invalid!"));
    EXPECT_EQ(disk.objectName(), QStringLiteral("regDlog"));

    guidialogMicrophone microphone(nullptr);
    microphone.show();
    microphone.OkButton()->click();
    EXPECT_FALSE(microphone.isVisible());
}

TEST(ExtraDriverDialogsTest, InstallEndsTheDialogOnlyOnSuccess)
{
    for (bool succeeds : {true, false}) {
        SCOPED_TRACE(succeeds);
        FakeDriverSetup setup(succeeds);
        CInstallExtrasDialog dialog(&setup, nullptr);
        dialog.setResult(0);
        dialog.show();
        dialog.InstallButton()->click();
        EXPECT_EQ(setup.installs, 1);
        EXPECT_FALSE(dialog.InstallButton()->isEnabled());
        EXPECT_EQ(dialog.result(), succeeds ? 1 : 0);
        EXPECT_EQ(dialog.isVisible(), !succeeds);
    }

    CPasswordDialog password(nullptr);
    QSignalSpy succeeded(&password, &CPasswordDialog::InstallSucceed);
    password.Install();
    EXPECT_EQ(succeeded.count(), 0);
    EXPECT_EQ(password.PasswordEdit()->echoMode(), QLineEdit::Password);
}
