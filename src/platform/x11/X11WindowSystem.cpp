#include "platform/x11/X11WindowSystem.h"

#include "common/AppInfo.h"
#include "platform/qt/QtText.h"

#include <xcb/res.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

namespace {

constexpr uint32_t kSourceIndicationPager = 2;
constexpr qsizetype kMaxWatched = 16384;

bool resourceExtensionUsable(xcb_connection_t* c) {
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_res_id);
    if (!ext || !ext->present)
        return false;
    xcb_res_query_version_reply_t* version =
        xcb_res_query_version_reply(c, xcb_res_query_version(c, 1, 2), nullptr);
    // Client ids (and with them the process id) came with version 1.2.
    const bool usable = version && (version->server_major > 1 ||
                                    (version->server_major == 1 && version->server_minor >= 2));
    std::free(version);
    return usable;
}

void sendClientMessage(xcb_connection_t* c, xcb_window_t destination, uint32_t eventMask,
                       xcb_window_t window, xcb_atom_t type, const uint32_t (&data)[5]) {
    // xcb copies a full 32-byte event.
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    std::memcpy(event.data.data32, data, sizeof data);
    xcb_send_event(c, 0, destination, eventMask, reinterpret_cast<const char*>(&event));
}

} // namespace

std::unique_ptr<X11WindowSystem> X11WindowSystem::open(const QByteArray& displayName) {
    int screenNumber = 0;
    xcb_connection_t* c =
        xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    if (!c || xcb_connection_has_error(c)) {
        if (c)
            xcb_disconnect(c);
        return nullptr;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem <= 0 || !screens.data) {
        xcb_disconnect(c);
        return nullptr;
    }
    const QByteArray name = displayName.isEmpty() ? qgetenv("DISPLAY") : displayName;
    std::unique_ptr<X11WindowSystem> system(new X11WindowSystem(c, screens.data->root, name));
    xcb_prefetch_extension_data(c, &xcb_res_id);
    if (!system->m_atoms.intern(c) || xcb_connection_has_error(c))
        return nullptr;
    system->m_link.resourceExtension = resourceExtensionUsable(c);
    if (xcb_connection_has_error(c))
        return nullptr;
    return system;
}

X11WindowSystem::X11WindowSystem(xcb_connection_t* connection, xcb_window_t root,
                                 QByteArray displayName)
    : m_connection(connection), m_displayName(std::move(displayName)) {
    m_link.connection = connection;
    m_link.root = root;
    m_link.atoms = &m_atoms;
    m_link.text = &m_text;
    m_link.resourceIdMask = xcb_get_setup(connection)->resource_id_mask;
    m_onLost = [this] {
        reportLostConnection();
        std::_Exit(EXIT_FAILURE);
    };
}

void X11WindowSystem::reportLostConnection() const {
    const QByteArray line =
        (QtText::toQ(AppInfo::title()) + QStringLiteral("：与显示服务器 ") +
         QString::fromLocal8Bit(m_displayName) + QStringLiteral(" 的连接已断开，程序结束。\n"))
            .toUtf8();
    std::fputs(line.constData(), stderr);
    std::fflush(stderr);
}

X11WindowSystem::~X11WindowSystem() {
    // The notifier lets go of the socket before the connection closes it.
    m_notifier.reset();
    xcb_disconnect(m_connection);
}

void X11WindowSystem::setConnectionLostHandler(std::function<void()> handler) {
    m_onLost = std::move(handler);
}

int X11WindowSystem::fileDescriptor() const {
    return xcb_get_file_descriptor(m_connection);
}

void X11WindowSystem::processEvents() {
    if (m_lost)
        return;
    // One read of the socket at most: a flood of events then comes in batches, and the
    // event loop runs between them (the notifier fires again while data is left).
    xcb_generic_event_t* event = xcb_poll_for_event(m_connection);
    while (true) {
        while (event) {
            noteEvent(*event);
            std::free(event);
            event = xcb_poll_for_queued_event(m_connection);
        }
        // Waiting for the list, or a flush, may read what has arrived meanwhile, off the
        // socket and out of the notifier's sight: that is handled here too.
        if (std::exchange(m_clientListChanged, false) && !m_lost)
            readClientList();
        else if (std::exchange(m_watchUnflushed, false))
            xcb_flush(m_connection);
        else
            break;
        event = xcb_poll_for_queued_event(m_connection);
    }
    checkConnection();
    tellListener();
}

void X11WindowSystem::tellListener() {
    std::vector<WindowHandle> windows = std::exchange(m_heard, {});
    m_heardSet.clear();
    if (std::exchange(m_heardSome, false))
        windows.push_back(kSomeWindow);
    if (windows.empty() || !m_onChange || m_lost)
        return;
    // A copy, so that a listener that replaces itself is not destroyed while it runs.
    const ChangeListener listener = m_onChange;
    for (WindowHandle window : windows)
        if (!m_gone.contains(window))
            listener(window);
}

