// The main window's play queue edges, the scheduled task, keys, the Edit
// commands and the tag editor, against a fake engine.
#include "MainUITestSupport.h"

#include "../../common/Mp3Tone.h"
#include "../../common/TypeText.h"
#include "CAbout.h"
#include "CAppSettings.h"
#include "CDeleteDialog.h"
#include "CDefLineEdit.h"
#include "CLabelPress.h"
#include "CMToolButton.h"
#include "CMusicInfoTreeWidget.h"
#include "CMusicTagsEditDialog.h"
#include "CPreferencesDialog.h"
#include "CRecordingWidget.h"
#include "CSetTaskDialog.h"
#include "CShowCoverWidget.h"
#include "CShowListWidget.h"
#include "CStatusBar.h"
#include "CTagWriter.h"
#include "CToolBar.h"
#include "CTreeLib.h"
#include "CTreeWidgetItem.h"
#include "DesktopLinks.h"
#include "DialogSeams.h"
#include "MusicDatabase.h"
#include "PlayQueue.h"
#include "SystemHelpers.h"
#include "WidgetFlags.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <memory>

namespace {


class MainUICommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings = CAppSettings::GetInstance();
        settings->SetRecordMode(-1);
        settings->SetSplitMode(1);
        settings->SetFilterMode(1);
        settings->SetFilterTime(1);
        settings->SetDeleteType(1);
        ResetLibrary();
        previous = SetEngineFactory(&factory);
        window.reset(new TestMainUI);
        window->show();
    }
    void TearDown() override
    {
        SetPictureFileChooser(nullptr);
        window.reset();
        SetEngineFactory(previous);
    }
    CTreeWidgetItem* Record(const QString& name, double seconds = 2.5)
    {
        return RecordToneSong(*factory.engine, *window, name, seconds);
    }
    // The fake engine "records" the song file already at path; the row it
    // leaves in the library.
    CTreeWidgetItem* RecordFile(const QString& path)
    {
        factory.engine->SongStart(path);
        EXPECT_TRUE(WaitFor([&] { return window->LibraryPage()->RecordingRow() != nullptr; }));
        CTreeWidgetItem* row = window->LibraryPage()->RecordingRow();
        factory.engine->SongEnd(path);
        EXPECT_TRUE(WaitFor([&] { return window->SongsStored(); }));
        return row;
    }
    void Release(Qt::Key key, bool autoRepeat)
    {
        QKeyEvent e(QEvent::KeyRelease, key, Qt::NoModifier, QString(), autoRepeat);
        window->SendKeyRelease(&e);
    }
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers)
    {
        QKeyEvent e(QEvent::KeyPress, key, modifiers);
        window->SendKeyPress(&e);
    }
    void SelectFirst()
    {
        CMusicInfoTreeWidget* list = window->LibraryPage()->TrackList();
        list->clearSelection();
        if (CTreeWidgetItem* row = window->LibraryPage()->GetVisibleItems().value(0))
            row->setSelected(true);
    }

    CShowCoverWidget* CardOf(CTreeWidgetItem* row) const
    {
        for (CShowCoverWidget* card : window->RecordingPage()->SlotWidgets()) {
            if (card->Item() == row)
                return card;
        }
        return nullptr;
    }

    CAppSettings* settings = nullptr;
    FakeEngineFactory factory;
    IEngineFactory* previous = nullptr;
    std::unique_ptr<TestMainUI> window;
};

