#include "CLabelPress.h"
#include "ChromeTestUtil.h"
#include "DesktopLinks.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QResizeEvent>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

class UrlCatcher : public QObject {
  Q_OBJECT
public:
  QList<QUrl> urls;
public slots:
  void Open(const QUrl& url) { urls << url; }
};

void ResizeTo(QLabel& label, int width) {
  QResizeEvent event(QSize(width, 20), label.size());
  label.resize(width, 20);
  QCoreApplication::sendEvent(&label, &event);
}

QString Markup(const QString& shown) { return QStringLiteral("<u><font color=#4F94CD>%1</font></u>").arg(shown); }

}  // namespace

TEST(LabelPress, FittingTable) {
  const QString url = "https://example.invalid/help?lang=en";
  const QString text = "More information about recording";
  CLabelPress label(url, text, nullptr);
  const QFontMetrics fm(label.font());
  const int textWidth = fm.horizontalAdvance(text);
  const int dots = fm.horizontalAdvance("...");

  // The longest prefix that fits beside "..." within width - 10.
  auto shortened = [&](int width) {
    QString s = text;
    while (!s.isEmpty() && fm.horizontalAdvance(s) > width - dots - 10) s.chop(1);
    return s + "...";
  };

  struct Case {
    const char* what;
    int width;
    QString shown;
    QString tooltip;
  } cases[] = {
      {"fits", textWidth + 10, text, QString()},
      {"wide", textWidth + 200, text, QString()},
      {"one pixel short", textWidth + 9, shortened(textWidth + 9), url},
      {"half", textWidth / 2, shortened(textWidth / 2), url},
      {"too narrow to shorten", dots + 4, text, QString()},
      // Runs out of text while still a few pixels wider than "...": shows only
      // "..." instead of looping for ever.
      {"text runs out", dots + 7, "...", url},
      {"text runs out, wider", dots + 14, "...", url},
  };
  for (const Case& c : cases) {
    ResizeTo(label, c.width);
    SCOPED_TRACE(c.what);
    EXPECT_EQ(label.ShownText(), c.shown);
    EXPECT_EQ(label.text(), Markup(c.shown));
    EXPECT_EQ(label.toolTip(), c.tooltip);
  }
}

TEST(LabelPress, EmptyTextOnANarrowLabelEnds) {
  CLabelPress label("https://example.invalid", QString(), nullptr);
  const int dots = QFontMetrics(label.font()).horizontalAdvance("...");
  for (int width = 0; width < dots + 20; ++width) ResizeTo(label, width);
  SUCCEED();
}

TEST(LabelPress, SetLinkTypeShowsTranslateLinkUntilNextResize) {
  CLabelPress label("https://example.invalid/translate", "Original", nullptr);
  ResizeTo(label, 300);
  label.SetLinkType(0);
  EXPECT_EQ(label.toolTip(), "Translate for us");
  EXPECT_EQ(label.text(), Markup("Translate for us"));
  ResizeTo(label, 310);
  EXPECT_EQ(label.text(), Markup("Original"));
  EXPECT_EQ(label.cursor().shape(), Qt::PointingHandCursor);
}

TEST(LabelPress, AnyButtonOpensTheUrl) {
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler("https", &catcher, "Open");
  CLabelPress label("https://example.invalid/a%20b?x=1", "link", nullptr);
  label.resize(100, 20);
  SendMouse(&label, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
  SendMouse(&label, QEvent::MouseButtonPress, {5, 5}, Qt::RightButton);
  QDesktopServices::unsetUrlHandler("https");
  ASSERT_EQ(catcher.urls.size(), 2);
  EXPECT_EQ(catcher.urls[0].toEncoded(), QByteArray("https://example.invalid/a%20b?x=1"));
  EXPECT_EQ(catcher.urls[1], catcher.urls[0]);
}

// Without a browser the click is not lost in silence: the user is told, with
// the address to open by hand. With a browser nothing is said.
TEST(LabelPress, WithoutABrowserTheUserIsToldTheAddress) {
  QStringList told;
  SetDesktopNotice([&](QWidget*, const QString& text) { told << text; });
  CLabelPress label("https://example.invalid/translation/", "Translate for us", nullptr);
  label.resize(100, 20);
  for (const bool browser : {false, true}) {
    SCOPED_TRACE(browser ? "with a browser" : "without a browser");
    told.clear();
    QList<QUrl> asked;
    SetDesktopOpener([&](const QUrl& url) {
      asked << url;
      return browser;
    });
    SendMouse(&label, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked.first().toString(), "https://example.invalid/translation/");
    if (browser) {
      EXPECT_TRUE(told.isEmpty());
    } else {
      ASSERT_EQ(told.size(), 1);
      EXPECT_TRUE(told.first().contains("https://example.invalid/translation/")) << told.first().toStdString();
    }
  }
  SetDesktopOpener(nullptr);
  SetDesktopNotice(nullptr);
}

#include "LabelPressTest.moc"
