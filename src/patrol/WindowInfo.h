#pragma once

#include "platform/WindowSystem.h"

#include <QString>
#include <QtGlobal>

// One found top-level window.
struct WindowInfo {
    WindowHandle hWnd = 0;
    quint32 ProcessID = 0;
    WindowHandle Parent = 0;
    QString Title;      // at most 79 bytes of code page 936
    QString ClassName;  // at most 254 bytes
    qint16 Visible = 0; // -1 true, 0 false
    // The platform's desktop or panel (spared like the desktop and the taskbar).
    bool Shell = false;
};