TEST_F(MainUICommandsTest, QueueOfMissingSongsStopsAfterOneRoundWithANotice)
{
    QList<CTreeWidgetItem*> rows;
    for (int i = 0; i < 3; ++i)
        rows.append(Record(QString("q%1").arg(i)));
    PlayQueue& queue = PlayQueue::Instance();
    ASSERT_EQ(queue.Count(), 3);
    window->RecorderModuleStop();  // the songs came in while recording
    for (CTreeWidgetItem* row : rows) {
        ASSERT_TRUE(QFile::remove(row->GetMusicPath())) << row->GetMusicPath().toStdString();
    }

    window->PlayNext();  // every entry missing: one round, one notice, no endless skipping
    EXPECT_EQ(window->DialogCount("CDeleteDialog"), 1);
    EXPECT_TRUE(window->SawText("Song playing unavailable"));
    EXPECT_EQ(window->ControlBar()->GetPlayState(), CToolBar::Stopped);
    for (CTreeWidgetItem* row : rows)
        EXPECT_FALSE(row->icon(CTreeWidgetItem::ColNotice).isNull());

    // The shown list holds only missing songs: the same notice, nothing plays.
    window->ChangeShowWidget(2);
    window->dialogs.clear();
    window->StartNewPlay(-1);
    EXPECT_TRUE(window->SawText("Song playing unavailable"));
    EXPECT_EQ(window->ControlBar()->GetPlayState(), CToolBar::Stopped);

    // Without a current entry the previous button does nothing at all.
    queue.currentIndex = -1;
    window->dialogs.clear();
    window->PlayLast();
    EXPECT_EQ(queue.currentIndex, -1);
    EXPECT_TRUE(window->dialogs.isEmpty());
}

TEST_F(MainUICommandsTest, FinishedRecordingJoinsTheQueueOnlyWhileNothingPlays)
{
    Record("a");
    Record("b");
    PlayQueue& queue = PlayQueue::Instance();
    EXPECT_EQ(queue.Count(), 2);
    EXPECT_EQ(queue.currentIndex, 1);
    EXPECT_EQ(queue.queueListId, 2);
    window->ControlBar()->SetPlayState(CToolBar::Playing);
    Record("c");
    EXPECT_EQ(queue.Count(), 2);
    window->ControlBar()->SetPlayState(CToolBar::Stopped);
}

