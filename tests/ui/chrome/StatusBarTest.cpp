#include "CMToolButton.h"
#include "CStatusBar.h"
#include "ChromeTestUtil.h"

#include <QLabel>
#include <QResizeEvent>
#include <QTranslator>
#include <gtest/gtest.h>

namespace {
void ResizeBar(CStatusBar& bar, QSize size) {
  QResizeEvent event(size, bar.size());
  bar.resize(size);
  QCoreApplication::sendEvent(&bar, &event);
}
}  // namespace

TEST(StatusBar, CentreBoxStaysCentred) {
  struct Case {
    double scale;
    int width;
    QRect box;
  } cases[] = {
      {1.0, 1000, QRect(342, 0, 316, 46)},
      {1.0, 1001, QRect(342, 0, 316, 46)},
      {1.5, 1001, QRect(263, 0, 474, 69)},
      {1.5, 1600, QRect(563, 0, 474, 69)},
      {2.0, 1920, QRect(644, 0, 632, 92)},
  };
  for (const Case& c : cases) {
    ScaleGuard guard(c.scale);
    CStatusBar bar(nullptr, nullptr);
    ResizeBar(bar, QSize(c.width, 60));
    SCOPED_TRACE(c.width);
    EXPECT_EQ(bar.CentreBox()->geometry(), c.box);
    EXPECT_EQ(bar.CentreBox()->geometry().right(), c.box.x() + c.box.width() - 1);
  }
}

TEST(StatusBar, HeightChangeAloneDoesNotMoveTheBox) {
  CStatusBar bar(nullptr, nullptr);
  ResizeBar(bar, QSize(1000, 46));
  bar.CentreBox()->move(1, 0);
  ResizeBar(bar, QSize(1000, 80));
  EXPECT_EQ(bar.CentreBox()->x(), 1);
}

TEST(StatusBar, InitialStateAndToggles) {
  CStatusBar bar(nullptr, nullptr);
  EXPECT_EQ(bar.objectName(), "statusBar");
  EXPECT_FALSE(bar.AddButton()->isEnabled());
  EXPECT_FALSE(bar.ITunesButton()->isEnabled());
  EXPECT_TRUE(bar.SourcesButton()->isEnabled());
  EXPECT_TRUE(bar.RecordingButton()->isChecked());
  EXPECT_FALSE(bar.MediaButton()->isChecked());
  EXPECT_EQ(bar.SchedulerButton()->objectName(), "scheduler");
  // A click on the checked toggle leaves it checked.
  bar.RecordingButton()->click();
  EXPECT_TRUE(bar.RecordingButton()->isChecked());
  bar.MediaButton()->click();
  EXPECT_TRUE(bar.MediaButton()->isChecked());
  EXPECT_EQ(bar.RecordingButton()->geometry(), QRect(0, 0, 158, 46));
  EXPECT_EQ(bar.MediaButton()->geometry(), QRect(158, 0, 158, 46));
  EXPECT_EQ(bar.RecordingLabel()->geometry(), QRect(65, 0, 93, 46));
  EXPECT_EQ(bar.MediaLabel()->geometry(), QRect(58, 0, 100, 46));
  EXPECT_TRUE(bar.styleSheet().contains("font-size: 14px;"));
}

TEST(StatusBar, RetranslateSetsTooltipsAndLabels) {
  CStatusBar bar(nullptr, nullptr);
  EXPECT_EQ(bar.SourcesButton()->toolTip(), "Audio Source");
  EXPECT_EQ(bar.RecordingLabel()->text(), "Recording");
  QTranslator german;
  ASSERT_TRUE(german.load(QStringLiteral(SONACAP_TEST_OUTPUT_DIR "/language/sonacap_de.qm")));
  QCoreApplication::installTranslator(&german);
  bar.Retranslate();
  QCoreApplication::removeTranslator(&german);
  EXPECT_EQ(bar.SourcesButton()->toolTip(), "Audioquelle");
  EXPECT_EQ(bar.SchedulerButton()->toolTip(), "Aufnahmeplaner");
  EXPECT_EQ(bar.RecordingLabel()->text(), "Aufnahme");
  EXPECT_EQ(bar.MediaLabel()->text(), "Medien");
  EXPECT_TRUE(bar.FacebookButton()->text().isEmpty());
}
