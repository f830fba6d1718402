#include "ChromeTestUtil.h"
#include "SkinButtonStyle.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QString Value(const QString& sheet, const QString& property) {
  const QRegularExpression re(QRegularExpression::escape(property) + QStringLiteral(":\\s*([^;]+);"));
  return re.match(sheet).captured(1).trimmed();
}

}  // namespace

TEST(SkinButtonStyle, TemplateHasFiveRulesInCascadeOrder) {
  EXPECT_EQ(SkinButtonStyle.size(), 998);
  EXPECT_EQ(SkinThumbnailStyle.size(), 268);
  // Later rules win among equal selectors: checked must come after hover,
  // pressed and disabled so a checked button keeps "_down".
  const QStringList order = {"QAbstractButton{", "QAbstractButton:hover", "QAbstractButton:pressed",
                             "QAbstractButton:disabled", "QAbstractButton:checked"};
  int last = -1;
  for (const QString& selector : order) {
    const int at = SkinButtonStyle.indexOf(selector);
    ASSERT_GT(at, last) << selector.toStdString();
    last = at;
  }
}

TEST(SkinButtonStyle, SizesAreScaledWithoutTruncation) {
  struct Case {
    double scale;
    const char* width;
    const char* height;
  } cases[] = {{1.0, "34", "25"}, {1.5, "51", "37.5"}, {1.25, "42.5", "31.25"}, {2.0, "68", "50"}};
  for (const Case& c : cases) {
    ScaleGuard guard(c.scale);
    const QString sheet = MakeSkinButtonStyle(QStringLiteral("close"), 34, 25);
    SCOPED_TRACE(c.scale);
    EXPECT_EQ(Value(sheet, "min-width"), c.width);
    EXPECT_EQ(Value(sheet, "max-width"), c.width);
    EXPECT_EQ(Value(sheet, "min-height"), c.height);
    EXPECT_EQ(Value(sheet, "max-height"), c.height);
  }
}

TEST(SkinButtonStyle, EveryStateNamesItsImage) {
  const QString sheet = MakeSkinButtonStyle(QStringLiteral("record_stop"), 63, 63, 1.0);
  for (const char* file : {"record_stop.png", "record_stop_on.png", "record_stop_down.png", "record_stop_disable.png"}) {
    EXPECT_TRUE(sheet.contains(QStringLiteral("url(:/prefix/res/but/") + file + ")")) << file;
  }
  EXPECT_FALSE(sheet.contains('%'));
}

TEST(SkinButtonStyle, ThumbnailNamesTheSkinImage) {
  const QString sheet = MakeSkinThumbnailStyle(3, 87, 1.5);
  EXPECT_TRUE(sheet.contains("url(:/prefix/res/Settings/skin_3.png)"));
  EXPECT_EQ(Value(sheet, "min-width"), "130.5");
  EXPECT_EQ(Value(sheet, "max-height"), "130.5");
}
