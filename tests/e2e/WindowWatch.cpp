#include "e2e/WindowWatch.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
}

} // namespace

WindowWatch::WindowWatch(const std::string& display) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    m_connection = c;
    m_root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    m_clientList = atom("_NET_CLIENT_LIST");
    m_netWmName = atom("_NET_WM_NAME");
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, m_root, XCB_CW_EVENT_MASK, &mask);
    // A round trip: from here on every change is reported.
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

WindowWatch::~WindowWatch() {
    if (m_connection)
        xcb_disconnect(m_connection);
}

xcb_atom_t WindowWatch::atom(const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(strlen(name)), name),
        nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return a;
}

xcb_generic_event_t* WindowWatch::next(int remainingMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(remainingMs);
    while (true) {
        if (xcb_generic_event_t* e = xcb_poll_for_event(m_connection)) {
            const uint8_t type = e->response_type & 0x7f;
            if (type == XCB_CREATE_NOTIFY) {
                const auto* c = reinterpret_cast<xcb_create_notify_event_t*>(e);
                if (c->parent == m_root)
                    m_created.insert(c->window);
            } else if (type == XCB_REPARENT_NOTIFY) {
                const auto* r = reinterpret_cast<xcb_reparent_notify_event_t*>(e);
                if (r->parent != m_root && m_created.count(r->window))
                    m_reparented.insert(r->window);
            }
            return e;
        }
        if (xcb_connection_has_error(m_connection) || Clock::now() >= deadline)
            return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool WindowWatch::inClientList(xcb_window_t window) {
    bool found = false;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, 0, m_root, m_clientList, XCB_ATOM_WINDOW, 0, 4096), nullptr);
    if (reply && reply->format == 32) {
        const auto* v = static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
        const int n = xcb_get_property_value_length(reply) / 4;
        for (int i = 0; i < n && !found; ++i)
            found = v[i] == window;
    }
    free(reply);
    return found;
}

std::optional<WindowWatch::Managed> WindowWatch::nextManaged(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (xcb_generic_event_t* e = next(msLeft(deadline))) {
        std::optional<Managed> found;
        if ((e->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            const auto* p = reinterpret_cast<xcb_property_notify_event_t*>(e);
            // The manager lists a window it has taken on after reparenting it.
            if (p->window == m_root && p->atom == m_clientList && !m_reparented.empty()) {
                found = Managed{*m_reparented.begin(), p->time};
                m_created.erase(found->window);
                m_reparented.erase(found->window);
            }
        }
        free(e);
        if (found)
            return found;
    }
    return std::nullopt;
}

bool WindowWatch::createdWindowVanished() {
    for (const xcb_window_t w : m_created) {
        xcb_get_window_attributes_reply_t* reply = xcb_get_window_attributes_reply(
            m_connection, xcb_get_window_attributes(m_connection, w), nullptr);
        const bool gone = reply == nullptr;
        free(reply);
        if (gone)
            return true;
    }
    return false;
}

void WindowWatch::watchTitle(xcb_window_t window) {
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection, window, XCB_CW_EVENT_MASK, &mask);
    free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

std::optional<uint32_t> WindowWatch::nextTitleChange(xcb_window_t window, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (xcb_generic_event_t* e = next(msLeft(deadline))) {
        std::optional<uint32_t> time;
        if ((e->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            const auto* p = reinterpret_cast<xcb_property_notify_event_t*>(e);
            if (p->window == window && (p->atom == XCB_ATOM_WM_NAME || p->atom == m_netWmName))
                time = p->time;
        }
        free(e);
        if (time)
            return time;
    }
    return std::nullopt;
}

std::optional<uint32_t> WindowWatch::nextGone(xcb_window_t window, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (xcb_generic_event_t* e = next(msLeft(deadline))) {
        std::optional<uint32_t> time;
        if ((e->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            const auto* p = reinterpret_cast<xcb_property_notify_event_t*>(e);
            // Nothing else changes the list meanwhile, so the first change that leaves the
            // window out is the one that took it off.
            if (p->window == m_root && p->atom == m_clientList && !inClientList(window))
                time = p->time;
        }
        free(e);
        if (time)
            return time;
    }
    return std::nullopt;
}
