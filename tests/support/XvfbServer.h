#pragma once

#include "support/ChildProcess.h"

#include <string>

// A private X server for one test: Xvfb on a free display number (chosen by the server
// through -displayfd), optionally with openbox, both ended when this object goes. The
// test's own DISPLAY is set to it while it lives, and restored afterwards.
class XvfbServer {
public:
    explicit XvfbServer(bool withWindowManager = false, int width = 1280, int height = 1024);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool ok() const { return m_ok; }
    // ":N"
    const std::string& display() const { return m_display; }
    // Starts openbox and waits until it has set _OB_THEME on the root window, after which
    // a window mapped is managed.
    bool startWindowManager();
    void stopWindowManager();
    // Writes a PNG of the root window (needs ImageMagick's import).
    bool screenshot(const std::string& pngPath) const;

private:
    ChildProcess m_server;
    ChildProcess m_wm;
    std::string m_display;
    std::string m_savedDisplay;
    bool m_hadDisplay = false;
    bool m_ok = false;
};
