#include "platform/x11/X11Snapshot.h"

#include "platform/qt/QtText.h"
#include "platform/x11/X11Text.h"

#include <QSet>

#include <xcb/res.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace {

// Upper bounds, in 32-bit units, of what is read of each property. A title needs at most
// 79 characters; the bounds leave room for escapes and broken bytes, and keep an absurdly
// long property from costing more than a few kilobytes.
constexpr uint32_t kTextLongs = 1024;
constexpr uint32_t kAtomListLongs = 64;
constexpr uint32_t kClientListLongs = 1u << 16;
// How many windows a search for clients beneath frames may look at on each level.
constexpr size_t kSearchBudget = 4096;

constexpr uint32_t kNormalState = 1;
constexpr uint32_t kIconicState = 3;

struct Property {
    bool failed = false; // the request drew an error: the window is gone or unusable
    xcb_atom_t type = XCB_ATOM_NONE;
    uint8_t format = 0;
    // Refers into the reply, which the property keeps, so that no value is copied.
    QByteArray value;
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply{nullptr, &std::free};

    bool is(xcb_atom_t wantedType, uint8_t wantedFormat) const {
        return !failed && type == wantedType && format == wantedFormat && !value.isEmpty();
    }
    std::vector<uint32_t> longs() const {
        std::vector<uint32_t> out(static_cast<size_t>(value.size()) / 4);
        if (!out.empty())
            std::memcpy(out.data(), value.constData(), out.size() * 4);
        return out;
    }
    uint32_t first() const {
        uint32_t v = 0;
        if (value.size() >= 4)
            std::memcpy(&v, value.constData(), 4);
        return v;
    }
};

xcb_get_property_cookie_t ask(const X11Snapshot::Link& link, xcb_window_t window,
                              xcb_atom_t property, uint32_t longs) {
    return xcb_get_property(link.connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                            longs);
}

Property receive(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
    Property p;
    xcb_generic_error_t* error = nullptr;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(c, cookie, &error);
    std::free(error);
    if (!reply) {
        p.failed = true;
        return p;
    }
    p.reply.reset(reply);
    p.type = reply->type;
    p.format = reply->format;
    const int length = xcb_get_property_value_length(reply);
    if (length > 0 && (p.format == 8 || p.format == 16 || p.format == 32))
        p.value = QByteArray::fromRawData(static_cast<const char*>(xcb_get_property_value(reply)),
                                          length);
    return p;
}

// The requests for what a pass wants to know of one window. WM_NAME and _NET_WM_PID stand in
// for _NET_WM_NAME and the server's answer, so an enumeration asks for them only in a
// second round for the windows that need them; WM_PROTOCOLS matters only to a close
// request.
struct WindowRequests {
    xcb_window_t window = XCB_WINDOW_NONE;
    xcb_get_property_cookie_t wmClass{}, transientFor{}, wmState{}, windowType{}, netName{};
    std::optional<xcb_get_property_cookie_t> wmName, netPid, protocols;
    std::optional<xcb_get_window_attributes_cookie_t> attributes;
};

enum class Ask {
    Essentials, // what every window of an enumeration needs
    Everything, // all in one round, WM_PROTOCOLS included, for a few given windows
};

// A window's facts before the manager check decides which visibility rule holds, and
// before the stand-ins have been read.
struct Reading {
    X11WindowFacts facts;
    bool hasWmState = false;
    bool shownState = false; // WM_STATE Normal or Iconic
    bool viewable = false;   // map state Viewable
    bool needsWmName = false;
    bool needsNetPid = false;

    void vanish() {
        const WindowHandle window = facts.window;
        facts = X11WindowFacts();
        facts.window = window;
    }
    X11WindowFacts finish(bool managerRunning) {
        if (!facts.vanished)
            facts.visible = managerRunning ? shownState : viewable;
        return facts;
    }
};

WindowRequests send(const X11Snapshot::Link& link, xcb_window_t window, Ask what,
                    bool withAttributes) {
    const X11Atoms& a = *link.atoms;
    WindowRequests r;
    r.window = window;
    r.wmClass = ask(link, window, XCB_ATOM_WM_CLASS, kTextLongs);
    r.transientFor = ask(link, window, XCB_ATOM_WM_TRANSIENT_FOR, 1);
    r.wmState = ask(link, window, a.WM_STATE, 2);
    r.windowType = ask(link, window, a._NET_WM_WINDOW_TYPE, kAtomListLongs);
    r.netName = ask(link, window, a._NET_WM_NAME, kTextLongs);
    if (what == Ask::Everything) {
        r.wmName = ask(link, window, XCB_ATOM_WM_NAME, kTextLongs);
        r.protocols = ask(link, window, a.WM_PROTOCOLS, kAtomListLongs);
    }
    if (what == Ask::Everything || !link.resourceExtension)
        r.netPid = ask(link, window, a._NET_WM_PID, 1);
    if (withAttributes)
        r.attributes = xcb_get_window_attributes(link.connection, window);
    return r;
}

