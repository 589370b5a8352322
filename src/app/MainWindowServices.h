#pragma once

#include "common/AppInfo.h"
#include "common/Codec936.h"
#include "platform/Prompts.h"
#include "platform/RegistryApi.h"
#include "platform/WindowSystem.h"

#include <QUrl>

#include <cstdlib>
#include <functional>

// What the main window works with, given by whoever makes it; every part outlives the
// window. Tests put doubles here.
struct MainWindowServices {
    WindowSystem& windows;
    Prompts& prompts;
    RegistryApi& registry;
    const AppInfo& app;
    // Code page 936, as the system's ANSI interface uses it.
    const Codec936& codec;
    // The "密码设置" button; nothing happens while it is empty.
    std::function<void()> setPassword = {};
    // Ends the whole process at once, running no further handling of any window.
    std::function<void()> endProcess = [] { std::_Exit(0); };
    // Carries out the About box's mail link; empty: the desktop's handler.
    std::function<void(const QUrl&)> openUrl = {};
};