TEST_F(MainUICommandsTest, TaskArmsTheStartTimerFromTheClock)
{
    struct Case {
        const char* name;
        QTime now;
        QTime start;
        QTime duration;
        int delayMs;
        const char* tooltip;
    };
    const Case cases[] = {
        {"start passed: tomorrow", QTime(10, 0), QTime(9, 0), QTime(1, 30), 23 * 3600 * 1000,
         "   A recording task is running\nTomorrow 09:00:00-10:30:00"},
        {"start now", QTime(10, 0), QTime(10, 0), QTime(0, 0, 15), 0,
         "A recording task is running\n     10:00:00-10:00:15"},
        {"end past midnight", QTime(22, 0), QTime(23, 30), QTime(1, 0), 90 * 60 * 1000,
         "A recording task is running\n     23:30:00-00:30:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SaveTask(c.start, c.duration, false);
        window->SetClock([&] { return c.now; });
        window->SetTask();
        EXPECT_TRUE(window->TaskStartTimer()->isActive());
        EXPECT_EQ(window->TaskStartTimer()->interval(), c.delayMs);
        EXPECT_EQ(window->StatusBar()->SchedulerButton()->toolTip(), QString::fromUtf8(c.tooltip));
    }

    // The start records and arms the stop after the duration; the stop ends
    // the task.
    window->StartRecordTask();
    EXPECT_FALSE(window->TaskStartTimer()->isActive());
    EXPECT_EQ(window->TaskStopTimer()->interval(), 3600 * 1000);
    EXPECT_EQ(window->ControlBar()->GetRecordState(), IRecordStateSource::WaitingForSong);
    window->StopRecordTask();
    EXPECT_FALSE(window->TaskStopTimer()->isActive());
    EXPECT_TRUE(CSetTaskDialog::IsTaskDisabled());
    EXPECT_EQ(window->StatusBar()->SchedulerButton()->toolTip(), QString("Recording task scheduler"));
}

TEST_F(MainUICommandsTest, PowerOffAfterTheTaskOnlyWhenNotCancelled)
{
    int powerOffs = 0;
    const ShutdownHook old = SetShutdownHook([&] {
        ++powerOffs;
        return true;
    });
    settings->SetAfterRecord(0);
    struct Case {
        int answer;
        int expected;
    };
    for (const Case c : {Case{QDialogButtonBox::Cancel, 0}, Case{QDialogButtonBox::Ok, 1}}) {
        powerOffs = 0;
        window->answers = {c.answer};  // the countdown; the stop's notice waits for nobody
        window->StopRecordTask();
        EXPECT_EQ(powerOffs, c.expected);
        EXPECT_TRUE(window->SawText("Your computer will be shutdown in 60 seconds"));
    }
    settings->SetAfterRecord(1);
    SetShutdownHook(old);
}

TEST_F(MainUICommandsTest, HeldDeleteDeletesEverySixthRepeatAndOnRelease)
{
    for (int i = 0; i < 10; ++i)
        Record(QString("d%1").arg(i));
    window->ChangeShowWidget(2);
    ASSERT_EQ(window->LibraryPage()->GetVisibleCount(), 10);
    CMainUI::ResetDeleteRepeatCounter();
    for (int i = 0; i < 5; ++i) {
        SelectFirst();
        Release(Qt::Key_Delete, true);
    }
    EXPECT_EQ(window->LibraryPage()->GetVisibleCount(), 10);
    EXPECT_TRUE(window->TreeLib()->DeleteKeyTimer()->isActive());
    SelectFirst();
    Release(Qt::Key_Delete, true);
    EXPECT_EQ(window->LibraryPage()->GetVisibleCount(), 9);
    EXPECT_EQ(CMainUI::DeleteRepeatCounter(), 5);
    SelectFirst();
    Release(Qt::Key_Delete, false);
    EXPECT_EQ(window->LibraryPage()->GetVisibleCount(), 8);
    EXPECT_FALSE(window->TreeLib()->DeleteKeyTimer()->isActive());
    EXPECT_EQ(MusicRowCount(), 8);

    // In a fixed list Delete without a selection does nothing.
    window->LibraryPage()->TrackList()->clearSelection();
    Release(Qt::Key_Delete, false);
    EXPECT_EQ(window->LibraryPage()->GetVisibleCount(), 8);
}

TEST_F(MainUICommandsTest, CutFromAFixedListCopiesAndFromAPlayListMoves)
{
    for (int i = 0; i < 3; ++i)
        Record(QString("c%1").arg(i));
    window->AddPlayList();
    const int second = window->TreeLib()->GetCurrentListId();
    ASSERT_GT(second, 4);
    CShowListWidget* page = window->LibraryPage();

    window->ChangeShowWidget(2);
    page->selectAll();
    EditFocusFlag = true;  // a line edit has the focus: no shortcut
    Press(Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(page->HeldForPaste().isEmpty());
    EditFocusFlag = false;
    Press(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(page->HeldForPaste().size(), 3);
    window->ChangeShowWidget(4);
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(page->GetListItemCount(4), 3);
    EXPECT_EQ(page->GetListItemCount(2), 3);

    // Pasting into a fixed list does nothing.
    window->ChangeShowWidget(1);
    window->MenuBarPaste();
    EXPECT_EQ(page->GetListItemCount(1), 3);

    window->ChangeShowWidget(4);
    page->selectAll();
    window->MenuBarCut();
    EXPECT_EQ(window->CutSource(), 4);
    window->ChangeShowWidget(second);
    window->MenuBarPaste();
    EXPECT_EQ(page->GetListItemCount(second), 3);
    EXPECT_EQ(page->GetListItemCount(4), 0);
    EXPECT_EQ(window->CutSource(), -1);
    EXPECT_EQ(MusicRowCount(), 3);
}

TEST_F(MainUICommandsTest, DeletingFromAPlayListKeepsTheFiles)
{
    QList<CTreeWidgetItem*> rows;
    for (int i = 0; i < 2; ++i)
        rows.append(Record(QString("p%1").arg(i)));
    window->ChangeShowWidget(2);
    window->LibraryPage()->selectAll();
    window->MenuBarCopy();
    window->ChangeShowWidget(4);
    window->MenuBarPaste();
    ASSERT_EQ(window->LibraryPage()->GetListItemCount(4), 2);
    // The player holds the first song while its list entry goes away.
    PlayQueue& queue = PlayQueue::Instance();
    queue.items = CTreeWidgetItem::ToQueue(window->LibraryPage()->GetVisibleItems());
    queue.currentIndex = 0;
    window->ControlBar()->SetPlayState(CToolBar::Paused);
    window->LibraryPage()->selectAll();
    window->DeleteMusic();
    EXPECT_EQ(window->LibraryPage()->GetListItemCount(4), 0);
    for (CTreeWidgetItem* row : rows)
        EXPECT_TRUE(QFile::exists(row->GetMusicPath())) << row->GetMusicPath().toStdString();
    EXPECT_EQ(MusicRowCount(), 2);
}

TEST_F(MainUICommandsTest, PagesAndLinks)
{
    window->ShowRecording();
    EXPECT_EQ(window->CentreStack()->currentIndex(), 1);
    EXPECT_TRUE(window->StatusBar()->RecordingButton()->isChecked());
    window->ShowMedia();
    EXPECT_EQ(window->CentreStack()->currentIndex(), 2);
    EXPECT_EQ(window->LibraryPage()->GetShownListId(), 2);
    EXPECT_TRUE(window->StatusBar()->MediaButton()->isChecked());

    settings->SetLanguage("de");
    window->HomePage();
    window->OpenFaceBook();
    ASSERT_EQ(window->urls.size(), 2);
    EXPECT_TRUE(window->urls.at(0).path().endsWith("/de/sonacap/"));
    settings->SetLanguage("en");
}

// Without a browser every link of the window says so, with the address to
// open by hand; with one, nothing is said.
TEST_F(MainUICommandsTest, LinksWithoutABrowserTellTheAddress)
{
    settings->InitWebLinks();
    const struct {
        const char* what;
        void (CMainUI::*action)();
    } links[] = {
        {"Online Help", &CMainUI::OnlineHelp},   {"Home Page", &CMainUI::HomePage},
        {"Support", &CMainUI::Support},          {"Translate", &CMainUI::TranslateForUs},
        {"Facebook", &CMainUI::OpenFaceBook},    {"Twitter", &CMainUI::OpenTwiiter},
    };
    for (const bool browser : {false, true}) {
        window->urlsOpen = browser;
        for (const auto& link : links) {
            SCOPED_TRACE(std::string(link.what) + (browser ? " with a browser" : " without a browser"));
            window->urls.clear();
            window->dialogs.clear();
            (window.get()->*link.action)();
            ASSERT_EQ(window->urls.size(), 1);
            const QString address = window->urls.first().toString();
            EXPECT_TRUE(address.startsWith("https://")) << address.toStdString();
            if (browser) {
                EXPECT_TRUE(window->dialogs.isEmpty());
            } else {
                ASSERT_EQ(window->dialogs.size(), 1);
                EXPECT_TRUE(window->SawText("No web browser could open this page"));
                EXPECT_TRUE(window->SawText(address)) << "the address to open by hand";
            }
        }
    }
}

// The notice on screen whose text holds `part`, when there is one.
CDeleteDialog* OpenNotice(const QString& part)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* notice = qobject_cast<CDeleteDialog*>(widget);
        if (notice && notice->isVisible() && notice->MessageLabel()->text().contains(part))
            return notice;
    }
    return nullptr;
}

bool ClickLink(QDialog* dialog, const QString& urlPart)
{
    for (CLabelPress* link : dialog->findChildren<CLabelPress*>()) {
        if (link->Url().contains(urlPart)) {
            QTest::mouseClick(link, Qt::LeftButton);
            return true;
        }
    }
    return false;
}

// A notice that comes up while a modal dialog is open (Settings refusing an
// output folder, a link of Settings or About without a browser) is answered
// where the user is: its Ok, clicked or pressed with Enter, closes it, and
// the dialog underneath stays open and unanswered. The same notice again
// while the first one stands over the dialog leaves that one, answerable.
// Clicks and keys go through the window system, which holds back what a
// modal dialog blocks.
TEST_F(MainUICommandsTest, ANoticeOverAModalDialogAnswersItsOk)
{
    settings->InitWebLinks();
    SetDesktopOpener([](const QUrl&) { return false; });   // no browser
    const struct {
        const char* what;
        std::function<void()> open;
        std::function<bool(QDialog*)> raiseNotice;
        const char* text;
    } cases[] = {
        {"Settings, an output folder that cannot hold recordings",
         [&] { window->SetPreferences(CPreferencesDialog::kPageGeneral); },
         [](QDialog* d) { return !static_cast<CPreferencesDialog*>(d)->ChooseFolder("/sys/kernel"); },
         "Choose another folder."},
        {"Settings, Translate for us without a browser",
         [&] { window->SetPreferences(CPreferencesDialog::kPageGeneral); },
         [](QDialog* d) { return ClickLink(d, "/translation/"); }, "No web browser could open this page"},
        {"About, the support link without a browser", [&] { window->About(); },
         [](QDialog* d) { return ClickLink(d, static_cast<CAbout*>(d)->SupportLink()->Url()); },
         "No web browser could open this page"},
    };
    const struct {
        const char* how;
        bool enter;
        bool twice;
    } answers[] = {{", Ok clicked", false, false}, {", Enter", true, false}, {", raised twice", false, true}};
    for (const auto& c : cases) {
        for (const auto& a : answers) {
            const bool enter = a.enter;
            SCOPED_TRACE(std::string(c.what) + a.how);
            bool raised = false;
            bool noticeShown = false;
            int noticesShown = 0;
            bool noticeClosed = false;
            bool dialogOpen = false;
            int result = -1;
            window->onExec = [&](QDialog* dialog) {
                // The user reads the notice, answers it and leaves the dialog.
                auto answer = [&, dialog] {
                    QPointer<CDeleteDialog> notice;
                    noticeShown = WaitFor([&] { return (notice = OpenNotice(c.text)) != nullptr; }, 3000);
                    for (QWidget* widget : QApplication::topLevelWidgets()) {
                        auto* shown = qobject_cast<CDeleteDialog*>(widget);
                        if (shown && shown->isVisible() && shown->MessageLabel()->text().contains(c.text))
                            ++noticesShown;
                    }
                    if (noticeShown) {
                        if (enter) {
                            // Where the keyboard is: the notice, not the dialog under it.
                            WaitFor([&] { return QGuiApplication::focusWindow() == notice->windowHandle(); }, 3000);
                            QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Return);
                        } else {
                            const QList<QPushButton*> buttons = notice->findChildren<QPushButton*>();
                            if (!buttons.isEmpty()) {
                                QPushButton* ok = buttons.first();
                                QTest::mouseClick(notice->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                                                  ok->mapTo(notice, ok->rect().center()));
                            }
                        }
                        noticeClosed = WaitFor([&] { return !notice || !notice->isVisible(); }, 3000);
                    }
                    dialogOpen = dialog->isVisible();
                    dialog->reject();
                };
                QTimer::singleShot(0, dialog, [&, dialog, answer] {
                    raised = c.raiseNotice(dialog);
                    if (!a.twice) {
                        answer();
                        return;
                    }
                    // Once the first one stands over the dialog, the same
                    // notice again, from the event loop as notices come.
                    WaitFor([&] { return QApplication::activeModalWidget() == OpenNotice(c.text); }, 3000);
                    QTimer::singleShot(0, dialog, [&, dialog, answer] {
                        raised = c.raiseNotice(dialog) && raised;
                        QTimer::singleShot(200, dialog, answer);
                    });
                });
                result = dialog->exec();
                return result;
            };
            c.open();
            window->onExec = nullptr;
            EXPECT_TRUE(raised);
            ASSERT_TRUE(noticeShown);
            EXPECT_EQ(noticesShown, 1) << "the same notice stands once";
            EXPECT_TRUE(noticeClosed) << "the notice answers its Ok";
            EXPECT_TRUE(dialogOpen);
            EXPECT_EQ(result, QDialog::Rejected) << "the dialog underneath was not answered";
            while (CDeleteDialog* left = OpenNotice(c.text))
                delete left;
        }
    }
    SetDesktopOpener(nullptr);
}

} // namespace

