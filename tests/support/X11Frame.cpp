#include "support/X11Frame.h"

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

// The frame's left, right, top and bottom widths, or nothing when the manager set none.
bool frameExtents(xcb_connection_t* c, xcb_window_t window, int (&extents)[4]) {
    const char name[] = "_NET_FRAME_EXTENTS";
    auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof name - 1, name), nullptr);
    bool found = false;
    if (atom && atom->atom) {
        auto* prop = xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, atom->atom, XCB_ATOM_CARDINAL, 0, 4), nullptr);
        if (prop && xcb_get_property_value_length(prop) == 16) {
            const auto* e = static_cast<const uint32_t*>(xcb_get_property_value(prop));
            for (int i = 0; i < 4; ++i)
                extents[i] = int(e[i]);
            found = true;
        }
        free(prop);
    }
    free(atom);
    return found;
}

} // namespace

X11Frame X11Frame::of(const std::string& display, quint32 window) {
    X11Frame p;
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return p;
    }
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    auto* origin = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, window, root, 0, 0), nullptr);
    if (geometry && origin) {
        p.client = QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
        p.frame = p.client;
        int e[4] = {};
        if (frameExtents(c, window, e))
            p.frame.adjust(-e[0], -e[2], e[1], e[3]);
    }
    free(geometry);
    free(origin);
    xcb_disconnect(c);
    return p;
}