void discard(xcb_connection_t* c, const WindowRequests& r) {
    for (const xcb_get_property_cookie_t& cookie :
         {r.wmClass, r.transientFor, r.wmState, r.windowType, r.netName})
        xcb_discard_reply(c, cookie.sequence);
    for (const auto& cookie : {r.wmName, r.netPid, r.protocols})
        if (cookie)
            xcb_discard_reply(c, cookie->sequence);
    if (r.attributes)
        xcb_discard_reply(c, r.attributes->sequence);
}

// The processes of the windows' clients, as the server knows them: one X-Resource query
// for all the clients that own the windows (a window's id, without its resource bits, is
// its client's base). A client cannot fake this answer; one connected from elsewhere has
// no local process and is left out.
class ServerPids {
public:
    ServerPids() = default;
    ServerPids(const X11Snapshot::Link& link, const std::vector<xcb_window_t>& windows)
        : m_link(&link) {
        if (!link.resourceExtension || windows.empty())
            return;
        QSet<uint32_t> bases;
        std::vector<xcb_res_client_id_spec_t> specs;
        for (xcb_window_t w : windows) {
            const uint32_t base = w & ~link.resourceIdMask;
            if (base != 0 && !bases.contains(base)) {
                bases.insert(base);
                specs.push_back({base, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID});
            }
        }
        if (!specs.empty())
            m_cookie = xcb_res_query_client_ids(link.connection,
                                                static_cast<uint32_t>(specs.size()), specs.data());
    }

    // Waits for the answer the first time; 0 for a window whose client has no local process.
    quint32 of(xcb_window_t window) {
        if (m_cookie) {
            read(*m_cookie);
            m_cookie.reset();
        }
        return m_pids.value(window & ~m_link->resourceIdMask, 0);
    }

    ~ServerPids() {
        if (m_cookie)
            xcb_discard_reply(m_link->connection, m_cookie->sequence);
    }
    ServerPids(const ServerPids&) = delete;
    ServerPids& operator=(const ServerPids&) = delete;

private:
    void read(xcb_res_query_client_ids_cookie_t cookie) {
        xcb_generic_error_t* error = nullptr;
        xcb_res_query_client_ids_reply_t* reply =
            xcb_res_query_client_ids_reply(m_link->connection, cookie, &error);
        std::free(error);
        if (!reply)
            return;
        for (xcb_res_client_id_value_iterator_t it = xcb_res_query_client_ids_ids_iterator(reply);
             it.rem > 0; xcb_res_client_id_value_next(&it)) {
            if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) &&
                xcb_res_client_id_value_value_length(it.data) >= 1)
                m_pids.insert(it.data->spec.client & ~m_link->resourceIdMask,
                              *xcb_res_client_id_value_value(it.data));
        }
        std::free(reply);
    }

    const X11Snapshot::Link* m_link = nullptr;
    std::optional<xcb_res_query_client_ids_cookie_t> m_cookie;
    QHash<uint32_t, quint32> m_pids;
};

// The title text of _NET_WM_NAME; empty when it is absent, empty or of the wrong type.
QString netTitle(const X11Snapshot::Link& link, const Property& netName) {
    if (!netName.is(link.atoms->UTF8_STRING, 8))
        return {};
    return link.text->decode(netName.value, X11Text::Encoding::Utf8);
}

QString wmTitle(const X11Snapshot::Link& link, const Property& wmName) {
    X11Text& text = *link.text;
    if (wmName.is(XCB_ATOM_STRING, 8))
        return text.decode(wmName.value, X11Text::Encoding::Latin1);
    if (wmName.is(link.atoms->UTF8_STRING, 8))
        return text.decode(wmName.value, X11Text::Encoding::Utf8);
    if (wmName.is(link.atoms->COMPOUND_TEXT, 8))
        return text.decode(wmName.value, X11Text::Encoding::CompoundText);
    return {};
}

quint32 claimedPid(const Property& netPid) {
    return netPid.is(XCB_ATOM_CARDINAL, 32) ? netPid.first() : 0;
}

