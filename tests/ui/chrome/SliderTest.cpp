#include "CSlider.h"
#include "ChromeTestUtil.h"
#include "WidgetFlags.h"

#include <QResizeEvent>
#include <QResource>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

struct SliderFixture : ::testing::Test {
  static void SetUpTestSuite() {
    ASSERT_TRUE(QResource::registerResource(QStringLiteral(SONACAP_TEST_OUTPUT_DIR "/skin.rcc")));
  }
  static void TearDownTestSuite() { QResource::unregisterResource(QStringLiteral(SONACAP_TEST_OUTPUT_DIR "/skin.rcc")); }

  std::unique_ptr<CSlider> Make(const char* image, int width) {
    auto slider = std::make_unique<CSlider>(QString::fromLatin1(image), nullptr);
    QResizeEvent event(QSize(width, slider->HandleHeight()), slider->size());
    slider->resize(width, slider->HandleHeight());
    QCoreApplication::sendEvent(slider.get(), &event);
    return slider;
  }
};

}  // namespace

TEST_F(SliderFixture, SizesOfSeekAndVolumeSliders) {
  auto seek = Make(":/prefix/res/playslider.png", 300);
  EXPECT_EQ(seek->HandleWidth(), 9);
  EXPECT_EQ(seek->HandleHeight(), 7);
  EXPECT_EQ(seek->sizeHint(), QSize(60, 7));
  auto volume = Make(":/prefix/res/volumeslider.png", 120);
  EXPECT_EQ(volume->HandleWidth(), 17);
  EXPECT_EQ(volume->HandleHeight(), 19);
  ScaleGuard guard(1.5);
  auto big = Make(":/prefix/res/playslider.png", 300);
  EXPECT_EQ(big->HandleWidth(), 13);
  EXPECT_EQ(big->HandleHeight(), 10);
}

TEST_F(SliderFixture, SetValueTable) {
  auto slider = Make(":/prefix/res/playslider.png", 300);
  struct Case {
    int value;
    int expectedValue;
    int handleX;
  } cases[] = {
      {5000, 5000, 149},  // 291 x 5000 / 10000 + 4
      {10001, 5000, 149}, // outside the range: ignored
      {-1, 5000, 149},
      {0, 0, 4},
      {10000, 10000, 295},
  };
  QSignalSpy changed(slider.get(), &CSlider::valueChanged);
  for (const Case& c : cases) {
    slider->SetValue(c.value);
    EXPECT_EQ(slider->Value(), c.expectedValue) << c.value;
    EXPECT_EQ(slider->HandleX(), c.handleX) << c.value;
  }
  EXPECT_EQ(changed.count(), 0);  // SetValue emits nothing
  slider->SetMaximum(100);
  EXPECT_EQ(slider->HandleX(), 295);  // moves only at the next SetValue
  slider->SetValue(50);
  EXPECT_EQ(slider->HandleX(), 149);
}

TEST_F(SliderFixture, ClickBesideTheHandleOnlyReportsTheValue) {
  auto slider = Make(":/prefix/res/playslider.png", 300);
  slider->SetValue(5000);
  struct Case {
    int x;
    int reported;
  } cases[] = {{2, 0}, {4, 0}, {299, 10000}, {295, 10000}, {100, 3298}, {200, 6735}};
  for (const Case& c : cases) {
    QSignalSpy changed(slider.get(), &CSlider::valueChanged);
    QSignalSpy pressed(slider.get(), &CSlider::sliderPressed);
    SendMouse(slider.get(), QEvent::MouseButtonPress, {c.x, 3}, Qt::LeftButton);
    SendMouse(slider.get(), QEvent::MouseButtonRelease, {c.x, 3}, Qt::LeftButton);
    ASSERT_EQ(changed.count(), 1) << c.x;
    EXPECT_EQ(changed.first().at(0).toInt(), c.reported) << c.x;
    EXPECT_EQ(pressed.count(), 1);
    EXPECT_EQ(slider->Value(), 5000);  // the owner decides
  }
}

TEST_F(SliderFixture, DragOnTheHandle) {
  auto slider = Make(":/prefix/res/playslider.png", 300);
  slider->SetValue(5000);
  QSignalSpy changed(slider.get(), &CSlider::valueChanged);
  QSignalSpy moved(slider.get(), &CSlider::sliderMoved);
  QSignalSpy pressed(slider.get(), &CSlider::sliderPressed);
  QSignalSpy released(slider.get(), &CSlider::sliderReleased);
  SendMouse(slider.get(), QEvent::MouseButtonPress, {149, 3}, Qt::LeftButton);
  EXPECT_EQ(slider->State(), 2);
  EXPECT_EQ(changed.count(), 0);
  EXPECT_EQ(pressed.count(), 1);
  for (int x : {160, 250, 400, -20}) {
    SendMouse(slider.get(), QEvent::MouseMove, {x, 3}, Qt::NoButton, Qt::LeftButton);
  }
  ASSERT_EQ(changed.count(), 4);
  ASSERT_EQ(moved.count(), 4);
  const int expected[] = {10000 * (160 - 4) / 291, 10000 * (250 - 4) / 291, 10000, 0};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(changed.at(i).at(0).toInt(), expected[i]);
    EXPECT_EQ(moved.at(i).at(0).toInt(), expected[i]);
  }
  EXPECT_EQ(slider->Value(), 0);
  EXPECT_EQ(slider->HandleX(), 4);
  SendMouse(slider.get(), QEvent::MouseButtonRelease, {4, 3}, Qt::LeftButton);
  EXPECT_EQ(slider->State(), 1);  // released over the handle
  EXPECT_EQ(released.count(), 1);
}

TEST_F(SliderFixture, HoverAndRightButton) {
  auto slider = Make(":/prefix/res/playslider.png", 300);
  slider->SetValue(5000);
  SendMouse(slider.get(), QEvent::MouseMove, {150, 3}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(slider->State(), 1);
  SendMouse(slider.get(), QEvent::MouseMove, {20, 3}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(slider->State(), 0);

  QSignalSpy changed(slider.get(), &CSlider::valueChanged);
  QSignalSpy pressed(slider.get(), &CSlider::sliderPressed);
  QSignalSpy released(slider.get(), &CSlider::sliderReleased);
  SendMouse(slider.get(), QEvent::MouseButtonPress, {20, 3}, Qt::RightButton);
  EXPECT_EQ(changed.count(), 0);
  EXPECT_EQ(pressed.count(), 0);
  SendMouse(slider.get(), QEvent::MouseButtonRelease, {20, 3}, Qt::RightButton);
  EXPECT_EQ(released.count(), 1);
}

TEST_F(SliderFixture, PressDuringRenameClearsTheFlag) {
  auto slider = Make(":/prefix/res/volumeslider.png", 120);
  ListNameEditing = true;
  QSignalSpy changed(slider.get(), &CSlider::valueChanged);
  SendMouse(slider.get(), QEvent::MouseButtonPress, {100, 5}, Qt::LeftButton);
  EXPECT_FALSE(ListNameEditing);
  EXPECT_EQ(changed.count(), 1);
}

TEST_F(SliderFixture, PaintsWithoutImages) {
  // A missing image set must not crash painting or clicking.
  CSlider slider(":/prefix/res/no_such_slider.png", nullptr);
  slider.resize(100, 10);
  EXPECT_FALSE(slider.grab().isNull());
  SendMouse(&slider, QEvent::MouseButtonPress, {50, 5}, Qt::LeftButton);
}
