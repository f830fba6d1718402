// Switching the interface language while a song is paused: every text on
// screen changes at once.
#include "MainUITestSupport.h"

#include "../../common/ProgramLook.h"
#include "CAppSettings.h"
#include "CPlayInfoGroup.h"
#include "CPreferencesDialog.h"
#include "CShowListWidget.h"
#include "CToolBar.h"
#include "CListTreeItem.h"
#include "CTreeLib.h"
#include "CTreeWidgetItem.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QTextDocument>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

// Every text a user can read in the window now: labels, buttons, boxes,
// edits, list titles and the cells of the rows on show.
QStringList VisibleTexts(QWidget* window)
{
    QStringList texts;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        // Shown, and not moved out of its parent's sight (a card slides off
        // the page before it goes).
        if (!w->isVisible() || w->visibleRegion().isEmpty())
            continue;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->textFormat() != Qt::RichText && !Qt::mightBeRichText(label->text()))
                texts << label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            texts << button->text();
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            texts << group->title();
        } else if (auto* box = qobject_cast<QComboBox*>(w)) {
            texts << box->currentText();
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            texts << edit->text() << edit->placeholderText();
        } else if (auto* tree = qobject_cast<QTreeWidget*>(w)) {
            for (int c = 0; c < tree->columnCount(); ++c) {
                if (!tree->isColumnHidden(c))
                    texts << tree->headerItem()->text(c);
            }
            for (int i = 0; i < tree->topLevelItemCount(); ++i) {
                const QTreeWidgetItem* row = tree->topLevelItem(i);
                for (int c = 0; !row->isHidden() && c < tree->columnCount(); ++c)
                    texts << row->text(c);
            }
        }
    }
    texts.removeAll(QString());
    return texts;
}

// The visible texts that are program texts left in English: a source text
// whose translation differs, and that is no translation itself. The user's
// own data is what it is: `data` (a play list's name, a song named after its
// file).
QStringList UntranslatedOnScreen(QWidget* window, const QString& language, const QStringList& data)
{
    const QHash<QString, QString> translations = program_look::Translations(language);
    const QSet<QString> translated(translations.cbegin(), translations.cend());
    QStringList left;
    for (const QString& text : VisibleTexts(window)) {
        const auto it = translations.constFind(text);
        if (it != translations.cend() && it.value() != text && !translated.contains(text) && !data.contains(text))
            left << text;
    }
    left.removeDuplicates();
    return left;
}

class MainUILanguageTest : public FakeEngineWindowTest {
protected:
    // Chooses the language in Settings and presses OK, as the user does.
    void SwitchTo(const QString& code)
    {
        window->onExec = [code](QDialog* dialog) {
            auto* preferences = qobject_cast<CPreferencesDialog*>(dialog);
            if (!preferences)
                return 0;
            const int index = QStringList{"en", "jp", "de", "rus"}.indexOf(code);
            preferences->LanguageBox()->setCurrentIndex(index);
            preferences->Save();
            return 1;
        };
        window->RecordingSetting();
        window->onExec = nullptr;
        QCoreApplication::processEvents();
    }
};

TEST_F(MainUILanguageTest, SwitchingWithASongPausedLeavesNoEnglishOnScreen)
{
    TestMainUI& w = Open();
    w.show();
    // A song without artist and genre: "Unknown Artist" and "Other" show.
    w.RecorderModuleStart();
    const QString path = OutputFolder() + "/paused.wav";
    WriteToneWav(path, 4);
    factory.engine->SongStart(path);
    ASSERT_TRUE(WaitFor([&] { return w.LibraryPage()->RecordingRow() != nullptr; }));
    factory.engine->SongEnd(path);
    ASSERT_TRUE(WaitFor([&] { return w.SongsStored(); }));
    w.RecorderModuleStop();
    w.ShowMedia();
    ASSERT_TRUE(WaitFor([&] { return w.LibraryPage()->GetVisibleCount() == 1; }));
    w.StartNewPlay(0);
    ASSERT_TRUE(WaitFor([&] { return w.ControlBar()->GetPlayState() == CToolBar::Playing; }));
    w.ControlBar()->PausePlay();
    ASSERT_EQ(w.ControlBar()->GetPlayState(), CToolBar::Paused);
    // Stored in the language of their day: the first play list's name (made
    // with the library) and the file name an unrecognised song took.
    // The Genre column's "Other" is one word in every language.
    const QStringList data = {w.TreeLib()->FindList(4)->GetListName(),
                              QFileInfo(w.LibraryPage()->GetVisibleItems().value(0)->GetMusicPath()).completeBaseName(),
                              QStringLiteral("Other")};

    for (const QString& code : {QStringLiteral("de"), QStringLiteral("jp"), QStringLiteral("rus")}) {
        SCOPED_TRACE(code.toStdString());
        SwitchTo(code);
        ASSERT_EQ(settings->GetLanguage(), code);
        EXPECT_EQ(w.ControlBar()->PlayInfo()->m_statusLabel->text().toStdString(),
                  program_look::Translations(code).value("Paused").toStdString());
        for (const bool libraryPage : {true, false}) {
            SCOPED_TRACE(libraryPage ? "library page" : "recording page");
            if (libraryPage)
                w.ShowMedia();
            else
                w.ShowRecording();
            QCoreApplication::processEvents();
            const QStringList left = UntranslatedOnScreen(&w, code, data);
            EXPECT_TRUE(left.isEmpty()) << "still in English: " << left.join(" | ").toStdString();
        }
    }
    SwitchTo("en");
    w.ShowMedia();
    QCoreApplication::processEvents();
    EXPECT_EQ(w.ControlBar()->PlayInfo()->m_statusLabel->text().toStdString(), "Paused");
    const QStringList texts = VisibleTexts(&w);
    EXPECT_TRUE(texts.contains("Unknown Artist"));
    EXPECT_TRUE(texts.contains("Other"));
}

}  // namespace
