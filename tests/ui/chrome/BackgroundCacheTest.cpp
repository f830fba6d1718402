// Backgrounds painted once per size, skin and interface scale.
#include "CAppSettings.h"
#include "CBackgroundCache.h"
#include "ChromeTestUtil.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <gtest/gtest.h>

TEST(BackgroundCache, PaintsAgainOnlyWhenSizeSkinOrScaleChanged) {
  CAppSettings* settings = CAppSettings::GetInstance();
  const int skin = settings->GetSkin();
  CBackgroundCache cache;
  int paints = 0;
  const CBackgroundCache::Painter paint = [&](QPainter& painter, const QSize& size) {
    ++paints;
    painter.fillRect(QRect(QPoint(0, 0), size), QColor(10 * paints, 0, 0));
  };
  struct Step {
    const char* what;
    QSize size;
    int skin;
    double scale;
    int paintsAfter;
  } steps[] = {
      {"first use", QSize(300, 200), 1, 1.0, 1},
      {"same again", QSize(300, 200), 1, 1.0, 1},
      {"wider", QSize(301, 200), 1, 1.0, 2},
      {"another skin", QSize(301, 200), 2, 1.0, 3},
      {"same again", QSize(301, 200), 2, 1.0, 3},
      {"another scale", QSize(301, 200), 2, 1.5, 4},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    ScaleGuard guard(s.scale);
    settings->SetSkin(s.skin);
    const QPixmap& picture = cache.Get(s.size, paint);
    EXPECT_EQ(paints, s.paintsAfter);
    EXPECT_EQ(picture.size(), s.size);
    EXPECT_EQ(picture.toImage().pixelColor(0, 0), QColor(10 * paints, 0, 0));
  }
  cache.Clear();
  cache.Get(QSize(301, 200), paint);
  EXPECT_EQ(paints, 5) << "a cleared cache paints again";
  settings->SetSkin(skin);
}

TEST(BackgroundCache, ScaledSkinPictureIsMadeOnceAndNullWhenUnreadable) {
  QImage source(64, 32, QImage::Format_ARGB32);
  source.fill(Qt::blue);
  const QString path = QDir::temp().filePath(QStringLiteral("sonacap-background-cache-test.png"));
  ASSERT_TRUE(source.save(path));
  const QPixmap first = ScaledSkinPicture(path, QSize(16, 8));
  EXPECT_EQ(first.size(), QSize(16, 8));
  EXPECT_EQ(first.toImage().pixelColor(3, 3), QColor(Qt::blue));
  // The second ask is answered from the cache, even with the file gone.
  QFile::remove(path);
  EXPECT_EQ(ScaledSkinPicture(path, QSize(16, 8)).cacheKey(), first.cacheKey());
  EXPECT_TRUE(ScaledSkinPicture(path, QSize(20, 8)).isNull());
  EXPECT_TRUE(ScaledSkinPicture(QStringLiteral("/no/such/picture.png"), QSize(16, 8)).isNull());
}
