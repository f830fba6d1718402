#pragma once
// Process-wide flags shared by the program's widgets. GUI thread only: written
// and read by widgets' event handlers, never touched by another thread, so no
// lock guards them.

// True while a focus-reporting line edit (CFocusNotiFlyEdit or a derived edit)
// holds the keyboard focus; the main window's keyboard shortcuts stay out of
// the way while it is set.
extern bool EditFocusFlag;

// True while a play list's name is being edited in place. The library tree sets
// it when it opens the editor; the editor clears it as it goes away; the
// skinned tool buttons and sliders clear it and swallow the first press while
// it is set, so that press ends the rename instead of being lost.
extern bool ListNameEditing;
