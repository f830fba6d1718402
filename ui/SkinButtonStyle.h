#pragma once
// The one way every image button of the program is skinned: a style-sheet
// template filled with an image base name (%1) and a width (%2) and height
// (%3). The images live in the skin resource under ":/prefix/res/but/", one
// file per state: <name>.png, <name>_on.png, <name>_down.png, <name>_disable.png.
#include <QString>

class QWidget;

// %1 image base name, %2 width, %3 height (numbers without a unit).
extern const QString SkinButtonStyle;
// Skin chooser thumbnails: %1 skin index, %2 width, %3 height; image
// ":/prefix/res/Settings/skin_<index>.png".
extern const QString SkinThumbnailStyle;

// Fills the button template. Sizes are design pixels multiplied by the scale
// and written untruncated as QString::arg(double) writes them (25 at 1.5 is
// "37.5"), because style sheets accept fractional pixels.
QString MakeSkinButtonStyle(const QString& imageName, double designWidth, double designHeight,
                            double scale);
// The same with the process-wide interface scale.
QString MakeSkinButtonStyle(const QString& imageName, double designWidth, double designHeight);
// Fills and sets the button template on a widget (interface scale).
void ApplySkinButtonStyle(QWidget* button, const QString& imageName, double designWidth,
                          double designHeight);

// Fills the thumbnail template: skin index and one side length (both sides).
QString MakeSkinThumbnailStyle(int skinIndex, double designSide, double scale);