Reading collect(const X11Snapshot::Link& link, const WindowRequests& r, ServerPids& pids) {
    xcb_connection_t* c = link.connection;
    const X11Atoms& a = *link.atoms;
    X11Text& text = *link.text;
    const Property wmClass = receive(c, r.wmClass);
    const Property transientFor = receive(c, r.transientFor);
    const Property wmState = receive(c, r.wmState);
    const Property windowType = receive(c, r.windowType);
    const Property netName = receive(c, r.netName);
    const std::optional<Property> wmName =
        r.wmName ? std::optional(receive(c, *r.wmName)) : std::nullopt;
    const std::optional<Property> netPid =
        r.netPid ? std::optional(receive(c, *r.netPid)) : std::nullopt;
    const std::optional<Property> protocols =
        r.protocols ? std::optional(receive(c, *r.protocols)) : std::nullopt;
    const quint32 serverPid = pids.of(r.window);
    bool attributesFailed = false;
    bool viewable = false;
    if (r.attributes) {
        xcb_generic_error_t* error = nullptr;
        xcb_get_window_attributes_reply_t* attributes =
            xcb_get_window_attributes_reply(c, *r.attributes, &error);
        std::free(error);
        attributesFailed = attributes == nullptr;
        viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(attributes);
    }

    Reading reading;
    reading.facts.window = r.window;
    for (const Property* p : {&wmClass, &transientFor, &wmState, &windowType, &netName})
        if (p->failed)
            return reading;
    for (const std::optional<Property>* p : {&wmName, &netPid, &protocols})
        if (*p && (*p)->failed)
            return reading;
    if (attributesFailed)
        return reading;

    X11WindowFacts& f = reading.facts;
    f.vanished = false;
    if (wmClass.is(XCB_ATOM_STRING, 8))
        f.className = QtText::fromQ(text.className(wmClass.value, X11Text::Encoding::Latin1));
    else if (wmClass.is(a.UTF8_STRING, 8))
        f.className = QtText::fromQ(text.className(wmClass.value, X11Text::Encoding::Utf8));
    if (transientFor.is(XCB_ATOM_WINDOW, 32))
        f.owner = transientFor.first();
    QString title = netTitle(link, netName);
    if (title.isEmpty() && wmName)
        title = wmTitle(link, *wmName);
    reading.needsWmName = title.isEmpty() && !wmName;
    f.title = QtText::fromQ(text.ansiTitle(title));
    f.processId = serverPid != 0 ? serverPid : netPid ? claimedPid(*netPid) : 0;
    reading.needsNetPid = f.processId == 0 && !netPid;
    if (windowType.is(XCB_ATOM_ATOM, 32))
        for (uint32_t type : windowType.longs())
            if (type == a._NET_WM_WINDOW_TYPE_DESKTOP || type == a._NET_WM_WINDOW_TYPE_DOCK)
                f.shell = true;
    if (protocols && protocols->is(XCB_ATOM_ATOM, 32)) {
        const std::vector<uint32_t> list = protocols->longs();
        f.acceptsDelete = std::find(list.begin(), list.end(), a.WM_DELETE_WINDOW) != list.end();
    }
    reading.hasWmState = wmState.is(a.WM_STATE, 32);
    if (reading.hasWmState) {
        const uint32_t state = wmState.first();
        reading.shownState = state == kNormalState || state == kIconicState;
    }
    reading.viewable = viewable;
    return reading;
}

// One more round, for the windows without _NET_WM_NAME or without a process named by the
// server: their WM_NAME and their own claim of a process.
void completeStandIns(const X11Snapshot::Link& link, std::vector<Reading*>& readings) {
    xcb_connection_t* c = link.connection;
    struct Asked {
        Reading* reading;
        std::optional<xcb_get_property_cookie_t> wmName, netPid;
    };
    std::vector<Asked> asked;
    for (Reading* r : readings) {
        if (r->facts.vanished || !(r->needsWmName || r->needsNetPid))
            continue;
        Asked one{r, std::nullopt, std::nullopt};
        if (r->needsWmName)
            one.wmName = ask(link, r->facts.window, XCB_ATOM_WM_NAME, kTextLongs);
        if (r->needsNetPid)
            one.netPid = ask(link, r->facts.window, link.atoms->_NET_WM_PID, 1);
        asked.push_back(one);
    }
    for (const Asked& one : asked) {
        bool failed = false;
        if (one.wmName) {
            const Property wmName = receive(c, *one.wmName);
            failed = failed || wmName.failed;
            one.reading->facts.title = QtText::fromQ(link.text->ansiTitle(wmTitle(link, wmName)));
        }
        if (one.netPid) {
            const Property netPid = receive(c, *one.netPid);
            failed = failed || netPid.failed;
            one.reading->facts.processId = claimedPid(netPid);
        }
        one.reading->needsWmName = one.reading->needsNetPid = false;
        if (failed)
            one.reading->vanish();
    }
}

