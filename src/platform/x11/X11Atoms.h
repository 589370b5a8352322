#pragma once

#include <xcb/xcb.h>

// The atoms the backend speaks in, interned once per connection and kept with it.
class X11Atoms {
public:
    // Interns every atom with a single round trip; false when the server answered none.
    bool intern(xcb_connection_t* connection);

    xcb_atom_t UTF8_STRING = XCB_ATOM_NONE;
    xcb_atom_t COMPOUND_TEXT = XCB_ATOM_NONE;
    xcb_atom_t WM_PROTOCOLS = XCB_ATOM_NONE;
    xcb_atom_t WM_DELETE_WINDOW = XCB_ATOM_NONE;
    xcb_atom_t WM_STATE = XCB_ATOM_NONE;
    xcb_atom_t _NET_SUPPORTING_WM_CHECK = XCB_ATOM_NONE;
    xcb_atom_t _NET_CLIENT_LIST = XCB_ATOM_NONE;
    xcb_atom_t _NET_CLIENT_LIST_STACKING = XCB_ATOM_NONE;
    xcb_atom_t _NET_CLOSE_WINDOW = XCB_ATOM_NONE;
    xcb_atom_t _NET_WM_NAME = XCB_ATOM_NONE;
    xcb_atom_t _NET_WM_PID = XCB_ATOM_NONE;
    xcb_atom_t _NET_WM_WINDOW_TYPE = XCB_ATOM_NONE;
    xcb_atom_t _NET_WM_WINDOW_TYPE_DESKTOP = XCB_ATOM_NONE;
    xcb_atom_t _NET_WM_WINDOW_TYPE_DOCK = XCB_ATOM_NONE;
};
