// Renders the window chrome with grab() into PNG files for review: frame with
// title bar, control row and status bar over the start page, a dialog, the
// filter box with its type list, and the sliders; at scale 1.0 and 1.5, in
// English and German, in all five skins. Also a sheet of every button state,
// and the real main window's pages and dialogs (MainWindowGallery.cpp).
//   sonacap_gallery <output folder> [main]   ("main": only the main window)
#include "CAppSettings.h"
#include "CFilterEdit.h"
#include "CLabelPress.h"
#include "CMToolButton.h"
#include "CMyDialogFrame.h"
#include "CMyTitleBar.h"
#include "CMyWindowFrame.h"
#include "CReadyWidget.h"
#include "CSkinWidget.h"
#include "CSlider.h"
#include "CStatusBar.h"
#include "InterfaceScale.h"
#include "MainWindowGallery.h"
#include "SkinButtonStyle.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QResource>
#include <QStandardItemModel>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTranslator>
#include <QVBoxLayout>
#include <cstdio>

namespace {

const QString kProgramDir = QStringLiteral(SONACAP_GALLERY_PROGRAM_DIR);

// The page background as the recording page draws it.
class SkinPage : public QWidget {
public:
  SkinPage(int skin, bool library, QWidget* parent) : QWidget(parent), m_skin(skin), m_library(library) {}

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QString kind = m_library ? "lbg" : "mbg";
    p.drawPixmap(rect(), QPixmap(QStringLiteral(":/prefix/res/main background/recording_%1_%2.png").arg(kind).arg(m_skin)));
    const double s = GetInterfaceScale();
    p.setOpacity(0.5);
    QRect band = rect();
    band.setTop(band.bottom() - int(200 * s) - 1);
    p.drawPixmap(band, QPixmap(":/prefix/res/main background/recording_lbg_h.png"));
  }

private:
  int m_skin;
  bool m_library;
};

CMToolButton* Skinned(QWidget* parent, const char* image, int w, int h, bool checkable = false) {
  auto* b = new CMToolButton(parent);
  b->setCheckable(checkable);
  b->setStyleSheet(MakeSkinButtonStyle(QLatin1String(image), w, h));
  return b;
}

// A stand-in for the control bar: the controls it carries, in its colours.
QWidget* ControlRow(QWidget* parent) {
  auto* row = new QFrame(parent);
  row->setObjectName("galleryControlRow");
  row->setFixedHeight(ScaledPixels(75));
  auto* l = new QHBoxLayout(row);
  l->setContentsMargins(ScaledPixels(20), 0, ScaledPixels(20), 0);
  l->setSpacing(ScaledPixels(12));
  l->addWidget(Skinned(row, "record", 63, 63));
  l->addSpacing(ScaledPixels(10));
  l->addWidget(Skinned(row, "previous", 39, 39));
  l->addWidget(Skinned(row, "paly", 45, 45));
  l->addWidget(Skinned(row, "next", 39, 39));
  auto* middle = new QVBoxLayout;
  auto* title = new QLabel("Tavrel Sonacap  -  00:01:23", row);
  title->setStyleSheet(QStringLiteral("color: #FFFFFF; font-size: %1px;").arg(13 * GetInterfaceScale()));
  middle->addWidget(title);
  auto* seek = new CSlider(":/prefix/res/playslider.png", row);
  seek->SetValue(3200);
  middle->addWidget(seek);
  l->addLayout(middle, 1);
  l->addWidget(Skinned(row, "volumes_min", 12, 12));
  auto* volume = new CSlider(":/prefix/res/volumeslider.png", row);
  volume->SetMaximum(100);
  volume->setFixedWidth(ScaledPixels(110));
  volume->SetValue(70);
  l->addWidget(volume);
  l->addWidget(Skinned(row, "volumes_max", 12, 12));
  l->addWidget(Skinned(row, "listbut", 50, 50));
  return row;
}

bool Save(QWidget* w, const QString& path) {
  w->show();
  QApplication::processEvents();
  QApplication::processEvents();
  const bool ok = w->grab().save(path);
  if (!ok) std::fprintf(stderr, "gallery: cannot write %s\n", qPrintable(path));
  return ok;
}

