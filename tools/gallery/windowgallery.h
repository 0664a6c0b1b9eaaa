#pragma once

#include <QString>

// gallery --window: shows the toolkit's windows as real top-level windows on the current display
// (a dialog with its combo list open, a popup, a tooltip label, arrow bubbles near the screen's
// edges, the toolkit widgets in a window of their own) over a plain backdrop, so what the window
// system makes of them (black corners, shadows, clipping by child widgets) shows as a user sees it.
// Only rows whose name contains filter are shown. With a file name, the screen is grabbed into it
// once the windows are drawn and the program ends (0, or 1 when the file cannot be written);
// without one the windows stay until the program is ended.
int runWindowGallery(const QString& outFile, const QString& filter);
