#include "support/XvfbServer.h"

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

bool rootHasProperty(const std::string& display, const char* name) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return false;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    bool found = false;
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 1, static_cast<uint16_t>(strlen(name)), name), nullptr);
    if (atom && atom->atom != XCB_ATOM_NONE) {
        xcb_get_property_reply_t* prop = xcb_get_property_reply(
            c, xcb_get_property(c, 0, screen->root, atom->atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 1),
            nullptr);
        found = prop && prop->type != XCB_ATOM_NONE;
        free(prop);
    }
    free(atom);
    xcb_disconnect(c);
    return found;
}

} // namespace

XvfbServer::XvfbServer(bool withWindowManager, int width, int height) {
    int fds[2];
    if (pipe(fds) != 0)
        return;
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    if (!m_server.start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                         "-nolisten", "tcp", "-noreset"},
                        {}, fds[1], "/dev/null")) {
        close(fds[0]);
        close(fds[1]);
        return;
    }
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (poll(&p, 1, 100) > 0) {
            char buf[16];
            const ssize_t n = read(fds[0], buf, sizeof buf);
            if (n <= 0)
                break;
            number.append(buf, static_cast<size_t>(n));
            if (number.find('\n') != std::string::npos)
                break;
        }
    }
    close(fds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == '\r'))
        number.pop_back();
    if (number.empty())
        return;
    m_display = ":" + number;
    if (const char* old = getenv("DISPLAY")) {
        m_hadDisplay = true;
        m_savedDisplay = old;
    }
    setenv("DISPLAY", m_display.c_str(), 1);
    m_ok = true;
    if (withWindowManager)
        m_ok = startWindowManager();
}

XvfbServer::~XvfbServer() {
    m_wm.terminate();
    m_server.terminate();
    if (m_hadDisplay)
        setenv("DISPLAY", m_savedDisplay.c_str(), 1);
    else
        unsetenv("DISPLAY");
}

bool XvfbServer::startWindowManager() {
    if (m_display.empty())
        return false;
    if (!m_wm.start({"openbox", "--sm-disable"}, {"DISPLAY=" + m_display}, -1, "/dev/null"))
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (rootHasProperty(m_display, "_OB_THEME"))
            return true;
        if (!m_wm.running())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void XvfbServer::stopWindowManager() {
    m_wm.terminate();
}

bool XvfbServer::screenshot(const std::string& pngPath) const {
    ChildProcess shot;
    if (!shot.start({"import", "-display", m_display, "-window", "root", pngPath}, {}, -1,
                    "/dev/null"))
        return false;
    return shot.waitFor(30000) && shot.exitCode() == 0;
}