void RenderSet(const QString& out, const QString& prefix, int skin) {
  CAppSettings::GetInstance()->SetSkin(skin);

  // Main window: frame, title bar with menu, control row, start page, status bar.
  {
    CMyWindowFrame frame(nullptr, Qt::Window);
    frame.SetWindowTitle("Tavrel Sonacap");
    frame.SetWindowIcon(QIcon(":/prefix/res/about_icon.png"));
    QMenuBar* menu = frame.MenuBar();
    menu->addMenu(QApplication::translate("CMainUI", "Settings"));
    menu->addMenu(QApplication::translate("CMainUI", "Help"));
    QWidget* tool = ControlRow(nullptr);
    frame.AddToolBar(tool);
    auto* stack = new QStackedWidget;
    stack->setObjectName("centerWidget");
    // The start page paints the skin's page background itself.
    stack->addWidget(new CReadyWidget(nullptr, stack));
    frame.SetCentralWidget(stack);
    frame.SetStatusBar(new CStatusBar(nullptr, &frame));
    frame.resize(ScaledPixels(924), ScaledPixels(610));
    Save(&frame, out + "/" + prefix + "_window.png");

    frame.ToggleMiniState();
    Save(&frame, out + "/" + prefix + "_mini.png");
  }

  // A dialog: the skin page of the preferences with a link and buttons.
  {
    CMyDialogFrame dialog(nullptr, Qt::Dialog | Qt::WindowCloseButtonHint);
    dialog.SetWindowTitle(QApplication::translate("CPreferencesDialog", "Preferences"));
    dialog.SetWindowIcon(QIcon(":/prefix/res/about_icon.png"));
    auto* layout = new QVBoxLayout(dialog.GetContentWidget());
    layout->setContentsMargins(ScaledPixels(20), ScaledPixels(15), ScaledPixels(20), ScaledPixels(15));
    layout->addWidget(new CSkinWidget(dialog.GetContentWidget()));
    auto* check = new QCheckBox("Do not show this again", dialog.GetContentWidget());
    check->setChecked(true);
    layout->addWidget(check);
    auto* edit = new QLineEdit("~/Music/Tavrel/Sonacap", dialog.GetContentWidget());
    layout->addWidget(edit);
    auto* row = new QHBoxLayout;
    auto* link = new CLabelPress("https://example.invalid/translate", "Translate for us", dialog.GetContentWidget());
    link->setFixedWidth(ScaledPixels(180));
    row->addWidget(link);
    row->addStretch();
    row->addWidget(new QPushButton("OK", dialog.GetContentWidget()));
    row->addWidget(new QPushButton("Cancel", dialog.GetContentWidget()));
    layout->addLayout(row);
    dialog.resize(ScaledPixels(630), ScaledPixels(377));
    Save(&dialog, out + "/" + prefix + "_dialog.png");
  }

  // Filter box over the library background, with its type list open beside it.
  {
    SkinPage panel(skin, true, nullptr);
    panel.resize(ScaledPixels(420), ScaledPixels(220));
    auto* filter = new CFilterEdit(QApplication::translate("CShowListWidget", "Filter"), &panel);
    filter->setGeometry(ScaledPixels(20), ScaledPixels(20), ScaledPixels(200), ScaledPixels(24));
    const struct {
      const char* text;
      int id;
    } types[] = {{"All", 0}, {"Name", 2}, {"Artist", 4}, {"Album", 5}};
    for (const auto& t : types) filter->AddFilterType(QApplication::translate("CShowListWidget", t.text), t.id);
    auto* typed = new CFilterEdit("Filter", &panel);
    typed->setGeometry(ScaledPixels(20), ScaledPixels(60), ScaledPixels(200), ScaledPixels(24));
    typed->setText("Beatles");
    typed->UpdateClearButton();
    // The pop-up is a separate window: show its list inside the panel for the picture.
    auto* list = new QListView(&panel);
    list->setObjectName("filterListView");
    list->setModel(filter->TypeModel());
    list->setCurrentIndex(filter->TypeModel()->index(1, 0));
    list->setGeometry(ScaledPixels(240), ScaledPixels(20), ScaledPixels(130), ScaledPixels(110));
    auto* seek = new CSlider(":/prefix/res/playslider.png", &panel);
    seek->setGeometry(ScaledPixels(20), ScaledPixels(150), ScaledPixels(380), seek->HandleHeight());
    seek->SetValue(6500);
    auto* volume = new CSlider(":/prefix/res/volumeslider.png", &panel);
    volume->SetMaximum(100);
    volume->setGeometry(ScaledPixels(20), ScaledPixels(180), ScaledPixels(200), volume->HandleHeight());
    volume->SetValue(40);
    Save(&panel, out + "/" + prefix + "_filter_sliders.png");
  }
}

