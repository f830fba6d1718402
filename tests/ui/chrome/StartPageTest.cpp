#include "CReadyWidget.h"
#include "ChromeTestUtil.h"

#include <QLabel>
#include <QResizeEvent>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {
void ResizePage(CReadyWidget& page, QSize size) {
  QResizeEvent event(size, page.size());
  page.resize(size);
  QCoreApplication::sendEvent(&page, &event);
}
}  // namespace

TEST(StartPage, ContentPlacementTable) {
  struct Case {
    double scale;
    QSize page;
    QRect content;
  } cases[] = {
      {1.0, QSize(1000, 600), QRect(410, 234, 450, 290)},
      {1.5, QSize(1377, 676), QRect(564, 263, 675, 435)},
  };
  for (const Case& c : cases) {
    ScaleGuard guard(c.scale);
    CReadyWidget page(nullptr, nullptr);
    ResizePage(page, c.page);
    EXPECT_EQ(page.ContentWidget()->geometry(), c.content);
  }
}

TEST(StartPage, HeightOnlyResizeKeepsTheContent) {
  CReadyWidget page(nullptr, nullptr);
  ResizePage(page, QSize(1000, 600));
  ResizePage(page, QSize(1000, 300));
  EXPECT_EQ(page.ContentWidget()->pos(), QPoint(410, 234));
}

TEST(StartPage, TextsAndButtons) {
  CReadyWidget page(nullptr, nullptr);
  EXPECT_EQ(page.objectName(), "ReadWidget");
  EXPECT_EQ(page.Headline()->text(), "Refresh Your Enjoyment!");
  EXPECT_EQ(page.FirstHint()->text(), "1,Choose the audio source by clicking");
  EXPECT_EQ(page.SecondHint()->text(), "2,Start recording by clicking");
  EXPECT_TRUE(page.SourcesButton()->text().isEmpty());
  EXPECT_TRUE(page.SourcesButton()->styleSheet().contains("but/step_sources.png"));
  EXPECT_TRUE(page.RecordButton()->styleSheet().contains("but/step_record.png"));
  EXPECT_TRUE(page.Headline()->styleSheet().contains("font-size: 24px;"));
}
