#pragma once
#include <QString>

// Installs the gallery's stand-in engine and writes a small library of songs
// (with covers) below `workFolder`; call once, before the first window.
void PrepareMainWindowGallery(const QString& workFolder);
// The real main window's pages and dialogs into <out>/<prefix>_main_*.png.
// `programDir` holds the skin, fonts and translations.
void RenderMainWindow(const QString& out, const QString& prefix, int skin, const QString& programDir);
