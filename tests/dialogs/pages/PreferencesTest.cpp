// The preferences dialog and its pages over the real settings store.
#include "CAppSettings.h"
#include "CNetWidget.h"
#include "CNoContextMenuEdit.h"
#include "CPreferencesDialog.h"
#include "CSetSourceDialog.h"
#include "CSetTaskDialog.h"
#include "LibrarySeams.h"
#include "Sonacap.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QToolBar>
#include <QTranslator>
#include <gtest/gtest.h>

#include <cstring>

namespace {
class FakeEngine : public CSonacapBase {
public:
    explicit FakeEngine(QStringList names) : m_names(std::move(names)) {}
    int EnumInputDevice() override { ++enumerations; return 0; }
    int InputDeviceCount() override { return m_names.size(); }
    int GetInputDevice(unsigned index, char* buf, int size) override
    {
        if (index >= static_cast<unsigned>(m_names.size()))
            return -4095;
        const QByteArray name = m_names.at(static_cast<int>(index)).toUtf8();
        if (name.size() + 1 > size)
            return -4091;
        std::memcpy(buf, name.constData(), static_cast<size_t>(name.size()) + 1);
        return 0;
    }
    int SelectMode(int, AudioParam, const char*) override { return 0; }
    int Start(int, int, int) override { return 0; }
    void Pause(bool) override {}
    void Stop() override {}
    void Reset() override {}
    void SetPreviewVolume(int) override {}
    int GetPreviewVolume() override { return 0; }
    void SetTextParam(int, const char*) override {}
    void SetIntParam(int, int) override {}

    int enumerations = 0;

private:
    QStringList m_names;
};

CAppSettings* Settings() { return CAppSettings::GetInstance(); }

void StoreDefaults()
{
    CAppSettings* s = Settings();
    s->SetSplitMode(1);
    s->SetSplitTime(200);
    s->SetFilterMode(1);
    s->SetFilterTime(1);
    s->SetOutputFileType(0);
    s->SetBitRate(192);
    s->SetSampleRate(44100);
    s->SetRecordMode(-1);
    s->SetDeviceId(QString());
    s->SetLanguage(QStringLiteral("en"));
    s->SetProxyEnabled(0);
    s->SetProxyType(0);
    s->SetPreferenceIndex(0);
    CSetTaskDialog::SetTaskDisabled();
}

// The checked page actions' indexes.
QList<int> CheckedPages(const CPreferencesDialog& dialog)
{
    QList<int> checked;
    const QList<QAction*> actions = dialog.PageActions();
    for (int i = 0; i < actions.size(); ++i)
        if (actions.at(i)->isChecked())
            checked << i;
    return checked;
}
} // namespace

TEST(PreferencesTest, NavigationKeepsExactlyOnePageCheckedAndStoresTheLastPage)
{
    StoreDefaults();
    {
        CPreferencesDialog dialog(nullptr, nullptr, nullptr, nullptr, 1);
        EXPECT_EQ(dialog.Stack()->currentIndex(), 1);
        EXPECT_EQ(CheckedPages(dialog), QList<int>{1});
        dialog.PageActions().at(1)->trigger();   // the page already shown
        EXPECT_EQ(CheckedPages(dialog), QList<int>{1});
        dialog.PageActions().at(4)->trigger();
        EXPECT_EQ(dialog.Stack()->currentIndex(), 4);
        EXPECT_EQ(CheckedPages(dialog), QList<int>{4});
        QAction foreign(nullptr);
        dialog.toolBarActionTrig(&foreign);
        EXPECT_EQ(dialog.PageIndex(), 4);
        dialog.reject();
    }
    EXPECT_EQ(Settings()->GetPreferenceIndex(), 4);

    // A stored page outside the table opens the first page.
    CPreferencesDialog bad(nullptr, nullptr, nullptr, nullptr, 17);
    EXPECT_EQ(bad.Stack()->currentIndex(), 0);
    EXPECT_EQ(CheckedPages(bad), QList<int>{0});
}