std::vector<xcb_window_t> children(xcb_connection_t* c, xcb_query_tree_cookie_t cookie) {
    xcb_generic_error_t* error = nullptr;
    xcb_query_tree_reply_t* reply = xcb_query_tree_reply(c, cookie, &error);
    std::free(error);
    if (!reply)
        return {};
    const xcb_window_t* first = xcb_query_tree_children(reply);
    std::vector<xcb_window_t> out(first, first + xcb_query_tree_children_length(reply));
    std::free(reply);
    return out;
}

// The manager check: the window named on the root must name itself, or the manager that
// set it is gone.
xcb_get_property_cookie_t askCheck(const X11Snapshot::Link& link, xcb_window_t window) {
    return ask(link, window, link.atoms->_NET_SUPPORTING_WM_CHECK, 1);
}

xcb_window_t checkWindowOf(const Property& p) {
    return p.is(XCB_ATOM_WINDOW, 32) ? p.first() : xcb_window_t{XCB_WINDOW_NONE};
}

// The manager's clients as its root lists give them, bottom to top (or oldest first).
std::vector<uint32_t> clientsOf(const Property& stacking, const Property& list) {
    return stacking.is(XCB_ATOM_WINDOW, 32) ? stacking.longs()
           : list.is(XCB_ATOM_WINDOW, 32)   ? list.longs()
                                            : std::vector<uint32_t>{};
}

// Both lists run bottom to top (or oldest first); the pass goes front to back, each window
// once.
std::vector<xcb_window_t> frontToBack(const std::vector<uint32_t>& clients) {
    QSet<uint32_t> seen;
    std::vector<xcb_window_t> out;
    for (auto it = clients.rbegin(); it != clients.rend(); ++it)
        if (*it != XCB_WINDOW_NONE && !seen.contains(*it)) {
            seen.insert(*it);
            out.push_back(*it);
        }
    return out;
}

// The windows that WM_TRANSIENT_FOR names, other than the window itself and the root.
std::vector<xcb_window_t> namedOwners(const X11Snapshot::Link& link,
                                      const std::vector<Reading>& readings) {
    QSet<xcb_window_t> seen;
    std::vector<xcb_window_t> out;
    for (const Reading& r : readings) {
        const xcb_window_t owner = r.facts.owner;
        if (owner != XCB_WINDOW_NONE && owner != r.facts.window && owner != link.root &&
            !seen.contains(owner)) {
            seen.insert(owner);
            out.push_back(owner);
        }
    }
    return out;
}

// Which of some windows are shown top-level windows, by the rules of an enumeration,
// asked in one round: with a manager, its clients in WM_STATE Normal or Iconic; without
// one, the root's children and the clients beneath frames (they carry WM_STATE) that are
// viewable. Both rules are asked for, since the round goes out before the manager check
// is answered.
class ShownTopLevels {
public:
    ShownTopLevels(const X11Snapshot::Link& link, std::vector<xcb_window_t> windows)
        : m_link(link), m_windows(std::move(windows)) {
        if (m_windows.empty())
            return;
        xcb_connection_t* c = link.connection;
        m_stacking = ask(link, link.root, link.atoms->_NET_CLIENT_LIST_STACKING, kClientListLongs);
        m_list = ask(link, link.root, link.atoms->_NET_CLIENT_LIST, kClientListLongs);
        for (xcb_window_t w : m_windows)
            m_asked.push_back({ask(link, w, link.atoms->WM_STATE, 2),
                               xcb_get_window_attributes(c, w), xcb_query_tree(c, w)});
    }

    QSet<xcb_window_t> read(bool managerRunning) {
        QSet<xcb_window_t> shown;
        if (m_windows.empty())
            return shown;
        xcb_connection_t* c = m_link.connection;
        const Property stacking = receive(c, m_stacking);
        const Property list = receive(c, m_list);
        const std::vector<uint32_t> clients = clientsOf(stacking, list);
        for (size_t i = 0; i < m_windows.size(); ++i) {
            const Facts f = readOne(c, m_asked[i]);
            const bool topLevel = managerRunning ? std::find(clients.begin(), clients.end(),
                                                             m_windows[i]) != clients.end()
                                                 : f.parent == m_link.root || f.hasWmState;
            const bool visible = managerRunning ? f.shownState : f.viewable;
            if (!f.failed && topLevel && visible)
                shown.insert(m_windows[i]);
        }
        m_asked.clear();
        return shown;
    }

