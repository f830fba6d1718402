#pragma once

// The interface scale: one process-wide factor by which every design pixel size
// of the program is multiplied. main() fixes it once at start-up from the screen
// width, before any widget exists; afterwards it is only read (any thread).

#include <QString>

// Screen width / 1920.0, clamped to [1.0, 2.0].
double ComputeInterfaceScale(int screenWidthPixels);

// The process-wide scale (1.0 until SetInterfaceScale is called).
double GetInterfaceScale();
// Stores the scale, clamped to [1.0, 2.0].
void SetInterfaceScale(double scale);

// N design pixels as widget pixels: N x scale truncated toward zero.
int ScaledPixels(int designPixels);
int ScaledPixels(int designPixels, double scale);

// A size written into a style sheet: the untruncated product in the general
// number format of QString::arg(double) (25 at scale 1.5 gives "37.5").
QString ScaledStyleNumber(double designPixels);
QString ScaledStyleNumber(double designPixels, double scale);

// Rewrites every "SIZE_<n>px" token of a style sheet (the sign and blanks
// between SIZE_ and px included) as the scaled number followed by "px".
// A token without digits or without a following "px" is left as it stands.
QString ScaleStyleSheetSizes(const QString& styleSheet, double scale);
