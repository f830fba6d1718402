// Registers the built skin.rcc and loads every image the program's sources and
// its style sheet name. A missing image otherwise fails silently (an empty
// button, a blank background), so this is the only place it shows.
#include "SkinButtonStyle.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QResource>
#include <QSet>
#include <QTextStream>
#include <gtest/gtest.h>

namespace {

const char* const kSourceDirs[] = {"app", "ui", "library", "recognition", "support"};

QString ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(f.readAll());
}

QStringList SourceTexts() {
  QStringList texts;
  for (const char* dir : kSourceDirs) {
    QDirIterator it(QStringLiteral(SONACAP_TEST_SOURCE_DIR "/") + dir, {"*.cpp", "*.h"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) texts << ReadAll(it.next());
  }
  return texts;
}

// Image paths a literal stands for; placeholders expand over their known ranges.
QStringList Expand(const QString& literal) {
  static const struct {
    const char* marker;
    int first, last;
  } ranges[] = {{"recording/recording_%1", 1, 28},
                {"recording_lbg_%1", 0, 4},
                {"recording_mbg_%1", 0, 4},
                {"Settings/skin_%1", 0, 4}};
  for (const auto& r : ranges) {
    if (literal.contains(QLatin1String(r.marker))) {
      QStringList out;
      for (int i = r.first; i <= r.last; ++i) out << QString(literal).replace("%1", QString::number(i));
      return out;
    }
  }
  if (literal.contains('%')) return {};  // filled elsewhere (button names, icon names)
  return {literal};
}

struct SkinResource : ::testing::Test {
  static void SetUpTestSuite() {
    ASSERT_TRUE(QResource::registerResource(QStringLiteral(SONACAP_TEST_OUTPUT_DIR "/skin.rcc")))
        << "skin.rcc was not built";
  }
  static void TearDownTestSuite() { QResource::unregisterResource(QStringLiteral(SONACAP_TEST_OUTPUT_DIR "/skin.rcc")); }

  QStringList missing;
  void Check(const QString& path) {
    if (QImage(path).isNull()) missing << path;
  }
};

}  // namespace

TEST_F(SkinResource, EveryImageNamedInTheSourcesLoads) {
  const QStringList texts = SourceTexts();
  ASSERT_FALSE(texts.isEmpty());
  QSet<QString> paths;
  QSet<QString> buttons;
  QSet<QString> listIcons;
  const QRegularExpression literal(QStringLiteral("\"(:/prefix/res/[^\"<>]+)\""));
  // Names handed to the button template: the image base name is the first argument.
  const QRegularExpression button(QStringLiteral(
      "(?:MakeSkinButtonStyle|ApplySkinButtonStyle)\\(\\s*(?:[A-Za-z_>\\-]+,\\s*)?(?:QStringLiteral\\(|QLatin1String\\()?\"([A-Za-z_]+)\""));
  const QRegularExpression skinned(QStringLiteral("small\\(\"[A-Za-z_]+\",\\s*\"([A-Za-z_]+)\""));
  const QRegularExpression icon(QStringLiteral("\"(icon_[a-z]+)\""));
  for (const QString& text : texts) {
    auto it = literal.globalMatch(text);
    while (it.hasNext()) {
      QString p = it.next().captured(1);
      // The slider names its handle image; its pieces hang off the base name.
      if (!p.endsWith(".png") && !p.endsWith('/')) {
        for (const char* s : {"", "_bl", "_bc", "_br", "_pl", "_pc", "_on", "_down"}) paths << p + s + ".png";
        continue;
      }
      for (const QString& e : Expand(p)) {
        if (e.endsWith(".png")) paths << e;
      }
    }
    for (const QRegularExpression* re : {&button, &skinned}) {
      auto b = re->globalMatch(text);
      while (b.hasNext()) buttons << b.next().captured(1);
    }
    auto i = icon.globalMatch(text);
    while (i.hasNext()) listIcons << i.next().captured(1);
  }
  for (const char* name : {"playslider", "volumeslider"}) {
    for (const char* s : {"", "_bl", "_bc", "_br", "_pl", "_pc", "_on", "_down"})
      paths << QStringLiteral(":/prefix/res/") + name + s + ".png";
  }
  // The button names every Part lists, whether or not their widgets exist yet.
  for (const char* name :
       {"zoom_in", "zoom_out", "minimized", "maxmined", "restore", "close", "sources", "scheduler", "add", "itunes",
        "facebook", "twitter", "button_recording", "button_media", "record", "record_stop", "previous", "next",
        "paly", "pause", "volumes_min", "volumes_max", "listbut", "step_sources", "step_record", "button_tablist",
        "button_coverflow", "branch_close", "branch_open", "expand", "folder"}) {
    buttons << name;
  }
  for (const QString& name : buttons) {
    for (const char* state : {"", "_on", "_down", "_disable"}) paths << QStringLiteral(":/prefix/res/but/") + name + state + ".png";
  }
  for (const QString& name : listIcons) paths << ":/prefix/res/" + name + ".png";

  EXPECT_GT(paths.size(), 100);  // the scan found the sources at all
  for (const QString& p : paths) Check(p);
  missing.sort();
  EXPECT_TRUE(missing.isEmpty()) << "missing from skin.rcc:\n  " << missing.join("\n  ").toStdString();
}

TEST_F(SkinResource, StyleSheetAndItsImagesLoad) {
  const QString css = ReadAll(QStringLiteral(":/prefix/StyleSheet1.css"));
  ASSERT_FALSE(css.isEmpty());
  EXPECT_TRUE(css.contains("SIZE_"));
  // Every translucent dialog frame needs a visible background and border.
  EXPECT_TRUE(css.contains("CMyDialogFrame {"));
  const QRegularExpression url(QStringLiteral("url\\((:/prefix/res/[^)]+)\\)"));
  auto it = url.globalMatch(css);
  int count = 0;
  while (it.hasNext()) {
    Check(it.next().captured(1));
    ++count;
  }
  EXPECT_GT(count, 5);
  EXPECT_TRUE(missing.isEmpty()) << missing.join(", ").toStdString();
}

TEST_F(SkinResource, ImagesAreDrawnAtTwiceTheirDesignSize) {
  struct Case {
    const char* path;
    QSize design;
  } cases[] = {{":/prefix/res/but/close.png", {34, 25}},
               {":/prefix/res/but/record.png", {63, 63}},
               {":/prefix/res/main background/recording_mbg_4.png", {918, 451}},
               {":/prefix/res/Settings/skin_0.png", {87, 87}},
               {":/prefix/res/recording/recording_28.png", {918, 250}}};
  for (const Case& c : cases) EXPECT_EQ(QImage(c.path).size(), c.design * 2) << c.path;
}

TEST_F(SkinResource, SkinsDiffer) {
  // Five themes: no two page backgrounds are the same picture.
  QSet<QByteArray> seen;
  for (int i = 0; i < 5; ++i) {
    QImage image(QStringLiteral(":/prefix/res/main background/recording_mbg_%1.png").arg(i));
    ASSERT_FALSE(image.isNull());
    seen << QByteArray(reinterpret_cast<const char*>(image.constBits()), int(image.sizeInBytes()));
  }
  EXPECT_EQ(seen.size(), 5);
}