    ~ShownTopLevels() {
        if (m_asked.empty())
            return;
        xcb_connection_t* c = m_link.connection;
        xcb_discard_reply(c, m_stacking.sequence);
        xcb_discard_reply(c, m_list.sequence);
        for (const Asked& a : m_asked) {
            xcb_discard_reply(c, a.state.sequence);
            xcb_discard_reply(c, a.attributes.sequence);
            xcb_discard_reply(c, a.tree.sequence);
        }
    }
    ShownTopLevels(const ShownTopLevels&) = delete;
    ShownTopLevels& operator=(const ShownTopLevels&) = delete;

private:
    struct Asked {
        xcb_get_property_cookie_t state;
        xcb_get_window_attributes_cookie_t attributes;
        xcb_query_tree_cookie_t tree;
    };
    struct Facts {
        bool failed = false;
        bool hasWmState = false;
        bool shownState = false;
        bool viewable = false;
        xcb_window_t parent = XCB_WINDOW_NONE;
    };

    Facts readOne(xcb_connection_t* c, const Asked& a) const {
        Facts f;
        const Property state = receive(c, a.state);
        f.hasWmState = state.is(m_link.atoms->WM_STATE, 32);
        f.shownState =
            f.hasWmState && (state.first() == kNormalState || state.first() == kIconicState);
        xcb_generic_error_t* error = nullptr;
        xcb_get_window_attributes_reply_t* attributes =
            xcb_get_window_attributes_reply(c, a.attributes, &error);
        std::free(error);
        error = nullptr;
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, a.tree, &error);
        std::free(error);
        f.failed = state.failed || !attributes || !tree;
        f.viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        f.parent = tree ? tree->parent : xcb_window_t{XCB_WINDOW_NONE};
        std::free(attributes);
        std::free(tree);
        return f;
    }

    const X11Snapshot::Link& m_link;
    std::vector<xcb_window_t> m_windows;
    xcb_get_property_cookie_t m_stacking{}, m_list{};
    std::vector<Asked> m_asked;
};

// A top-level window of a display without an EWMH manager, and the search for the client
// beneath it when it is a frame.
struct Top {
    xcb_window_t frame = XCB_WINDOW_NONE;
    Reading reading;
    std::vector<xcb_window_t> level; // the windows of the level being searched
    xcb_window_t client = XCB_WINDOW_NONE;
    bool searching = false;
};

// One level of the search: the first window of the level that carries WM_STATE is the
// client; the next level is their children. A frame whose search would pass the budget
// stays the top-level window itself.
void searchLevel(const X11Snapshot::Link& link, std::vector<Top>& tops, bool descend) {
    xcb_connection_t* c = link.connection;
    struct Asked {
        xcb_get_property_cookie_t state;
        std::optional<xcb_query_tree_cookie_t> tree;
    };
    std::vector<std::vector<Asked>> asked(tops.size());
    size_t budget = kSearchBudget;
    for (size_t t = 0; t < tops.size(); ++t) {
        Top& top = tops[t];
        if (!top.searching)
            continue;
        if (top.level.size() > budget) {
            top.searching = false;
            continue;
        }
        budget -= top.level.size();
        for (xcb_window_t w : top.level) {
            Asked a{ask(link, w, link.atoms->WM_STATE, 2), std::nullopt};
            if (descend)
                a.tree = xcb_query_tree(c, w);
            asked[t].push_back(a);
        }
    }
    for (size_t t = 0; t < tops.size(); ++t) {
        Top& top = tops[t];
        std::vector<xcb_window_t> next;
        for (size_t i = 0; i < asked[t].size(); ++i) {
            const Property state = receive(c, asked[t][i].state);
            std::vector<xcb_window_t> below;
            if (asked[t][i].tree)
                below = children(c, *asked[t][i].tree);
            if (!top.searching)
                continue;
            if (state.is(link.atoms->WM_STATE, 32)) {
                top.client = top.level[i];
                top.searching = false;
                continue;
            }
            next.insert(next.end(), below.begin(), below.end());
        }
        if (top.searching) {
            top.level = std::move(next);
            top.searching = descend && !top.level.empty();
        }
    }
}

// What every snapshot first asks of the root: the manager check, both client lists and the
// root's children. Asked in one go, received when the caller has sent its own requests too.
struct RootAsk {
    xcb_get_property_cookie_t check;
    xcb_get_property_cookie_t stacking;
    xcb_get_property_cookie_t list;
    xcb_query_tree_cookie_t tree;
};

struct RootFacts {
    xcb_window_t checkWindow = XCB_WINDOW_NONE;
    Property stacking;
    Property list;
    std::vector<xcb_window_t> children;
};

RootAsk askRoot(const X11Snapshot::Link& link) {
    const X11Atoms& a = *link.atoms;
    return {askCheck(link, link.root),
            ask(link, link.root, a._NET_CLIENT_LIST_STACKING, kClientListLongs),
            ask(link, link.root, a._NET_CLIENT_LIST, kClientListLongs),
            xcb_query_tree(link.connection, link.root)};
}