void X11WindowSystem::noteGone(xcb_window_t window) {
    // Only spares the reading of windows that are gone: forgetting them is harmless.
    if (m_gone.size() >= kMaxWatched)
        m_gone.clear();
    m_gone.insert(window);
}

void X11WindowSystem::heard(WindowHandle window) {
    if (window == kSomeWindow) {
        m_heardSome = true;
        return;
    }
    if (m_heardSet.contains(window))
        return;
    m_heardSet.insert(window);
    m_heard.push_back(window);
}

void X11WindowSystem::checkConnection() {
    if (m_lost || !xcb_connection_has_error(m_connection))
        return;
    m_lost = true;
    // The socket of a lost connection stays readable; the notifier would spin.
    if (m_notifier)
        m_notifier->setEnabled(false);
    if (m_onLost)
        m_onLost();
}

void X11WindowSystem::setChangeListener(ChangeListener listener) {
    const bool wasListening = static_cast<bool>(m_onChange);
    m_onChange = std::move(listener);
    if (m_lost)
        return;
    if (m_onChange && !wasListening)
        startListening();
    else if (!m_onChange && wasListening)
        stopListening();
}

void X11WindowSystem::startListening() {
    const uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection, m_link.root, XCB_CW_EVENT_MASK, &rootMask);
    // The windows already there: windows made from now on are watched from their
    // CreateNotify, before their program can set a title.
    auto snapshot = std::make_shared<const X11Snapshot>(X11Snapshot::take(m_link));
    checkConnection();
    if (m_lost)
        return;
    m_last = snapshot;
    knowSnapshot(*snapshot);
    watchWindows(*snapshot);
    m_notifier = std::make_unique<QSocketNotifier>(fileDescriptor(), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { processEvents(); });
    // What arrived while the windows were read is already off the socket.
    processEvents();
}

void X11WindowSystem::stopListening() {
    m_notifier.reset();
    const uint32_t none = XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(m_connection, m_link.root, XCB_CW_EVENT_MASK, &none);
    for (xcb_window_t window : std::as_const(m_watched))
        xcb_change_window_attributes(m_connection, window, XCB_CW_EVENT_MASK, &none);
    m_watched.clear();
    m_topLevels.clear();
    m_clients.clear();
    m_gone.clear();
    xcb_flush(m_connection);
    processEvents();
}

bool X11WindowSystem::afterCover(const xcb_generic_event_t& event) const {
    // Sequence numbers wrap; the difference tells which came first.
    return !m_covered || static_cast<int32_t>(event.full_sequence - m_coverSequence) >= 0;
}

void X11WindowSystem::noteEvent(const xcb_generic_event_t& event) {
    if (!m_onChange)
        return;
    switch (event.response_type & 0x7f) {
    case XCB_CREATE_NOTIFY: {
        const auto& e = reinterpret_cast<const xcb_create_notify_event_t&>(event);
        // A window is born unmapped, so no pass could act on it yet; it is watched now so
        // that no title its program sets from here on goes unheard.
        if (e.parent == m_link.root) {
            m_gone.remove(e.window);
            watch(e.window);
            if (!managerRunning())
                knowTopLevel(e.window);
        }
        return;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto& e = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
        m_topLevels.remove(e.window);
        noteGone(e.window);
        return;
    }
    case XCB_MAP_NOTIFY: {
        const auto& e = reinterpret_cast<const xcb_map_notify_event_t&>(event);
        if (e.event != m_link.root || managerRunning())
            return;
        knowTopLevel(e.window);
        if (afterCover(event))
            heard(e.window);
        return;
    }
    case XCB_REPARENT_NOTIFY: {
        const auto& e = reinterpret_cast<const xcb_reparent_notify_event_t&>(event);
        if (e.event != m_link.root || e.parent != m_link.root)
            return;
        m_gone.remove(e.window);
        watch(e.window);
        if (managerRunning())
            return;
        knowTopLevel(e.window);
        if (afterCover(event))
            heard(e.window);
        return;
    }
    case XCB_PROPERTY_NOTIFY:
        notePropertyChange(reinterpret_cast<const xcb_property_notify_event_t&>(event));
        return;
    default:
        // Errors of posted requests and everything else that was selected.
        return;
    }
}

