#pragma once

#include <QString>

// The user's private folder for the instance lock and the wake-up socket:
// $XDG_RUNTIME_DIR/sentinel, or, without a runtime directory, a folder of the user's own
// in the temp folder, or, when another user holds that name, one in the user's cache folder
// ($XDG_CACHE_HOME). Created with mode 0700; a folder of one of those names that belongs to
// another user, or is not a real folder, is never used.
class RuntimeFolder {
public:
    // Returns the folder, creating it when needed; empty when no safe folder can be had.
    static QString path();
};
