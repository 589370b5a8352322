// A separate X client for the backend's tests: it makes windows with the properties a test
// asks for, reports the close requests they receive, and can make and destroy windows as
// fast as it can. It talks over one socket (--fd N), a line per command, fields separated
// by tabs:
//   make <key=value>...        -> made <id>
//   set <id> <key=value>...    -> done
//   destroy <id>               -> done
//   sync                       -> done
//   storm <ms> [managed]       -> stormed <windows made>
//   flicker <id> <ms> <per second> <title>...
//                              -> flickered <changes>: sets _NET_WM_NAME to the titles in
//                                 turn, at that pace, for that time
//   quit
// and, whenever a window receives WM_DELETE_WINDOW: closed <id>, followed by a tab and the
// microseconds since the window was mapped by make or changed by set, for the first close
// request after that moment.
// Keys: name (_NET_WM_NAME), wmname (WM_NAME as STRING, Latin-1), wmname-utf8,
// wmname-ct (hex bytes of COMPOUND_TEXT), class (instance,class), transient (id or root),
// type (desktop, dock, normal, dialog), pid (_NET_WM_PID), delete (0/1, default 1),
// map (0/1, default 1), override (0/1), iconic (0/1), onclose (destroy or ignore),
// withdraw (any value: unmaps the window and tells the manager so),
// parent (id: a child window), bigname (a _NET_WM_NAME of that many bytes),
// raw (NAME:TYPE:FORMAT:hex, any property).
#include <xcb/xcb.h>
#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <poll.h>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    size_t start = 0;
    while (true) {
        const size_t end = s.find(sep, start);
        out.push_back(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return out;
        start = end + 1;
    }
}

std::string fromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// UTF-8 to Latin-1; characters beyond Latin-1 become "?".
std::string toLatin1(const std::string& utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        uint32_t cp = b;
        size_t len = 1;
        if (b >= 0xf0) {
            len = 4;
        } else if (b >= 0xe0) {
            len = 3;
        } else if (b >= 0xc0) {
            len = 2;
            cp = ((b & 0x1fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3fu);
        }
        out.push_back(len <= 2 && cp <= 0xff ? static_cast<char>(cp) : '?');
        i += len;
    }
    return out;
}

class Maker {
public:
    Maker(xcb_connection_t* c, int fd) : m_c(c), m_fd(fd) {
        m_screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(c, m_screen->root, XCB_CW_EVENT_MASK, &mask);
    }