// Every button image in its four states, on the chrome colour.
void RenderButtonSheet(const QString& out) {
  const struct {
    const char* name;
    int w, h;
  } buttons[] = {{"zoom_in", 34, 25},   {"zoom_out", 34, 25},     {"minimized", 34, 25},     {"maxmined", 34, 25},
                 {"restore", 34, 25},   {"close", 34, 25},        {"menu", 34, 25},        {"sources", 25, 25},       {"scheduler", 25, 25},
                 {"add", 25, 25},       {"itunes", 25, 25},       {"facebook", 25, 25},      {"twitter", 25, 25},
                 {"record", 63, 63},    {"record_stop", 63, 63},  {"previous", 39, 39},      {"next", 39, 39},
                 {"paly", 45, 45},      {"pause", 45, 45},        {"volumes_min", 12, 12},   {"volumes_max", 12, 12},
                 {"listbut", 50, 50},   {"step_sources", 98, 50}, {"step_record", 63, 63},   {"button_tablist", 26, 22},
                 {"button_coverflow", 26, 22}, {"branch_close", 10, 10}, {"branch_open", 10, 10}, {"expand", 20, 20},
                 {"folder", 30, 23},    {"button_recording", 158, 46}, {"button_media", 158, 46}};
  const int cell = 170;
  const int rows = int(sizeof(buttons) / sizeof(buttons[0]));
  QImage sheet(QSize(cell * 4 + 160, rows * 56), QImage::Format_ARGB32);
  sheet.fill(QColor("#1A2030"));
  QPainter p(&sheet);
  p.setPen(QColor("#DCE3EE"));
  const char* suffix[] = {"", "_on", "_down", "_disable"};
  for (int r = 0; r < rows; ++r) {
    p.drawText(QRect(6, r * 56, 150, 56), Qt::AlignVCenter, QLatin1String(buttons[r].name));
    for (int s = 0; s < 4; ++s) {
      const QImage img(QStringLiteral(":/prefix/res/but/%1%2.png").arg(buttons[r].name).arg(suffix[s]));
      const QSize size(buttons[r].w, buttons[r].h);
      const QPoint at(160 + s * cell + (cell - size.width()) / 2, r * 56 + (56 - size.height()) / 2);
      p.drawImage(QRect(at, size), img);
    }
  }
  p.end();
  sheet.save(out + "/buttons.png");
}

void LoadStyle(double scale) {
  QFile css(":/prefix/StyleSheet1.css");
  if (!css.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "gallery: no style sheet in skin.rcc\n");
    return;
  }
  qApp->setStyleSheet(ScaleStyleSheetSizes(QTextStream(&css).readAll(), scale));
}

}  // namespace

int main(int argc, char* argv[]) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // A private settings file: the gallery changes the skin.
  QTemporaryDir home;
  qputenv("HOME", home.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
  qputenv("XDG_DATA_HOME", (home.path() + "/.local/share").toUtf8());
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gallery");
  QDir().mkpath(out);
  if (!QResource::registerResource(kProgramDir + "/skin.rcc")) {
    std::fprintf(stderr, "gallery: %s/skin.rcc missing\n", qPrintable(kProgramDir));
    return 1;
  }
  const int fontId = QFontDatabase::addApplicationFont(kProgramDir + "/font/DejaVuSans.ttf");
  const QStringList families = QFontDatabase::applicationFontFamilies(fontId);

  const bool mainOnly = argc > 2 && QString::fromLocal8Bit(argv[2]) == "main";
  PrepareMainWindowGallery(home.path() + "/library");
  if (!mainOnly) RenderButtonSheet(out);
  for (double scale : {1.0, 1.5}) {
    SetInterfaceScale(scale);
    if (!families.isEmpty()) {
      QFont font(families.first());
      font.setPixelSize(int(12.0 * scale));
      QApplication::setFont(font);
    }
    LoadStyle(scale);
    for (const char* language : {"en", "de"}) {
      QTranslator translator;
      const bool translated = QString(language) != "en" &&
                              translator.load(QStringLiteral("sonacap_%1.qm").arg(language), kProgramDir + "/language");
      if (translated) QCoreApplication::installTranslator(&translator);
      CAppSettings::GetInstance()->SetLanguage(QString::fromLatin1(language));
      for (int skin = 0; skin < 5; ++skin) {
        const QString prefix = QStringLiteral("%1_%2_skin%3").arg(scale == 1.0 ? "1.0" : "1.5").arg(language).arg(skin);
        if (!mainOnly) RenderSet(out, prefix, skin);
        // The main window in the default skin and one other; at 1.5 in English only.
        if ((skin == 4 || skin == 1) && (scale == 1.0 || QString(language) == "en")) RenderMainWindow(out, prefix, skin, kProgramDir);
      }
      if (translated) QCoreApplication::removeTranslator(&translator);
    }
  }
  std::printf("gallery written to %s\n", qPrintable(QFileInfo(out).absoluteFilePath()));
  return 0;
}