TEST_F(MainUICommandsTest, TheMenuEntryAndTheCardOpenTheEditorAndTheSavedDataShowsEverywhere)
{
    const QString take = OutputFolder() + "/take.mp3";
    QFile mp3File(take);
    ASSERT_TRUE(mp3File.open(QIODevice::WriteOnly));
    mp3File.write(Mp3Tone(2.5));
    mp3File.close();
    CTreeWidgetItem* row = RecordFile(take);
    ASSERT_TRUE(row);
    const int musicId = row->GetMusicId();
    // The card strip gets its slots when the recording page is laid out.
    window->ShowRecording();
    ASSERT_TRUE(WaitFor([&] { return CardOf(row) != nullptr; }));
    CShowCoverWidget* card = CardOf(row);
    EXPECT_EQ(card->TitleText(), QStringLiteral("Track"));
    const QString cover = OutputFolder() + "/art.png";
    QImage art(40, 40, QImage::Format_RGB32);
    art.fill(Qt::darkCyan);
    ASSERT_TRUE(art.save(cover, "PNG"));
    SetPictureFileChooser([&](QWidget*, const QString&, const QString&, const QString&) {
        return QStringList{cover};
    });

    // The library page's context menu entry.
    QString shownTitle;
    window->onExec = [&](QDialog* dialog) {
        auto* editor = qobject_cast<CMusicTagsEditDialog*>(dialog);
        if (!editor)
            return 0;
        shownTitle = editor->TitleEdit()->GetText();
        TypeText(editor->TitleEdit(), "Edited Title");
        TypeText(editor->ArtistEdit(), "Edited Artist");
        editor->AddButton()->click();
        editor->ButtonBox()->button(QDialogButtonBox::Ok)->click();
        return editor->result();
    };
    window->ChangeShowWidget(1);
    window->LibraryPage()->TrackList()->setCurrentItem(row);
    window->LibraryPage()->EditTagsAction()->trigger();
    ASSERT_EQ(window->DialogCount("CMusicTagsEditDialog"), 1);
    EXPECT_EQ(shownTitle, QStringLiteral("Track"));   // recorded unrecognised

    EXPECT_EQ(row->text(CTreeWidgetItem::ColName), QStringLiteral("Edited Title"));
    EXPECT_EQ(row->text(CTreeWidgetItem::ColArtist), QStringLiteral("Edited Artist"));
    ASSERT_EQ(CardOf(row), card);
    EXPECT_TRUE(card->TitleText().startsWith(QStringLiteral("Edited"))) << card->TitleText().toStdString();
    MusicInfoRow stored;
    ASSERT_EQ(DB_GetMusicInfo(musicId, &stored), 1);
    DB_GetImageInfo(&stored);
    EXPECT_STREQ(stored.Info.MusicName, "Edited Title");
    EXPECT_EQ(stored.MusicPath, OutputFolder() + "/Edited Title.mp3");
    ASSERT_EQ(stored.Info.CoverCount, 1);
    EXPECT_EQ(card->CoverPath(), QString::fromUtf8(stored.Info.CoverPaths[0]));

    window->LibraryPage()->TagWriter()->WaitUntilIdle();
    TagLib::MPEG::File mp3(stored.MusicPath.toUtf8().constData());
    ASSERT_TRUE(mp3.hasID3v2Tag());
    EXPECT_EQ(mp3.ID3v2Tag()->title().to8Bit(true), "Edited Title");
    EXPECT_EQ(mp3.ID3v2Tag()->artist().to8Bit(true), "Edited Artist");
    EXPECT_EQ(mp3.ID3v2Tag()->frameListMap()["APIC"].size(), 1u);

    // The card's own "Edit" opens it on the same song.
    window->onExec = [&](QDialog* dialog) {
        auto* editor = qobject_cast<CMusicTagsEditDialog*>(dialog);
        if (editor)
            shownTitle = editor->TitleEdit()->GetText();
        return 0;
    };
    card->Edit();
    EXPECT_EQ(window->DialogCount("CMusicTagsEditDialog"), 2);
    EXPECT_EQ(shownTitle, QStringLiteral("Edited Title"));
}
