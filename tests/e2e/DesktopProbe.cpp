#include "e2e/DesktopProbe.h"

#include <cstdlib>
#include <cstring>

namespace {
// WM_STATE of a window on screen (ICCCM 4.1.3.1).
constexpr uint32_t kNormalState = 1;
} // namespace

DesktopProbe::DesktopProbe(const std::string& display) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    m_connection = c;
    m_root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    m_clientList = atom("_NET_CLIENT_LIST");
    m_netWmName = atom("_NET_WM_NAME");
    m_netWmPid = atom("_NET_WM_PID");
    m_wmState = atom("WM_STATE");
    m_utf8 = atom("UTF8_STRING");
    m_frameExtents = atom("_NET_FRAME_EXTENTS");
    m_netWmIcon = atom("_NET_WM_ICON");
}

DesktopProbe::~DesktopProbe() {
    if (m_connection)
        xcb_disconnect(m_connection);
}

xcb_atom_t DesktopProbe::atom(const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(strlen(name)), name),
        nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return a;
}

std::vector<uint32_t> DesktopProbe::cardinals(xcb_window_t window, xcb_atom_t property,
                                              xcb_atom_t type, uint32_t maxLength) {
    std::vector<uint32_t> out;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, property, type, 0, maxLength),
        nullptr);
    if (reply && reply->format == 32) {
        const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        out.assign(v, v + xcb_get_property_value_length(reply) / 4);
    }
    free(reply);
    return out;
}

QByteArray DesktopProbe::bytes(xcb_window_t window, xcb_atom_t property, xcb_atom_t* type) {
    QByteArray out;
    *type = XCB_ATOM_NONE;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
        nullptr);
    if (reply && reply->format == 8) {
        *type = reply->type;
        out = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                         xcb_get_property_value_length(reply));
    }
    free(reply);
    return out;
}

QString DesktopProbe::titleOf(xcb_window_t window) {
    xcb_atom_t type = XCB_ATOM_NONE;
    const QByteArray net = bytes(window, m_netWmName, &type);
    if (type == m_utf8)
        return QString::fromUtf8(net);
    const QByteArray name = bytes(window, XCB_ATOM_WM_NAME, &type);
    if (type == m_utf8)
        return QString::fromUtf8(name);
    if (type == XCB_ATOM_STRING)
        return QString::fromLatin1(name);
    // COMPOUND_TEXT: the ASCII bytes outside its escape sequences are enough to recognise
    // a window by the Latin words of its title.
    QByteArray ascii;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char ch = name[i];
        if (ch == '\x1b') {
            // ESC, intermediate bytes, one final byte.
            ++i;
            while (i < name.size() && name[i] >= 0x20 && name[i] <= 0x2f)
                ++i;
            continue;
        }
        if (ch >= 0x20 && ch < 0x7f)
            ascii += ch;
    }
    return QString::fromLatin1(ascii);
}

std::vector<DesktopProbe::Client> DesktopProbe::clients() {
    std::vector<Client> out;
    if (!m_connection)
        return out;
    for (uint32_t w : cardinals(m_root, m_clientList, XCB_ATOM_WINDOW, 4096)) {
        Client c;
        c.window = w;
        c.title = titleOf(w);
        const std::vector<uint32_t> pid = cardinals(w, m_netWmPid, XCB_ATOM_CARDINAL, 1);
        c.pid = pid.empty() ? 0 : pid[0];
        const std::vector<uint32_t> state = cardinals(w, m_wmState, m_wmState, 2);
        c.shown = !state.empty() && state[0] == kNormalState;
        out.push_back(c);
    }
    return out;
}

std::optional<DesktopProbe::Client> DesktopProbe::find(const QString& title) {
    for (const Client& c : clients())
        if (c.shown && c.title == title)
            return c;
    return std::nullopt;
}

std::vector<DesktopProbe::Client> DesktopProbe::shownOf(quint32 pid) {
    std::vector<Client> out;
    for (const Client& c : clients())
        if (c.shown && c.pid == pid)
            out.push_back(c);
    return out;
}

bool DesktopProbe::managed(xcb_window_t window) {
    for (uint32_t w : cardinals(m_root, m_clientList, XCB_ATOM_WINDOW, 4096))
        if (w == window)
            return true;
    return false;
}

QRect DesktopProbe::clientArea(xcb_window_t window) {
    QRect area;
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr);
    xcb_translate_coordinates_reply_t* origin = xcb_translate_coordinates_reply(
        m_connection, xcb_translate_coordinates(m_connection, window, m_root, 0, 0), nullptr);
    if (geometry && origin)
        area = QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
    free(geometry);
    free(origin);
    return area;
}

QRect DesktopProbe::frameArea(xcb_window_t window) {
    QRect area = clientArea(window);
    const std::vector<uint32_t> e = cardinals(window, m_frameExtents, XCB_ATOM_CARDINAL, 4);
    if (area.isValid() && e.size() == 4)
        area.adjust(-int(e[0]), -int(e[2]), int(e[1]), int(e[3]));
    return area;
}

std::vector<std::string> DesktopProbe::iconSizes(xcb_window_t window) {
    std::vector<std::string> out;
    const std::vector<uint32_t> icon =
        cardinals(window, m_netWmIcon, XCB_ATOM_CARDINAL, 1024 * 1024);
    size_t i = 0;
    while (i + 2 <= icon.size()) {
        const uint64_t w = icon[i];
        const uint64_t h = icon[i + 1];
        if (w == 0 || h == 0 || i + 2 + w * h > icon.size())
            break;
        out.push_back(std::to_string(w) + "x" + std::to_string(h));
        i += 2 + w * h;
    }
    return out;
}