void X11WindowSystem::notePropertyChange(const xcb_property_notify_event_t& e) {
    const bool after = afterCover(reinterpret_cast<const xcb_generic_event_t&>(e));
    if (e.window == m_link.root) {
        // What the latest enumeration saw of the list is read again only when it changed
        // after that.
        if (e.atom == m_atoms._NET_CLIENT_LIST && after)
            m_clientListChanged = true;
        else if (e.atom == m_atoms._NET_SUPPORTING_WM_CHECK && after)
            heard(kSomeWindow);
        return;
    }
    if (e.atom == m_atoms.WM_STATE && !managerRunning()) {
        // Without an EWMH manager, WM_STATE is what makes a window beneath a frame a client.
        knowTopLevel(e.window);
        if (after)
            heard(e.window);
    } else if (e.atom == m_atoms.WM_STATE) {
        // A manager may list a client before it shows it: a check in between sees it
        // hidden, so its showing is a change too.
        if (after && m_topLevels.contains(e.window))
            heard(e.window);
    } else if ((e.atom == m_atoms._NET_WM_NAME || e.atom == XCB_ATOM_WM_NAME) && after &&
               m_topLevels.contains(e.window)) {
        heard(e.window);
    }
}

void X11WindowSystem::readClientList() {
    const std::vector<xcb_window_t> clients = X11Snapshot::clientList(m_link);
    checkConnection();
    if (m_lost)
        return;
    QSet<xcb_window_t> now;
    now.reserve(static_cast<qsizetype>(clients.size()));
    for (xcb_window_t window : clients) {
        now.insert(window);
        if (!m_clients.contains(window))
            heard(window);
    }
    m_clients = std::move(now);
    if (managerRunning())
        m_topLevels = m_clients;
}

void X11WindowSystem::knowTopLevel(xcb_window_t window) {
    if (m_topLevels.contains(window))
        return;
    // Windows made and never destroyed, or clients beneath frames, whose end is not heard
    // of: past the bound a whole pass learns them afresh.
    if (m_topLevels.size() >= kMaxWatched) {
        m_topLevels.clear();
        heard(kSomeWindow);
    }
    m_topLevels.insert(window);
}

void X11WindowSystem::knowSnapshot(const X11Snapshot& snapshot) {
    m_topLevels.clear();
    m_topLevels.reserve(static_cast<qsizetype>(snapshot.windows().size()));
    for (const X11WindowFacts& window : snapshot.windows())
        m_topLevels.insert(window.window);
    m_clients = QSet<xcb_window_t>(snapshot.clients().begin(), snapshot.clients().end());
}

void X11WindowSystem::watch(xcb_window_t window) {
    if (m_watched.contains(window))
        return;
    // The set only spares repeated requests: a selection stays with its window on the
    // server. Between enumerations (none runs while the list is empty) it holds every
    // window made meanwhile, so it is bounded by starting afresh.
    if (m_watched.size() >= kMaxWatched)
        m_watched.clear();
    m_watched.insert(window);
    // Only this connection's own selection on the window changes; its program's is its own.
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection, window, XCB_CW_EVENT_MASK, &mask);
    m_watchUnflushed = true;
}

void X11WindowSystem::watchWindows(const X11Snapshot& snapshot) {
    if (!m_onChange)
        return;
    // Keeps the set to the windows that are there; a window that comes back is simply
    // selected again.
    QSet<xcb_window_t> present;
    present.reserve(static_cast<qsizetype>(snapshot.windows().size()));
    for (const X11WindowFacts& window : snapshot.windows()) {
        if (window.vanished)
            continue;
        present.insert(window.window);
        watch(window.window);
    }
    // The next processEvents() sends the selections.
    m_watched = std::move(present);
}

void X11WindowSystem::EnumWindows(const std::function<bool(WindowHandle)>& proc) {
    if (m_lost)
        return;
    if (m_onChange) {
        // Whatever the server sent before it processes this request, the snapshot sees.
        m_coverSequence = xcb_no_operation(m_connection).sequence;
        m_covered = true;
    }
    processEvents();
    if (m_lost)
        return;
    auto snapshot = std::make_shared<const X11Snapshot>(X11Snapshot::take(m_link));
    checkConnection();
    if (m_lost)
        return;
    m_last = snapshot;
    if (m_onChange)
        knowSnapshot(*snapshot);
    watchWindows(*snapshot);
    // What arrived during the snapshot is already off the socket, where the notifier
    // cannot see it.
    processEvents();
    visit(snapshot, proc);
}

