#pragma once

#include <QString>

// The XDG base directories, read from the environment at the moment of the call.
class XdgPaths {
public:
    // $XDG_CONFIG_HOME, or ~/.config when it is unset, empty or relative.
    static QString configHome();
    // $XDG_CACHE_HOME, or ~/.cache when it is unset, empty or relative.
    static QString cacheHome();
    // The first folder of $XDG_CONFIG_DIRS, or /etc/xdg.
    static QString firstConfigDir();
    // $XDG_RUNTIME_DIR when set and absolute, else empty.
    static QString runtimeDir();
};