// The page stack has no top margin of its own, so a page whose layout has
// none either puts its first row right against the page tool bar.
TEST(PreferencesTest, FirstRowsKeepTheirDistanceFromTheToolBar)
{
    StoreDefaults();
    CPreferencesDialog dialog(nullptr, nullptr, nullptr, nullptr, CPreferencesDialog::kPageGeneral);
    dialog.show();
    QApplication::processEvents();
    const int generalTop = dialog.FolderBox()->mapTo(dialog.Stack(), QPoint()).y();
    dialog.PageActions().at(CPreferencesDialog::kPageFormat)->trigger();
    QApplication::processEvents();
    const int formatTop = dialog.FormatBox()->mapTo(dialog.Stack(), QPoint()).y();
    EXPECT_GT(generalTop, 0);
    EXPECT_GT(formatTop, 0);
    dialog.reject();
}

TEST(PreferencesTest, CancelStoresNothingOfThePages)
{
    StoreDefaults();
    Settings()->SetOutputPath({"/tmp/a", "/tmp/b"});
    {
        CPreferencesDialog dialog(nullptr, nullptr, nullptr, nullptr, 0);
        dialog.ChooseFolder("/tmp/new");
        dialog.SplitCheck()->setChecked(false);
        dialog.FormatBox()->setCurrentIndex(1);
        dialog.SampleRateBox()->setCurrentIndex(1);
        dialog.NetPage()->ProxyCheck()->setChecked(true);
        dialog.TaskPage()->TaskCheckBox()->setChecked(true);
        dialog.LanguageBox()->setCurrentIndex(2);
        dialog.CancelButton()->click();
        EXPECT_EQ(dialog.result(), 0);
    }
    EXPECT_EQ(Settings()->GetOutputPath().first(), QStringLiteral("/tmp/a"));
    EXPECT_EQ(Settings()->GetSplitMode(), 1);
    EXPECT_EQ(Settings()->GetOutputFileType(), 0);
    EXPECT_EQ(Settings()->GetSampleRate(), 44100);
    EXPECT_EQ(Settings()->GetProxyEnabled(), 0);
    EXPECT_TRUE(CSetTaskDialog::IsTaskDisabled());
    EXPECT_EQ(Settings()->GetLanguage(), QStringLiteral("en"));
}

TEST(PreferencesTest, SplitChoiceRaisesTheFilterMinimumAtOnce)
{
    StoreDefaults();
    Settings()->SetSplitTime(5000);
    Settings()->SetFilterTime(3);
    {
        CPreferencesDialog dialog(nullptr, nullptr, nullptr, nullptr, 3);
        EXPECT_EQ(Settings()->GetFilterTime(), 6);
        EXPECT_EQ(dialog.FilterSpin()->value(), 6);
        EXPECT_EQ(dialog.FilterSpin()->minimum(), 6);
        EXPECT_EQ(dialog.FilterSpin()->maximum(), 1000);

        dialog.SplitBox()->setCurrentIndex(10);   // "10.0"
        EXPECT_EQ(Settings()->GetFilterTime(), 11);
        EXPECT_EQ(dialog.FilterSpin()->value(), 11);
        EXPECT_EQ(dialog.FilterSpin()->minimum(), 11);
        dialog.reject();
    }
    EXPECT_EQ(Settings()->GetFilterTime(), 11);   // stays written after Cancel

    // A stored split that is no choice shows and saves the first choice.
    Settings()->SetSplitTime(700);
    CPreferencesDialog dialog(nullptr, nullptr, nullptr, nullptr, 3);
    EXPECT_EQ(dialog.SplitBox()->currentIndex(), 0);
    dialog.Save();
    EXPECT_EQ(Settings()->GetSplitTime(), 200);
}

