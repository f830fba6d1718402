#include "SkinButtonStyle.h"

#include "InterfaceScale.h"

#include <QWidget>

namespace {

QString Spaces(int n) { return QString(n, QLatin1Char(' ')); }

QString BuildButtonTemplate() {
  const QString s26 = Spaces(26);
  const QString s30 = Spaces(30);
  QString t = QStringLiteral("QAbstractButton{");
  for (const char* decl : {"min-width: %2;", "max-width: %2;", "max-height: %3;", "min-height: %3;",
                           "border-image: url(:/prefix/res/but/%1.png);"}) {
    t += s26 + QLatin1String(decl);
  }
  t += s26 + QLatin1String("}");
  // Later rules win among equal selectors: a checked button keeps "_down"
  // while hovered or disabled.
  const char* states[][2] = {
      {"QAbstractButton:hover", "border-image: url(:/prefix/res/but/%1_on.png);"},
      {"QAbstractButton:pressed", "border-image: url(:/prefix/res/but/%1_down.png);"},
      {"QAbstractButton:disabled", "border-image: url(:/prefix/res/but/%1_disable.png);"},
      {"QAbstractButton:checked", "border-image: url(:/prefix/res/but/%1_down.png);"},
  };
  for (const auto& st : states) {
    t += s26 + QLatin1String(st[0]) + s26 + QLatin1String("{") + s30 + QLatin1String(st[1]) +
         s26 + QLatin1String("}");
  }
  return t;
}

QString BuildThumbnailTemplate() {
  const QString s24 = Spaces(24);
  QString t = QStringLiteral("QToolButton{");
  for (const char* decl : {"min-width: %2;", "max-width: %2;", "max-height: %3;", "min-height: %3;",
                           "border-image: url(:/prefix/res/Settings/skin_%1.png);"}) {
    t += s24 + QLatin1String(decl);
  }
  t += s24 + QLatin1String("}");
  return t;
}

}  // namespace

const QString SkinButtonStyle = BuildButtonTemplate();
const QString SkinThumbnailStyle = BuildThumbnailTemplate();

QString MakeSkinButtonStyle(const QString& imageName, double designWidth, double designHeight,
                            double scale) {
  return SkinButtonStyle.arg(imageName).arg(designWidth * scale).arg(designHeight * scale);
}

QString MakeSkinButtonStyle(const QString& imageName, double designWidth, double designHeight) {
  return MakeSkinButtonStyle(imageName, designWidth, designHeight, GetInterfaceScale());
}

void ApplySkinButtonStyle(QWidget* button, const QString& imageName, double designWidth,
                          double designHeight) {
  if (button) button->setStyleSheet(MakeSkinButtonStyle(imageName, designWidth, designHeight));
}

QString MakeSkinThumbnailStyle(int skinIndex, double designSide, double scale) {
  const double side = designSide * scale;
  return SkinThumbnailStyle.arg(QString::number(skinIndex)).arg(side).arg(side);
}