RootFacts receiveRoot(xcb_connection_t* c, const RootAsk& asked) {
    RootFacts facts;
    facts.checkWindow = checkWindowOf(receive(c, asked.check));
    facts.stacking = receive(c, asked.stacking);
    facts.list = receive(c, asked.list);
    facts.children = children(c, asked.tree);
    return facts;
}

// The manager's clients, read in the round of the manager check; nullopt, their requests
// dropped, in the rare case that the manager named on the root is gone.
std::optional<std::vector<Reading>> readManagedClients(const X11Snapshot::Link& link,
                                                       xcb_window_t checkWindow,
                                                       const std::vector<xcb_window_t>& clients) {
    xcb_connection_t* c = link.connection;
    const xcb_get_property_cookie_t verifyCookie = askCheck(link, checkWindow);
    std::vector<WindowRequests> requests;
    requests.reserve(clients.size());
    for (xcb_window_t w : clients)
        requests.push_back(send(link, w, Ask::Essentials, false));
    ServerPids pids(link, clients);
    if (checkWindowOf(receive(c, verifyCookie)) != checkWindow) {
        for (const WindowRequests& r : requests)
            discard(c, r);
        return std::nullopt;
    }
    std::vector<Reading> readings;
    readings.reserve(requests.size());
    for (const WindowRequests& r : requests)
        readings.push_back(collect(link, r, pids));
    return readings;
}

// The root's children, front to back, each read as a top-level window that may be a frame.
std::vector<Top> readTops(const X11Snapshot::Link& link,
                          const std::vector<xcb_window_t>& rootChildren) {
    xcb_connection_t* c = link.connection;
    std::vector<Top> top(rootChildren.size());
    for (size_t i = 0; i < rootChildren.size(); ++i)
        top[i].frame = rootChildren[rootChildren.size() - 1 - i];
    std::vector<WindowRequests> requests;
    std::vector<xcb_query_tree_cookie_t> trees;
    requests.reserve(top.size());
    trees.reserve(top.size());
    for (const Top& t : top) {
        requests.push_back(send(link, t.frame, Ask::Essentials, true));
        trees.push_back(xcb_query_tree(c, t.frame));
    }
    ServerPids pids(link, rootChildren);
    for (size_t i = 0; i < top.size(); ++i) {
        top[i].reading = collect(link, requests[i], pids);
        top[i].level = children(c, trees[i]);
        top[i].searching =
            !top[i].reading.facts.vanished && !top[i].reading.hasWmState && !top[i].level.empty();
    }
    return top;
}

// The clients the search found beneath frames take the frames' places.
void readFoundClients(const X11Snapshot::Link& link, std::vector<Top>& top) {
    std::vector<std::optional<WindowRequests>> requests(top.size());
    std::vector<xcb_window_t> clients;
    for (size_t i = 0; i < top.size(); ++i)
        if (top[i].client != XCB_WINDOW_NONE) {
            requests[i] = send(link, top[i].client, Ask::Essentials, true);
            clients.push_back(top[i].client);
        }
    ServerPids pids(link, clients);
    for (size_t i = 0; i < top.size(); ++i)
        if (requests[i])
            top[i].reading = collect(link, *requests[i], pids);
}

// No manager: the root's children, front to back, each once, a frame replaced by the client
// found beneath it.
std::vector<Reading> readRootChildren(const X11Snapshot::Link& link,
                                      const std::vector<xcb_window_t>& rootChildren) {
    std::vector<Top> top = readTops(link, rootChildren);
    searchLevel(link, top, true);
    searchLevel(link, top, false);
    readFoundClients(link, top);
    std::vector<Reading> readings;
    readings.reserve(top.size());
    for (Top& t : top)
        readings.push_back(std::move(t.reading));
    return readings;
}

// The round for the stand-ins, then each window's facts under the visibility rule that
// holds.
std::vector<X11WindowFacts> finishReadings(const X11Snapshot::Link& link,
                                           std::vector<Reading>& readings, bool managerRunning) {
    std::vector<Reading*> pending;
    pending.reserve(readings.size());
    for (Reading& r : readings)
        pending.push_back(&r);
    completeStandIns(link, pending);
    std::vector<X11WindowFacts> windows;
    windows.reserve(readings.size());
    for (Reading& r : readings)
        windows.push_back(r.finish(managerRunning));
    return windows;
}

} // namespace