TEST(PreferencesTest, SaveStoresThePagesByTheirRules)
{
    struct Case {
        const char* name;
        bool split;
        int format;        // 0 MP3, 1 WAV
        int bitRateIndex;  // MP3 only
        int sampleIndex;
    };
    const Case cases[] = {
        {"mp3 320 at 48000", true, 0, 4, 1},
        {"wav keeps the bit rate", true, 1, -1, 1},
        {"split off keeps the split time", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StoreDefaults();
        Settings()->SetSplitTime(1000);
        Settings()->SetBitRate(224);
        CPreferencesDialog dialog(nullptr, nullptr, nullptr, nullptr, 4);
        dialog.SplitBox()->setCurrentIndex(7);   // "3.0"
        dialog.SplitCheck()->setChecked(c.split);
        dialog.FormatBox()->setCurrentIndex(c.format);
        dialog.SampleRateBox()->setCurrentIndex(c.sampleIndex);
        if (c.format == 1) {
            ASSERT_EQ(dialog.BitRateBox()->count(), 1);
            EXPECT_EQ(dialog.BitRateBox()->currentText(),
                      c.sampleIndex == 1 ? QStringLiteral("1536") : QStringLiteral("1411"));
        } else {
            ASSERT_EQ(dialog.BitRateBox()->count(), 5);
            EXPECT_EQ(dialog.BitRateBox()->currentText(), QStringLiteral("224"));
            dialog.BitRateBox()->setCurrentIndex(c.bitRateIndex);
        }
        dialog.OkButton()->click();
        EXPECT_EQ(dialog.result(), 1);
        EXPECT_EQ(Settings()->GetSplitMode(), c.split ? 1 : 0);
        EXPECT_EQ(Settings()->GetSplitTime(), c.split ? 3000 : 1000);
        EXPECT_EQ(Settings()->GetOutputFileType(), c.format);
        const int rates[] = {128, 192, 224, 256, 320};
        EXPECT_EQ(Settings()->GetBitRate(), c.format == 1 ? 224 : rates[c.bitRateIndex]);
        EXPECT_EQ(Settings()->GetSampleRate(), c.sampleIndex == 1 ? 48000 : 44100);
    }
}

TEST(PreferencesTest, ChosenFoldersGoFirstAndTheListStaysAtFive)
{
    StoreDefaults();
    // Folders that could be made: a chosen folder is checked at once.
    QTemporaryDir tmp;
    const auto m = [&](const QStringList& names) {
        QStringList out;
        for (const QString& name : names)
            out << tmp.path() + "/m/" + name;
        return out;
    };
    const QStringList five = m({"1", "2", "3", "4", "5"});
    Settings()->SetOutputPath(five);
    {
        CPreferencesDialog dialog(nullptr, nullptr, nullptr, nullptr, 0);
        // A backslash is an ordinary character of a folder name: kept as it is.
        EXPECT_TRUE(dialog.ChooseFolder(m({"AC\\DC"}).first()));
        EXPECT_EQ(dialog.ChosenFolders(), m({"AC\\DC", "1", "2", "3", "4"}));
        EXPECT_EQ(dialog.FolderBox()->count(), 5);
        EXPECT_EQ(dialog.FolderBox()->currentText(), m({"AC\\DC"}).first());
        dialog.Save();
    }
    EXPECT_EQ(Settings()->GetOutputPath().mid(0, 5), m({"AC\\DC", "1", "2", "3", "4"}));

    Settings()->SetOutputPath(five);
    CPreferencesDialog dialog(nullptr, nullptr, nullptr, nullptr, 0);
    dialog.ChooseFolder(m({"4"}).first());   // already listed: moves to the front, nothing dropped
    EXPECT_EQ(dialog.ChosenFolders(), m({"4", "1", "2", "3", "5"}));
    EXPECT_FALSE(dialog.ChooseFolder(QString()));   // cancelled folder dialog
    EXPECT_EQ(dialog.FolderBox()->count(), 5);
    dialog.Save();
    EXPECT_EQ(Settings()->GetOutputPath(), m({"4", "1", "2", "3", "5"}));

    // One folder stored twice is listed once.
    Settings()->SetOutputPath({"/x", "/y", "/x"});
    CPreferencesDialog twice(nullptr, nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(twice.FolderBox()->count(), 2);
}

// A folder that cannot hold recordings is refused the moment it is chosen,
// with its reason; the list and the folder on show stay as they were.
TEST(PreferencesTest, AChosenFolderIsCheckedAtOnce)
{
    StoreDefaults();
    QTemporaryDir tmp;
    const QString good = tmp.path();
    const QString file = tmp.filePath("a-file");
    QFile(file).open(QIODevice::WriteOnly);
    QStringList told;
    SetQuestionAsker([&](QWidget*, const QString& text, const QList<DialogButtonInfo>&, bool, bool*) {
        told << text;
        return int(QDialogButtonBox::Ok);
    });
    Settings()->SetOutputPath({good});
    struct Case {
        QString folder;
        const char* reason;   // in the message; null: accepted
    };
    const Case cases[] = {
        {tmp.filePath("to/be/made"), nullptr},
        {file, "is a file"},
        {file + "/below", "cannot be created"},
        {"/sys/kernel", "belongs to the system"},
        {"/proc/sonacap", "belongs to the system"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        CPreferencesDialog dialog(nullptr, nullptr, nullptr, nullptr, 0);
        told.clear();
        EXPECT_EQ(dialog.ChooseFolder(c.folder), c.reason == nullptr);
        if (c.reason) {
            ASSERT_EQ(told.size(), 1);
            EXPECT_TRUE(told.first().contains(c.reason)) << told.first().toStdString();
            EXPECT_TRUE(told.first().contains(c.folder));
            EXPECT_EQ(dialog.FolderBox()->currentText(), good);
            EXPECT_EQ(dialog.FolderBox()->count(), 1);
            EXPECT_TRUE(dialog.ChosenFolders().isEmpty());
        } else {
            EXPECT_TRUE(told.isEmpty());
            EXPECT_EQ(dialog.FolderBox()->currentText(), c.folder);
            EXPECT_FALSE(QFileInfo::exists(c.folder)) << "choosing makes nothing on disk";
        }
    }

    // An earlier folder that has become a file: picking it in the box is
    // refused and the box shows the folder it showed before.
    Settings()->SetOutputPath({good, file});
    CPreferencesDialog dialog(nullptr, nullptr, nullptr, nullptr, 0);
    told.clear();
    QComboBox* box = dialog.FolderBox();
    box->setCurrentIndex(1);
    emit box->activated(1);
    EXPECT_EQ(told.size(), 1);
    EXPECT_EQ(box->currentText(), good);
    SetQuestionAsker(nullptr);
}

TEST(PreferencesTest, LanguageSwitchOnOk)
{
    StoreDefaults();
    QTemporaryDir folder;
    // A compiled translation file with no messages still loads.
    const QString built = QCoreApplication::applicationDirPath() + "/language/sonacap_de.qm";
    const bool haveGerman = QFile::exists(built);
    if (haveGerman)
        QFile::copy(built, folder.path() + "/sonacap_de.qm");

    struct Case {
        const char* name;
        const char* stored;
        int choose;          // -2: leave the box as it is
        bool switches;
        const char* after;
        bool brokenJapanese; // a sonacap_jp.qm that is no translation file
        bool german;         // German texts show afterwards
    };
    const Case cases[] = {
        {"unknown stored language", "xx", -2, false, "xx", false, false},
        {"german", "en", 2, true, "de", false, true},
        {"unchanged german still reloads", "de", -2, true, "de", false, true},
        {"broken japanese file keeps german", "de", 1, false, "de", true, true},
        {"back to english without a file", "de", 0, true, "en", false, false},
        {"missing japanese file", "en", 1, false, "en", false, false},
    };
    const QString japanese = folder.path() + "/sonacap_jp.qm";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!haveGerman && (QByteArray(c.after) == "de" || c.german)) {
            continue;
        }
        QFile::remove(japanese);
        if (c.brokenJapanese) {
            QFile broken(japanese);
            ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
            broken.write(QByteArray(4096, 'x'));
        }
        Settings()->SetLanguage(QString::fromLatin1(c.stored));
        CPreferencesDialog dialog(nullptr, nullptr, nullptr, nullptr, 0);
        dialog.SetTranslationFolder(folder.path());
        if (QByteArray(c.stored) == "xx") {
            EXPECT_EQ(dialog.LanguageBox()->currentIndex(), -1);
        }
        if (c.choose != -2)
            dialog.LanguageBox()->setCurrentIndex(c.choose);
        QSignalSpy changed(&dialog, &CPreferencesDialog::sLanguageChange);
        dialog.Save();
        EXPECT_EQ(dialog.result(), 1);
        EXPECT_EQ(changed.count(), c.switches ? 1 : 0);
        EXPECT_EQ(Settings()->GetLanguage(), QString::fromLatin1(c.after));
        EXPECT_EQ(QCoreApplication::translate("CAbout", "Home Page:") == QStringLiteral("Homepage:"), c.german);
    }
    Settings()->SetLanguage(QStringLiteral("en"));
}

TEST(SetTaskDialogTest, ArmsAndDisarmsTheTask)
{
    StoreDefaults();
    Settings()->SetTaskStart(QTime(0, 0, 0));
    Settings()->SetTaskDuration(QTime(0, 0, 15));
    Settings()->SetAfterRecord(1);
    {
        CSetTaskDialog page(nullptr);
        EXPECT_FALSE(page.TaskCheckBox()->isChecked());
        EXPECT_FALSE(page.GroupBox()->isEnabled());
        EXPECT_EQ(page.StartTimeEdit()->time(), QTime(0, 0, 0));
        EXPECT_EQ(page.DurationEdit()->time(), QTime(0, 0, 15));
        page.TaskCheckBox()->setChecked(true);
        EXPECT_TRUE(page.GroupBox()->isEnabled());
        page.ShutdownCheckBox()->setChecked(true);
        page.StartTimeEdit()->setTime(QTime(23, 59, 30));
        page.Save();
    }
    EXPECT_FALSE(CSetTaskDialog::IsTaskDisabled());
    EXPECT_EQ(Settings()->GetAfterRecord(), 0);
    QTime start;
    Settings()->GetTaskStart(&start);
    EXPECT_EQ(start, QTime(23, 59, 30));

    {
        // Reopened while armed: box checked, group enabled; unchecking disarms
        // and stores nothing.
        CSetTaskDialog page(nullptr);
        EXPECT_TRUE(page.TaskCheckBox()->isChecked());
        EXPECT_TRUE(page.GroupBox()->isEnabled());
        EXPECT_TRUE(page.ShutdownCheckBox()->isChecked());
        page.ShutdownCheckBox()->setChecked(false);
        page.TaskCheckBox()->setChecked(false);
        EXPECT_FALSE(page.GroupBox()->isEnabled());
        page.Save();
    }
    EXPECT_TRUE(CSetTaskDialog::IsTaskDisabled());
    EXPECT_EQ(Settings()->GetAfterRecord(), 0);

    // The duration never goes below the filter time.
    Settings()->SetFilterTime(90);
    CSetTaskDialog page(nullptr);
    EXPECT_EQ(page.DurationEdit()->time(), QTime(0, 1, 30));
    page.TaskCheckBox()->setChecked(true);
    page.Save();
    QTime duration;
    Settings()->GetTaskDuration(&duration);
    EXPECT_EQ(duration, QTime(0, 1, 30));
    CSetTaskDialog::SetTaskDisabled();
    EXPECT_TRUE(CSetTaskDialog::IsTaskDisabled());
}

TEST(SetSourceDialogTest, ListsTheEngineDevicesWithoutTheOwnOne)
{
    StoreDefaults();
    FakeEngine engine({"Built-in Mic", "Tavrel Audio Device", "USB Headset"});

    {
        CSetSourceDialog page(nullptr, &engine, nullptr, nullptr);
        EXPECT_EQ(engine.enumerations, 1);
        ASSERT_EQ(page.DeviceBox()->count(), 2);
        EXPECT_EQ(page.DeviceBox()->itemText(0), QStringLiteral("Built-in Mic"));
        EXPECT_EQ(page.DeviceBox()->itemText(1), QStringLiteral("USB Headset"));
        EXPECT_TRUE(page.ComputerButton()->isChecked());
        EXPECT_FALSE(page.DeviceBox()->isEnabled());
        page.InputButton()->click();
        EXPECT_TRUE(page.DeviceBox()->isEnabled());
        page.DeviceBox()->setCurrentIndex(1);
        page.Save();
    }
    EXPECT_EQ(Settings()->GetRecordMode(), 0);
    EXPECT_EQ(Settings()->GetDeviceId(), QStringLiteral("USB Headset"));

    {
        CSetSourceDialog page(nullptr, &engine, nullptr, nullptr);
        EXPECT_TRUE(page.InputButton()->isChecked());
        EXPECT_EQ(page.DeviceBox()->currentText(), QStringLiteral("USB Headset"));
        page.ComputerButton()->click();
        page.Save();
    }
    EXPECT_EQ(Settings()->GetRecordMode(), -1);
    EXPECT_EQ(Settings()->GetDeviceId(), QStringLiteral("USB Headset"));

    // Japanese texts are wider: a smaller right margin after a retranslation.
    Settings()->SetLanguage(QStringLiteral("jp"));
    CSetSourceDialog page(nullptr, &engine, nullptr, nullptr);
    page.RetranslateUi();
    EXPECT_EQ(page.Grid()->contentsMargins().right(), 60);
    Settings()->SetLanguage(QStringLiteral("en"));
}

TEST(NetWidgetTest, StoresTheProxyOnlyWhenSwitchedOn)
{
    StoreDefaults();
    Settings()->SetProxyEnabled(1);
    {
        CNetWidget page(nullptr);
        EXPECT_TRUE(page.ProxyCheck()->isChecked());
        page.HostEdit()->setText("proxy.local");
        page.PortEdit()->setText("8080");
        page.UserEdit()->setText("me");
        page.PasswordEdit()->setText("secret");
        page.SetNetworkProxy();
        EXPECT_EQ(page.PasswordEdit()->echoMode(), QLineEdit::Password);
        EXPECT_EQ(page.PasswordEdit()->maxLength(), 15);
    }
    ProxyInfo info;
    Settings()->GetProxyInfo(&info);
    EXPECT_EQ(info.type, 0);
    EXPECT_STREQ(info.host, "proxy.local");
    EXPECT_EQ(info.port, 8080);

    Settings()->SetProxyEnabled(0);
    {
        CNetWidget page(nullptr);
        EXPECT_FALSE(page.ProxyCheck()->isChecked());
        EXPECT_FALSE(page.GroupBox()->isEnabled());
        page.UserProxyChange(true);
        EXPECT_TRUE(page.GroupBox()->isEnabled());
        page.SetNetworkProxy();
    }
    Settings()->GetProxyInfo(&info);
    EXPECT_EQ(info.type, -1);
    EXPECT_STREQ(info.host, "");   // kept in the file, not handed out while off

    // Ports run from 1 to 65535: the field takes nothing else, and what an
    // older settings file put there is not stored as a port.
    Settings()->SetProxyEnabled(1);
    const struct {
        const char* text;
        bool typed;   // the validator lets the user end up with this text
        int stored;
    } ports[] = {
        {"1", true, 1}, {"8080", true, 8080}, {"65535", true, 65535}, {"0", false, 0},
        {"65536", false, 0}, {"100000", false, 0}, {"ab", false, 0}, {"", false, 0},
    };
    for (const auto& c : ports) {
        SCOPED_TRACE(c.text);
        CNetWidget page(nullptr);
        int pos = 0;
        QString text = QString::fromLatin1(c.text);
        EXPECT_EQ(page.PortEdit()->validator()->validate(text, pos) == QValidator::Acceptable, c.typed);
        page.PortEdit()->setText(QString::fromLatin1(c.text));   // as loading does, past the validator
        page.SetNetworkProxy();
        Settings()->GetProxyInfo(&info);
        EXPECT_EQ(info.port, c.stored);
    }
    Settings()->SetProxyEnabled(0);
}
