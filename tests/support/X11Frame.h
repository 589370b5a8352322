#pragma once

#include <QRect>

#include <string>

// Where a client window is on the root window of a display, and the frame the window
// manager put around it (from _NET_FRAME_EXTENTS; the client's own rectangle without one).
// Both in the display's pixels. Null rectangles when the window cannot be asked.
struct X11Frame {
    QRect client;
    QRect frame;

    static X11Frame of(const std::string& display, quint32 window);
};