X11Snapshot X11Snapshot::take(const Link& link) {
    X11Snapshot s;
    const RootFacts root = receiveRoot(link.connection, askRoot(link));
    s.m_clients = frontToBack(clientsOf(root.stacking, root.list));
    std::optional<std::vector<Reading>> readings;
    if (root.checkWindow != XCB_WINDOW_NONE)
        readings = readManagedClients(link, root.checkWindow, s.m_clients);
    s.m_managerRunning = readings.has_value();
    if (!readings)
        readings = readRootChildren(link, root.children);
    s.m_windows = finishReadings(link, *readings, s.m_managerRunning);
    s.index();
    s.keepShownOwners();
    return s;
}

X11Snapshot X11Snapshot::of(const Link& link, const std::vector<xcb_window_t>& windows) {
    X11Snapshot s;
    s.m_protocolsRead = true;
    xcb_connection_t* c = link.connection;
    const xcb_get_property_cookie_t checkCookie = askCheck(link, link.root);
    std::vector<WindowRequests> requests;
    requests.reserve(windows.size());
    for (xcb_window_t w : windows)
        requests.push_back(send(link, w, Ask::Everything, true));
    ServerPids pids(link, windows);
    const xcb_window_t checkWindow = checkWindowOf(receive(c, checkCookie));
    std::vector<Reading> readings;
    readings.reserve(requests.size());
    for (const WindowRequests& r : requests)
        readings.push_back(collect(link, r, pids));
    // The owners are asked for in the round of the manager check.
    std::optional<xcb_get_property_cookie_t> verifyCookie;
    if (checkWindow != XCB_WINDOW_NONE)
        verifyCookie = askCheck(link, checkWindow);
    ShownTopLevels owners(link, namedOwners(link, readings));
    if (verifyCookie)
        s.m_managerRunning = checkWindowOf(receive(c, *verifyCookie)) == checkWindow;
    const QSet<xcb_window_t> shownOwners = owners.read(s.m_managerRunning);
    for (Reading& r : readings) {
        X11WindowFacts facts = r.finish(s.m_managerRunning);
        if (facts.owner == facts.window || !shownOwners.contains(facts.owner))
            facts.owner = 0;
        s.m_windows.push_back(facts);
    }
    s.index();
    return s;
}

namespace {

// One of the windows given to X11Snapshot::some: its facts and where it sits in the tree.
struct Given {
    Reading reading;
    xcb_window_t parent = XCB_WINDOW_NONE;
    bool hasChildren = false;
};

std::vector<xcb_window_t> distinct(const X11Snapshot::Link& link,
                                   const std::vector<xcb_window_t>& windows) {
    QSet<xcb_window_t> seen;
    std::vector<xcb_window_t> out;
    for (xcb_window_t w : windows)
        if (w != XCB_WINDOW_NONE && w != link.root && !seen.contains(w)) {
            seen.insert(w);
            out.push_back(w);
        }
    return out;
}

QHash<xcb_window_t, Given> readGiven(const X11Snapshot::Link& link,
                                     const std::vector<xcb_window_t>& windows,
                                     const std::vector<WindowRequests>& requests,
                                     const std::vector<xcb_query_tree_cookie_t>& trees,
                                     ServerPids& pids) {
    xcb_connection_t* c = link.connection;
    QHash<xcb_window_t, Given> given;
    given.reserve(static_cast<qsizetype>(windows.size()));
    for (size_t i = 0; i < windows.size(); ++i) {
        Given g;
        g.reading = collect(link, requests[i], pids);
        xcb_generic_error_t* error = nullptr;
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, trees[i], &error);
        std::free(error);
        if (tree) {
            g.parent = tree->parent;
            g.hasChildren = xcb_query_tree_children_length(tree) > 0;
        } else {
            g.reading.vanish();
        }
        std::free(tree);
        given.insert(windows[i], std::move(g));
    }
    return given;
}

// Without a manager an enumeration lists the root's children, each replaced by the client
// a search finds beneath it. A child that is no frame (it carries WM_STATE, has no children
// or is gone) stands for itself; any other given window lists only as such a client.
std::optional<std::vector<xcb_window_t>> rootOrder(const std::vector<xcb_window_t>& rootChildren,
                                                   const QHash<xcb_window_t, Given>& given) {
    std::vector<xcb_window_t> order;
    QSet<xcb_window_t> children;
    for (auto it = rootChildren.rbegin(); it != rootChildren.rend(); ++it) {
        children.insert(*it);
        const auto g = given.constFind(*it);
        if (g == given.constEnd())
            continue;
        if (!g->reading.facts.vanished && !g->reading.hasWmState && g->hasChildren)
            return std::nullopt; // a frame: its client takes its place
        order.push_back(*it);
    }
    for (auto g = given.constBegin(); g != given.constEnd(); ++g)
        if (!children.contains(g.key()) && !g->reading.facts.vanished && g->reading.hasWmState)
            return std::nullopt; // perhaps a client beneath a frame
    return order;
}

