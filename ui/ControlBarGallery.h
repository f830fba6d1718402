#pragma once

#include <QImage>

// Renders the control bar in a chosen state for the screenshot gallery, under
// whatever skin and style sheet the application currently has. Needs a
// QApplication; plays and records nothing (the states are shown, not run).
struct ControlBarSample {
    bool mini = false;
    bool playing = false;     // the player panel with a sample track
    bool recording = false;   // a song being recorded, 1:02:03 into it
    int width = 1024;         // the main window's width in pixels
};

QImage RenderControlBar(const ControlBarSample& sample);
