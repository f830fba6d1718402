// The real main window for the gallery: start page, recording page with a few
// cards, library page with its list tree, the mini window, the control bar
// while recording, the preferences dialog and a question dialog. A fake engine
// stands in for the recording engine, so nothing records and no sound server
// is needed; the songs come from a small library written before the window
// opens.
#include "MainWindowGallery.h"

#include "CAppSettings.h"
#include "CDeleteDialog.h"
#include "CMainUI.h"
#include "CMusicTagsEditDialog.h"
#include "CPreferencesDialog.h"
#include "CRecordingWidget.h"
#include "CShowListWidget.h"
#include "CToolBar.h"
#include "CTreeLib.h"
#include "CTreeWidgetItem.h"
#include "EngineFactory.h"
#include "InterfaceScale.h"
#include "MusicDatabase.h"
#include "MusicRecords.h"
#include "Sonacap.h"

#include <QApplication>
#include <QDate>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLinearGradient>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStackedWidget>
#include <QToolBar>
#include <cstdio>
#include <cstring>

namespace {

class GalleryEngine : public CSonacapBase {
public:
  int EnumInputDevice() override { return 0; }
  int InputDeviceCount() override { return 0; }
  int GetInputDevice(unsigned, char*, int) override { return -1; }
  int SelectMode(int, AudioParam, const char*) override { return 0; }
  int Start(int, int, int) override { return 0; }
  void Pause(bool) override {}
  void Stop() override {}
  void Reset() override {}
  void SetPreviewVolume(int) override {}
  int GetPreviewVolume() override { return 70; }
  void SetTextParam(int, const char*) override {}
  void SetIntParam(int, int) override {}
};

class GalleryEngineFactory : public IEngineFactory {
public:
  void InitModule(const char*, const char*) override {}
  CSonacapBase* CreateEngine() override { return new GalleryEngine; }
  void ReleaseEngine(CSonacapBase* engine) override { delete engine; }
  ISonacapDriverSetup* CreateDriverSetup() override { return nullptr; }
  void ReleaseDriverSetup(ISonacapDriverSetup*) override {}
};

struct Song {
  const char* title;
  const char* artist;
  const char* album;
  const char* genre;
  const char* length;
  const char* date;
  QRgb from, to;  // cover colours; 0: no cover
};

const Song kSongs[] = {
    {"Northern Lights", "Aurora Fields", "Polar Nights", "Ambient", "04:12", "03/14/2024 20:31", 0xFF3DA5F4, 0xFF1D2455},
    {"Paper Boats", "The Harbour Kids", "Low Tide", "Indie", "03:27", "03/14/2024 20:36", 0xFFF0884A, 0xFF3A1C4A},
    {"Midnight Drive", "Neon Avenue", "Chrome City", "Synthwave", "05:03", "03/14/2024 20:42", 0xFF7A6CFF, 0xFF0D1127},
    {"Green Valley", "Fern & Field", "Seasons", "Folk", "02:58", "today 09:05", 0xFF6CC46A, 0xFF0A1C15},
    {"", "", "", "", "01:44", "today 09:09", 0, 0},
    {"Slow Motion", "Velvet Static", "", "Electronic", "06:21", "today 09:16", 0xFFEF4B4B, 0xFF2B2F38},
    {"Über den Wolken", "Die Reisenden", "Fernweh", "Pop", "03:49", "today 09:21", 0xFF1FB6C9, 0xFF071726},
    {"Echoes", "Unknown", "", "", "04:40", "today 09:26", 0, 0},
};

// A cover picture: a diagonal gradient with a large initial.
QString WriteCover(const QString& folder, int index, const Song& song) {
  QImage image(300, 300, QImage::Format_RGB32);
  QPainter p(&image);
  QLinearGradient g(0, 0, 300, 300);
  g.setColorAt(0, QColor::fromRgb(song.from));
  g.setColorAt(1, QColor::fromRgb(song.to));
  p.fillRect(image.rect(), g);
  p.setPen(QColor(255, 255, 255, 200));
  QFont font;
  font.setPixelSize(150);
  font.setBold(true);
  p.setFont(font);
  p.drawText(image.rect(), Qt::AlignCenter, QString::fromUtf8(song.title).left(1));
  p.end();
  const QString path = folder + QStringLiteral("/cover_%1.png").arg(index);
  image.save(path);
  return path;
}

// Writes the songs into the library, the first three also into a play list
// of the user's. "All Recordings" holds every song and "New Recordings" the
// songs added today, by their dates alone, so the songs dated "today" are
// given today's date.
void FillLibrary(const QString& folder) {
  DB_OpenDatabase();
  DB_SetMusicList(5, QStringLiteral("Road Trip"));
  int musicId = 1;
  for (const Song& song : kSongs) {
    MusicInfoRow row;
    std::memset(&row.Info, 0, sizeof row.Info);
    row.MusicId = musicId;
    CopyUtf8Field(row.Info.MusicName, sizeof row.Info.MusicName, QByteArray(song.title));
    CopyUtf8Field(row.Info.Artist, sizeof row.Info.Artist, QByteArray(song.artist));
    CopyUtf8Field(row.Info.Album, sizeof row.Info.Album, QByteArray(song.album));
    CopyUtf8Field(row.Info.Genre, sizeof row.Info.Genre, QByteArray(song.genre));
    row.TimeRecorded = QString::fromLatin1(song.length);
    row.DateAdded = QString::fromLatin1(song.date);
    if (row.DateAdded.startsWith(QLatin1String("today ")))
      row.DateAdded.replace(0, 5, QDate::currentDate().toString(QStringLiteral("MM/dd/yyyy")));
    row.MusicPath = folder + QStringLiteral("/Recording %1.mp3").arg(musicId);
    QFile file(row.MusicPath);
    if (file.open(QIODevice::WriteOnly)) file.close();
    DB_SetMusicInfo(&row);
    if (song.from) {
      const QByteArray cover = WriteCover(folder, musicId, song).toUtf8();
      DB_SetImageInfo(CreatePrimaryKey(QStringLiteral("CoverInfo"), QStringLiteral("CoverId"), 1, kMaxCoverInfoRows),
                      musicId, cover.constData());
    }
    if (musicId <= 3) DB_SetMusicItem(DB_CreateItemId(), 5, musicId);
    ++musicId;
  }
}

bool Grab(QWidget* w, const QString& path) {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  const bool ok = w->grab().save(path);
  if (!ok) std::fprintf(stderr, "gallery: cannot write %s\n", qPrintable(path));
  return ok;
}

}  // namespace