    int run() {
        std::string buffer;
        while (true) {
            pollfd fds[2] = {{m_fd, POLLIN, 0}, {xcb_get_file_descriptor(m_c), POLLIN, 0}};
            drainEvents();
            if (xcb_connection_has_error(m_c))
                return 3;
            if (poll(fds, 2, 1000) < 0)
                continue;
            if (fds[0].revents & (POLLIN | POLLHUP)) {
                char chunk[4096];
                const ssize_t n = read(m_fd, chunk, sizeof chunk);
                if (n <= 0)
                    return 0;
                buffer.append(chunk, static_cast<size_t>(n));
                size_t nl;
                while ((nl = buffer.find('\n')) != std::string::npos) {
                    const std::string line = buffer.substr(0, nl);
                    buffer.erase(0, nl + 1);
                    if (!command(line))
                        return 0;
                }
            }
        }
    }

private:
    xcb_atom_t atom(const std::string& name) {
        auto it = m_atoms.find(name);
        if (it != m_atoms.end())
            return it->second;
        xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, 0, static_cast<uint16_t>(name.size()), name.c_str()),
            nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
        free(r);
        m_atoms[name] = a;
        return a;
    }

    void reply(const std::string& line) {
        const std::string out = line + "\n";
        size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = write(m_fd, out.data() + done, out.size() - done);
            if (n <= 0)
                return;
            done += static_cast<size_t>(n);
        }
    }

    // A round trip; the events that came before its reply are reported first.
    void sync() {
        free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
        drainEvents();
    }

    bool managerRunning() {
        xcb_get_property_reply_t* r = xcb_get_property_reply(
            m_c,
            xcb_get_property(m_c, 0, m_screen->root, atom("_NET_SUPPORTING_WM_CHECK"),
                             XCB_ATOM_WINDOW, 0, 1),
            nullptr);
        const bool running = r && xcb_get_property_value_length(r) == 4;
        free(r);
        return running;
    }

    bool managed(xcb_window_t w) {
        bool listed = false;
        xcb_get_property_reply_t* list = xcb_get_property_reply(
            m_c,
            xcb_get_property(m_c, 0, m_screen->root, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 0,
                             1 << 16),
            nullptr);
        if (list) {
            const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(list));
            const int n = xcb_get_property_value_length(list) / 4;
            for (int i = 0; i < n; ++i)
                listed = listed || ids[i] == w;
        }
        free(list);
        xcb_get_property_reply_t* state = xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, w, atom("WM_STATE"), XCB_ATOM_ANY, 0, 2), nullptr);
        const bool hasState = state && state->type != XCB_ATOM_NONE;
        free(state);
        return listed && hasState;
    }

    // Waits, event by event, until the manager has taken the window on (or the window has
    // been destroyed on a close request meanwhile).
    bool waitManaged(xcb_window_t w) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (m_destroyedOnClose.count(w))
                return false;
            if (managed(w))
                return true;
            pollfd p{xcb_get_file_descriptor(m_c), POLLIN, 0};
            poll(&p, 1, 100);
            drainEvents();
            if (xcb_connection_has_error(m_c))
                return false;
        }
        return false;
    }

    void drainEvents() {
        while (xcb_generic_event_t* e = xcb_poll_for_event(m_c)) {
            if ((e->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
                if (m->type == atom("WM_PROTOCOLS") &&
                    m->data.data32[0] == atom("WM_DELETE_WINDOW")) {
                    std::string line = "closed " + std::to_string(m->window);
                    const auto changed = m_changedAt.find(m->window);
                    if (changed != m_changedAt.end()) {
                        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::steady_clock::now() - changed->second);
                        line += "\t" + std::to_string(us.count());
                        m_changedAt.erase(changed);
                    }
                    reply(line);
                    if (m_ignoreClose.count(m->window) == 0) {
                        m_destroyedOnClose.insert(m->window);
                        xcb_destroy_window(m_c, m->window);
                        xcb_flush(m_c);
                    }
                }
            }
            free(e);
        }
    }

    void setText(xcb_window_t w, xcb_atom_t property, xcb_atom_t type, const std::string& text) {
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, w, property, type, 8,
                            static_cast<uint32_t>(text.size()), text.data());
    }

    void setLongs(xcb_window_t w, xcb_atom_t property, xcb_atom_t type,
                  const std::vector<uint32_t>& v) {
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, w, property, type, 32,
                            static_cast<uint32_t>(v.size()), v.data());
    }

    // The properties every kind of window may carry; false for an unknown key.
    bool apply(xcb_window_t w, const std::string& key, const std::string& value) {
        if (key == "name") {
            setText(w, atom("_NET_WM_NAME"), atom("UTF8_STRING"), value);
        } else if (key == "bigname") {
            setText(w, atom("_NET_WM_NAME"), atom("UTF8_STRING"),
                    std::string(std::stoul(value), 'a'));
        } else if (key == "wmname") {
            setText(w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, toLatin1(value));
        } else if (key == "wmname-utf8") {
            setText(w, XCB_ATOM_WM_NAME, atom("UTF8_STRING"), value);
        } else if (key == "wmname-ct") {
            setText(w, XCB_ATOM_WM_NAME, atom("COMPOUND_TEXT"), fromHex(value));
        } else if (key == "class") {
            const size_t comma = value.find(',');
            std::string v = comma == std::string::npos
                                ? value + std::string(1, '\0')
                                : value.substr(0, comma) + std::string(1, '\0') +
                                      value.substr(comma + 1) + std::string(1, '\0');
            setText(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, v);
        } else if (key == "transient") {
            const uint32_t owner =
                value == "root" ? m_screen->root : static_cast<uint32_t>(std::stoul(value));
            setLongs(w, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, {owner});
        } else if (key == "type") {
            std::string t = value;
            for (char& ch : t)
                ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
            setLongs(w, atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM,
                     {atom("_NET_WM_WINDOW_TYPE_" + t)});
        } else if (key == "pid") {
            setLongs(w, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL,
                     {static_cast<uint32_t>(std::stoul(value))});
        } else if (key == "delete") {
            if (value == "1")
                setLongs(w, atom("WM_PROTOCOLS"), XCB_ATOM_ATOM, {atom("WM_DELETE_WINDOW")});
            else
                xcb_delete_property(m_c, w, atom("WM_PROTOCOLS"));
        } else if (key == "onclose") {
            if (value == "ignore")
                m_ignoreClose.insert(w);
            else
                m_ignoreClose.erase(w);
        } else if (key == "withdraw") {
            // Unmapped, with the synthetic UnmapNotify that tells a manager to let it go.
            xcb_unmap_window(m_c, w);
            xcb_unmap_notify_event_t e{};
            e.response_type = XCB_UNMAP_NOTIFY;
            e.event = m_screen->root;
            e.window = w;
            char event[32] = {}; // every event sent is 32 bytes long
            std::memcpy(event, &e, sizeof e);
            xcb_send_event(
                m_c, 0, m_screen->root,
                XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY, event);
        } else if (key == "show") {
            // Mapped now; with a manager, once it has taken the window on.
            xcb_map_window(m_c, w);
            xcb_flush(m_c);
            if (managerRunning())
                waitManaged(w);
        } else if (key == "raw") {
            const std::vector<std::string> p = split(value, ':');
            if (p.size() != 4)
                return false;
            const int format = std::stoi(p[2]);
            const std::string bytes = fromHex(p[3]);
            xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, w, atom(p[0]), atom(p[1]),
                                static_cast<uint8_t>(format),
                                static_cast<uint32_t>(bytes.size() / (format / 8)), bytes.data());
        } else {
            return false;
        }
        return true;
    }

    void make(const std::vector<std::string>& fields) {
        std::map<std::string, std::string> single;
        std::vector<std::pair<std::string, std::string>> props;
        for (size_t i = 1; i < fields.size(); ++i) {
            const size_t eq = fields[i].find('=');
            if (eq == std::string::npos) {
                reply("error field " + fields[i]);
                return;
            }
            const std::string key = fields[i].substr(0, eq);
            const std::string value = fields[i].substr(eq + 1);
            if (key == "map" || key == "override" || key == "iconic" || key == "parent")
                single[key] = value;
            else
                props.emplace_back(key, value);
        }
        const bool map = single.count("map") == 0 || single["map"] == "1";
        const bool overrideRedirect = single["override"] == "1";
        const bool iconic = single["iconic"] == "1";
        const xcb_window_t parent = single.count("parent")
                                        ? static_cast<xcb_window_t>(std::stoul(single["parent"]))
                                        : m_screen->root;
        const xcb_window_t w = xcb_generate_id(m_c);
        const uint32_t values[] = {m_screen->white_pixel, overrideRedirect ? 1u : 0u,
                                   XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                       XCB_EVENT_MASK_PROPERTY_CHANGE};
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, w, parent, 10, 10, 200, 80, 1,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, m_screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        setLongs(w, atom("WM_PROTOCOLS"), XCB_ATOM_ATOM, {atom("WM_DELETE_WINDOW")});
        for (const auto& [key, value] : props)
            if (!apply(w, key, value)) {
                xcb_destroy_window(m_c, w);
                reply("error key " + key);
                return;
            }
        if (iconic) {
            xcb_icccm_wm_hints_t hints{};
            xcb_icccm_wm_hints_set_iconic(&hints);
            xcb_icccm_set_wm_hints(m_c, w, &hints);
        }
        if (map) {
            m_changedAt[w] = std::chrono::steady_clock::now();
            xcb_map_window(m_c, w);
        }
        sync();
        // A window closed (and destroyed) before the manager was seen to take it on was
        // still made.
        if (map && !overrideRedirect && parent == m_screen->root && managerRunning() &&
            !waitManaged(w) && m_destroyedOnClose.count(w) == 0) {
            reply("error not managed");
            return;
        }
        reply("made " + std::to_string(w));
    }

    // Makes and destroys windows for ms milliseconds, keeping the 20 newest. With managed,
    // each window is first taken on by the manager, so it is seen as a client before it goes.
    void storm(long ms, bool managed) {
        const bool waitForManager = managed && managerRunning();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        std::deque<xcb_window_t> alive;
        long made = 0;
        const uint32_t values[] = {m_screen->white_pixel};
        while (std::chrono::steady_clock::now() < deadline) {
            const xcb_window_t w = xcb_generate_id(m_c);
            xcb_create_window(m_c, XCB_COPY_FROM_PARENT, w, m_screen->root, 0, 0, 50, 20, 0,
                              XCB_WINDOW_CLASS_INPUT_OUTPUT, m_screen->root_visual,
                              XCB_CW_BACK_PIXEL, values);
            setText(w, atom("_NET_WM_NAME"), atom("UTF8_STRING"), "STORM " + std::to_string(made));
            setText(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, std::string("storm\0Storm\0", 12));
            setLongs(w, atom("WM_PROTOCOLS"), XCB_ATOM_ATOM, {atom("WM_DELETE_WINDOW")});
            xcb_map_window(m_c, w);
            if (waitForManager) {
                xcb_flush(m_c);
                waitManaged(w);
            }
            alive.push_back(w);
            ++made;
            while (alive.size() > 20) {
                xcb_destroy_window(m_c, alive.front());
                alive.pop_front();
            }
            // Keep pace with the server, so the requests do not pile up unboundedly.
            if (made % 32 == 0)
                sync();
            xcb_flush(m_c);
            drainEvents();
            if (xcb_connection_has_error(m_c))
                return;
        }
        for (xcb_window_t w : alive)
            xcb_destroy_window(m_c, w);
        sync();
        reply("stormed " + std::to_string(made));
    }

    // Changes the window's title perSecond times a second, each change flushed on its own,
    // so that every one reaches the server (and its watchers) as it is made.
    void flicker(xcb_window_t w, long ms, long perSecond, const std::vector<std::string>& titles) {
        const auto start = std::chrono::steady_clock::now();
        const auto deadline = start + std::chrono::milliseconds(ms);
        const auto step = std::chrono::microseconds(1000000 / std::max(perSecond, 1L));
        long changes = 0;
        while (true) {
            const auto due = start + step * changes;
            if (due >= deadline)
                break;
            std::this_thread::sleep_until(due);
            setText(w, atom("_NET_WM_NAME"), atom("UTF8_STRING"),
                    titles[static_cast<size_t>(changes) % titles.size()]);
            ++changes;
            if (changes % 32 == 0)
                sync();
            xcb_flush(m_c);
            drainEvents();
            if (xcb_connection_has_error(m_c))
                return;
        }
        sync();
        reply("flickered " + std::to_string(changes));
    }

    bool command(const std::string& line) {
        const std::vector<std::string> f = split(line, '\t');
        const std::string& verb = f[0];
        if (verb == "quit")
            return false;
        if (verb == "make") {
            make(f);
        } else if (verb == "set" && f.size() >= 2) {
            const xcb_window_t w = static_cast<xcb_window_t>(std::stoul(f[1]));
            m_changedAt[w] = std::chrono::steady_clock::now();
            for (size_t i = 2; i < f.size(); ++i) {
                const size_t eq = f[i].find('=');
                if (eq != std::string::npos)
                    apply(w, f[i].substr(0, eq), f[i].substr(eq + 1));
            }
            sync();
            reply("done");
        } else if (verb == "destroy" && f.size() == 2) {
            xcb_destroy_window(m_c, static_cast<xcb_window_t>(std::stoul(f[1])));
            sync();
            reply("done");
        } else if (verb == "sync") {
            sync();
            reply("done");
        } else if (verb == "flicker" && f.size() >= 5) {
            flicker(static_cast<xcb_window_t>(std::stoul(f[1])), std::stol(f[2]), std::stol(f[3]),
                    std::vector<std::string>(f.begin() + 4, f.end()));
        } else if (verb == "storm" && f.size() >= 2) {
            storm(std::stol(f[1]), f.size() >= 3 && f[2] == "managed");
        } else {
            reply("error command " + verb);
        }
        return true;
    }

    xcb_connection_t* m_c;
    int m_fd;
    xcb_screen_t* m_screen = nullptr;
    std::map<std::string, xcb_atom_t> m_atoms;
    std::set<xcb_window_t> m_ignoreClose;
    std::set<xcb_window_t> m_destroyedOnClose;
    // When each window was last mapped or changed, until its next close request.
    std::map<xcb_window_t, std::chrono::steady_clock::time_point> m_changedAt;
};

} // namespace

int main(int argc, char** argv) {
    int fd = -1;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--fd") == 0)
            fd = std::atoi(argv[i + 1]);
    if (fd < 0) {
        std::fprintf(stderr, "usage: x11_window_maker --fd N\n");
        return 2;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "x11_window_maker: cannot open the display\n");
        return 2;
    }
    Maker maker(c, fd);
    const int code = maker.run();
    xcb_disconnect(c);
    return code;
}
