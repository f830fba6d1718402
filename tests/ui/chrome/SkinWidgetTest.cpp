#include "CAppSettings.h"
#include "CSkinButton.h"
#include "CSkinWidget.h"
#include "ChromeTestUtil.h"

#include <QSettings>
#include <gtest/gtest.h>

namespace {
int MarkedCount(CSkinWidget& page) {
  int n = 0;
  for (int i = 0; i < 5; ++i) n += page.Thumbnail(i)->IsMarked() ? 1 : 0;
  return n;
}
}  // namespace

TEST(SkinWidget, StoredSkinIsMarkedAndClicksOnlyMoveTheMark) {
  CAppSettings* settings = CAppSettings::GetInstance();
  settings->SetSkin(4);
  CSkinWidget page(nullptr);
  EXPECT_TRUE(page.Thumbnail(4)->IsMarked());
  EXPECT_EQ(MarkedCount(page), 1);
  EXPECT_TRUE(page.Thumbnail(2)->styleSheet().contains("Settings/skin_2.png"));

  page.Thumbnail(2)->click();
  page.Thumbnail(0)->click();
  EXPECT_TRUE(page.Thumbnail(0)->IsMarked());
  EXPECT_EQ(MarkedCount(page), 1);
  EXPECT_EQ(page.CurrentIndex(), 0);
  EXPECT_EQ(settings->GetSkin(), 4);  // nothing stored before SaveSkin

  page.SaveSkin();
  EXPECT_EQ(settings->GetSkin(), 0);
}

TEST(SkinWidget, SaveWithoutClickWritesTheValueReadAtConstruction) {
  CAppSettings* settings = CAppSettings::GetInstance();
  settings->SetSkin(3);
  CSkinWidget page(nullptr);
  settings->SetSkin(1);  // changed behind the page's back
  page.SaveSkin();
  EXPECT_EQ(settings->GetSkin(), 3);
}

TEST(SkinWidget, OutOfRangeSkinShowsNoMark) {
  CAppSettings* settings = CAppSettings::GetInstance();
  settings->SetSkin(7);
  CSkinWidget page(nullptr);
  EXPECT_EQ(MarkedCount(page), 0);
  page.Thumbnail(1)->click();
  EXPECT_EQ(MarkedCount(page), 1);
  settings->SetSkin(4);
}