void PrepareMainWindowGallery(const QString& workFolder) {
  static GalleryEngineFactory factory;
  SetEngineFactory(&factory);
  QDir().mkpath(workFolder);
  FillLibrary(workFolder);
}

void RenderMainWindow(const QString& out, const QString& prefix, int skin, const QString& programDir) {
  CAppSettings::GetInstance()->SetSkin(skin);
  const QString base = out + "/" + prefix + "_main_";
  // The previous window closed the library when it went.
  if (!DB_IsOpen()) DB_OpenDatabase();

  CMainUI window;
  window.resize(ScaledPixels(924), ScaledPixels(610));
  window.show();
  Grab(&window, base + "start.png");

  // The title bar's menu, opened under its glyph.
  if (QMenu* menu = window.MenuBar()->actions().value(0) ? window.MenuBar()->actions().value(0)->menu() : nullptr) {
    menu->popup(window.MenuBar()->mapToGlobal(QPoint(0, window.MenuBar()->height())));
    menu->setActiveAction(menu->actions().value(2));
    Grab(menu, base + "menu.png");
    menu->hide();
  }

  // Library page, "All Recordings" with a row selected.
  window.ShowMedia();
  window.ChangeShowWidget(1);
  if (CTreeWidgetItem* first = window.LibraryPage()->GetVisibleItems().value(1)) {
    first->setSelected(true);
  }
  Grab(&window, base + "library.png");

  // Recording page with cards of the songs, the control bar recording.
  window.ShowRecording();
  window.CentreStack()->setCurrentIndex(1);
  const QList<CTreeWidgetItem*> rows = window.LibraryPage()->GetVisibleItems();
  for (int i = 0; i < rows.size() && i < 5; ++i) {
    window.RecordingPage()->AddAnimItem(i == 3 ? 2 : 1, rows[i]);
    window.RecordingPage()->FinishAnimation();
  }
  window.ControlBar()->RecordStarted();
  window.ControlBar()->SongRecordStarted();
  for (int i = 0; i < 83; ++i) window.ControlBar()->UpdateRecordingTime();
  Grab(&window, base + "recording.png");
  window.ControlBar()->RecordStopped();

  window.ToggleMiniState();
  Grab(&window, base + "mini.png");
  window.ToggleMiniState();

  // Preferences: General, Audio Source, Scheduler, Format and Skin.
  {
    CPreferencesDialog dialog(nullptr, window.Engine(), nullptr, &window, CPreferencesDialog::kPageGeneral);
    dialog.SetTranslationFolder(programDir + "/language");
    dialog.show();
    Grab(&dialog, base + "preferences_general.png");
    for (int page : {int(CPreferencesDialog::kPageSource), int(CPreferencesDialog::kPageScheduler),
                     int(CPreferencesDialog::kPageFormat), int(CPreferencesDialog::kPageSkin)}) {
      dialog.PageActions().value(page)->trigger();
      Grab(&dialog, base + QStringLiteral("preferences_%1.png").arg(page));
    }
  }

  // The tag and cover editor: a song without covers, and one with three.
  {
    MusicInfoRow row;
    std::memset(&row.Info, 0, sizeof row.Info);
    CopyUtf8Field(row.Info.MusicName, sizeof row.Info.MusicName, QByteArray("Morning Light"));
    CopyUtf8Field(row.Info.Artist, sizeof row.Info.Artist, QByteArray("Ada Wren"));
    CopyUtf8Field(row.Info.Genre, sizeof row.Info.Genre, QByteArray("Rock;Pop;"));
    CopyUtf8Field(row.Info.Year, sizeof row.Info.Year, QByteArray("2019"));
    row.MusicPath = QStringLiteral("/music/Morning Light.mp3");
    {
      CMusicTagsEditDialog editor(&row, &window);
      editor.show();
      Grab(&editor, base + "tag_editor.png");
    }
    const char* const covers[] = {":/prefix/res/default_artwork.png", ":/prefix/res/Rdownloading.png",
                                  ":/prefix/res/drag_artwork_here.png"};
    row.Info.CoverCount = 3;
    for (int i = 0; i < 3; ++i) {
      row.Info.CoverIds[i] = i + 1;
      CopyUtf8Field(row.Info.CoverPaths[i], sizeof row.Info.CoverPaths[i], QByteArray(covers[i]));
    }
    row.ImageId = 1;
    CMusicTagsEditDialog editor(&row, &window);
    editor.show();
    Grab(&editor, base + "tag_editor_covers.png");
  }

  // The question asked when the window closes during a recording.
  {
    QList<DialogButtonInfo> buttons;
    buttons.append({int(QDialogButtonBox::Cancel), QApplication::translate("CMainUI", "No"), true});
    buttons.append({int(QDialogButtonBox::Ok), QApplication::translate("CMainUI", "Quit"), false});
    CDeleteDialog question(QApplication::translate("CMainUI",
                                                   "Are you sure to quit the programme?\nUnfinished recording will be "
                                                   "lost if you quit now!"),
                           buttons, &window, true);
    question.show();
    Grab(&question, base + "question.png");
  }
}
