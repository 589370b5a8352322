#include "platform/x11/X11Atoms.h"

#include <cstdlib>
#include <cstring>
#include <utility>

bool X11Atoms::intern(xcb_connection_t* connection) {
    const std::pair<const char*, xcb_atom_t*> table[] = {
        {"UTF8_STRING", &UTF8_STRING},
        {"COMPOUND_TEXT", &COMPOUND_TEXT},
        {"WM_PROTOCOLS", &WM_PROTOCOLS},
        {"WM_DELETE_WINDOW", &WM_DELETE_WINDOW},
        {"WM_STATE", &WM_STATE},
        {"_NET_SUPPORTING_WM_CHECK", &_NET_SUPPORTING_WM_CHECK},
        {"_NET_CLIENT_LIST", &_NET_CLIENT_LIST},
        {"_NET_CLIENT_LIST_STACKING", &_NET_CLIENT_LIST_STACKING},
        {"_NET_CLOSE_WINDOW", &_NET_CLOSE_WINDOW},
        {"_NET_WM_NAME", &_NET_WM_NAME},
        {"_NET_WM_PID", &_NET_WM_PID},
        {"_NET_WM_WINDOW_TYPE", &_NET_WM_WINDOW_TYPE},
        {"_NET_WM_WINDOW_TYPE_DESKTOP", &_NET_WM_WINDOW_TYPE_DESKTOP},
        {"_NET_WM_WINDOW_TYPE_DOCK", &_NET_WM_WINDOW_TYPE_DOCK},
    };
    constexpr size_t count = sizeof table / sizeof table[0];
    xcb_intern_atom_cookie_t cookies[count];
    for (size_t i = 0; i < count; ++i)
        cookies[i] = xcb_intern_atom(
            connection, 0, static_cast<uint16_t>(std::strlen(table[i].first)), table[i].first);
    bool all = true;
    for (size_t i = 0; i < count; ++i) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookies[i], nullptr);
        if (reply && reply->atom != XCB_ATOM_NONE)
            *table[i].second = reply->atom;
        else
            all = false;
        std::free(reply);
    }
    return all;
}
