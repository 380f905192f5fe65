// The size hints of the editor's X11 window, which embedding hosts (suil's
// wrappers among them) read to size the space they give it.
#pragma once

// [UI thread] Declares `window` (an X11 Window id) as exactly width x height:
// minimum, maximum and base size. Does nothing without a display or window.
void setFixedSizeHints(void* window, int width, int height);
