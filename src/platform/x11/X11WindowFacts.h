#pragma once

#include "platform/WindowSystem.h"

#include <cstdint>
#include <string>

// What one pass knows about one top-level window. A window that vanished while it was
// read keeps the defaults: no class, no owner, not visible, no title, no process.
struct X11WindowFacts {
    WindowHandle window = 0;
    bool vanished = true;
    std::u16string className; // the ANSI form, at most 254 bytes
    WindowHandle owner = 0;   // WM_TRANSIENT_FOR, when it names a shown top-level window
    bool visible = false;
    std::u16string title; // the ANSI form, at most 79 bytes
    std::uint32_t processId = 0;
    bool shell = false;         // a desktop or dock window
    bool acceptsDelete = false; // WM_DELETE_WINDOW is in its WM_PROTOCOLS (read when asked)
};