void X11WindowSystem::EnumSomeWindows(const std::vector<WindowHandle>& windows,
                                      const std::function<bool(WindowHandle)>& proc) {
    if (m_lost || windows.empty())
        return;
    processEvents();
    if (m_lost)
        return;
    // A storm of short-lived windows names many that are gone by the time they are
    // checked; those the backend has seen destroyed are not read.
    std::vector<WindowHandle> present;
    present.reserve(windows.size());
    for (WindowHandle window : windows)
        if (!m_gone.contains(window))
            present.push_back(window);
    if (present.empty())
        return;
    std::optional<X11Snapshot> some = X11Snapshot::some(m_link, present);
    checkConnection();
    if (m_lost)
        return;
    if (!some) {
        WindowSystem::EnumSomeWindows(present, proc);
        return;
    }
    auto snapshot = std::make_shared<const X11Snapshot>(std::move(*some));
    // They are watched already unless their selection was lost to the bound.
    if (m_onChange)
        for (const X11WindowFacts& window : snapshot->windows())
            if (!window.vanished)
                watch(window.window);
    processEvents();
    visit(snapshot, proc);
}

void X11WindowSystem::visit(const std::shared_ptr<const X11Snapshot>& snapshot,
                            const std::function<bool(WindowHandle)>& proc) {
    if (m_lost)
        return;
    // Restores the outer enumeration's snapshot however proc leaves (a nested enumeration
    // or an exception).
    struct Restore {
        std::shared_ptr<const X11Snapshot>& slot;
        std::shared_ptr<const X11Snapshot> saved;
        ~Restore() { slot = std::move(saved); }
    } restore{m_current, std::exchange(m_current, snapshot)};
    for (const X11WindowFacts& window : snapshot->windows()) {
        if (m_lost || !proc(window.window))
            break;
    }
}

const X11WindowFacts& X11WindowSystem::facts(WindowHandle window) {
    if (m_current)
        if (const X11WindowFacts* known = m_current->find(window))
            return *known;
    m_asked = X11WindowFacts();
    m_asked.window = window;
    if (m_lost || window == XCB_WINDOW_NONE)
        return m_asked;
    const X11Snapshot direct = X11Snapshot::of(m_link, {window});
    checkConnection();
    if (!m_lost)
        m_asked = direct.windows().front();
    processEvents();
    return m_asked;
}

std::u16string X11WindowSystem::GetClassName(WindowHandle window) {
    return facts(window).className;
}

WindowHandle X11WindowSystem::GetParent(WindowHandle window) {
    return facts(window).owner;
}

bool X11WindowSystem::IsWindowVisible(WindowHandle window) {
    return facts(window).visible;
}

std::u16string X11WindowSystem::GetWindowText(WindowHandle window) {
    return facts(window).title;
}

std::uint32_t X11WindowSystem::GetWindowProcessId(WindowHandle window) {
    return facts(window).processId;
}

bool X11WindowSystem::IsShellWindow(WindowHandle window) {
    return facts(window).shell;
}

void X11WindowSystem::PostClose(WindowHandle window) {
    processEvents();
    postCloseRequest(window);
    // What arrived while the window was read is already off the socket.
    processEvents();
}

void X11WindowSystem::postCloseRequest(WindowHandle window) {
    if (m_lost || window == XCB_WINDOW_NONE || window == m_link.root)
        return;
    // Whether a manager runs is known from the latest enumeration; what the window takes
    // is read now, so that a window seen by none is read in full, unless the enumeration
    // in progress read it with the window alone, a moment ago.
    X11WindowFacts target;
    bool managerRunning = false;
    const X11Snapshot* seenIn = nullptr;
    for (const auto& snapshot : {m_current, m_last})
        if (!seenIn && snapshot && snapshot->find(window))
            seenIn = snapshot.get();
    if (seenIn && seenIn->protocolsRead()) {
        target = *seenIn->find(window);
        managerRunning = seenIn->managerRunning();
    } else if (seenIn) {
        const std::optional<bool> acceptsDelete = X11Snapshot::acceptsDelete(m_link, window);
        checkConnection();
        if (m_lost || !acceptsDelete)
            return;
        target = *seenIn->find(window);
        target.acceptsDelete = *acceptsDelete;
        managerRunning = seenIn->managerRunning();
    } else {
        const X11Snapshot direct = X11Snapshot::of(m_link, {window});
        checkConnection();
        if (m_lost)
            return;
        target = direct.windows().front();
        managerRunning = direct.managerRunning();
    }
    if (target.vanished)
        return;
    if (target.acceptsDelete) {
        sendClientMessage(m_connection, window, XCB_EVENT_MASK_NO_EVENT, window,
                          m_atoms.WM_PROTOCOLS,
                          {m_atoms.WM_DELETE_WINDOW, XCB_CURRENT_TIME, 0, 0, 0});
    } else if (managerRunning) {
        sendClientMessage(m_connection, m_link.root,
                          XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                          window, m_atoms._NET_CLOSE_WINDOW,
                          {XCB_CURRENT_TIME, kSourceIndicationPager, 0, 0, 0});
    } else {
        xcb_kill_client(m_connection, window);
    }
    xcb_flush(m_connection);
    checkConnection();
}