std::vector<xcb_window_t> managedOrder(const std::vector<xcb_window_t>& clients,
                                       const QHash<xcb_window_t, Given>& given) {
    std::vector<xcb_window_t> order;
    for (xcb_window_t w : clients)
        if (given.contains(w))
            order.push_back(w);
    return order;
}

} // namespace

std::optional<X11Snapshot> X11Snapshot::some(const Link& link,
                                             const std::vector<xcb_window_t>& windows) {
    xcb_connection_t* c = link.connection;
    const std::vector<xcb_window_t> wanted = distinct(link, windows);
    const RootAsk rootAsk = askRoot(link);
    std::vector<WindowRequests> requests;
    std::vector<xcb_query_tree_cookie_t> trees;
    requests.reserve(wanted.size());
    trees.reserve(wanted.size());
    for (xcb_window_t w : wanted) {
        requests.push_back(send(link, w, Ask::Everything, true));
        trees.push_back(xcb_query_tree(c, w));
    }
    ServerPids pids(link, wanted);
    const RootFacts root = receiveRoot(c, rootAsk);
    const xcb_window_t checkWindow = root.checkWindow;
    const Property& stacking = root.stacking;
    const Property& list = root.list;
    const std::vector<xcb_window_t>& rootChildren = root.children;
    QHash<xcb_window_t, Given> given = readGiven(link, wanted, requests, trees, pids);

    // The second round: the manager check, and which of the owners named are shown.
    X11Snapshot s;
    s.m_protocolsRead = true;
    s.m_clients = frontToBack(clientsOf(stacking, list));
    std::optional<xcb_get_property_cookie_t> verifyCookie;
    if (checkWindow != XCB_WINDOW_NONE)
        verifyCookie = askCheck(link, checkWindow);
    std::vector<Reading> readings;
    for (const Given& g : std::as_const(given))
        readings.push_back(g.reading);
    ShownTopLevels owners(link, namedOwners(link, readings));
    if (verifyCookie)
        s.m_managerRunning = checkWindowOf(receive(c, *verifyCookie)) == checkWindow;
    const QSet<xcb_window_t> shownOwners = owners.read(s.m_managerRunning);

    std::optional<std::vector<xcb_window_t>> order =
        s.m_managerRunning ? managedOrder(s.m_clients, given) : rootOrder(rootChildren, given);
    if (!order)
        return std::nullopt;
    for (xcb_window_t w : *order) {
        X11WindowFacts facts = given[w].reading.finish(s.m_managerRunning);
        if (facts.owner == facts.window || !shownOwners.contains(facts.owner))
            facts.owner = 0;
        s.m_windows.push_back(facts);
    }
    s.index();
    return s;
}

std::vector<xcb_window_t> X11Snapshot::clientList(const Link& link) {
    xcb_connection_t* c = link.connection;
    const xcb_get_property_cookie_t stackingCookie =
        ask(link, link.root, link.atoms->_NET_CLIENT_LIST_STACKING, kClientListLongs);
    const xcb_get_property_cookie_t listCookie =
        ask(link, link.root, link.atoms->_NET_CLIENT_LIST, kClientListLongs);
    const Property stacking = receive(c, stackingCookie);
    const Property list = receive(c, listCookie);
    return frontToBack(clientsOf(stacking, list));
}

std::optional<bool> X11Snapshot::acceptsDelete(const Link& link, xcb_window_t window) {
    const Property protocols =
        receive(link.connection, ask(link, window, link.atoms->WM_PROTOCOLS, kAtomListLongs));
    if (protocols.failed)
        return std::nullopt;
    if (!protocols.is(XCB_ATOM_ATOM, 32))
        return false;
    const std::vector<uint32_t> list = protocols.longs();
    return std::find(list.begin(), list.end(), link.atoms->WM_DELETE_WINDOW) != list.end();
}

const X11WindowFacts* X11Snapshot::find(WindowHandle window) const {
    const auto it = m_index.constFind(window);
    return it == m_index.constEnd() ? nullptr : &m_windows[static_cast<size_t>(*it)];
}

void X11Snapshot::keepShownOwners() {
    for (X11WindowFacts& window : m_windows) {
        const X11WindowFacts* owner = window.owner == window.window ? nullptr : find(window.owner);
        if (!owner || !owner->visible)
            window.owner = 0;
    }
}

void X11Snapshot::index() {
    m_index.clear();
    m_index.reserve(static_cast<qsizetype>(m_windows.size()));
    for (size_t i = 0; i < m_windows.size(); ++i)
        m_index.insert(m_windows[i].window, static_cast<qsizetype>(i));
}
