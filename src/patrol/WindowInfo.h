#pragma once

#include "platform/WindowSystem.h"

#include <cstdint>
#include <string>

// One found top-level window.
struct WindowInfo {
    WindowHandle hWnd = 0;
    std::uint32_t ProcessID = 0;
    WindowHandle Parent = 0;
    std::u16string Title;     // at most 79 bytes of code page 936
    std::u16string ClassName; // at most 254 bytes
    std::int16_t Visible = 0; // -1 true, 0 false
    // The platform's desktop or panel (spared like the desktop and the taskbar).
    bool Shell = false;
};
