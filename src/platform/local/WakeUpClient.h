#pragma once

#include <QString>

// The later instance's side of the wake-up: send the text to the address published as
// "hwnd" and wait, without a time limit, until the running instance has handled it.
class WakeUpClient {
public:
    // Returns true when the running instance answered. An empty, non-numeric or stale
    // address fails quietly. folder empty: the user's runtime folder.
    static bool send(const QString& address, const QString& text,
                     const QString& folder = QString());
};
