#include "e2e/UserInput.h"

#include "support/ChildProcess.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kToolTimeoutMs = 30000;
// Between two keys: enough for a loaded machine to see each press on its own.
constexpr const char* kKeyDelayMs = "40";

// The keysym of a character: Latin-1 as itself, anything else in the Unicode range.
uint32_t keysymOf(char32_t ch) {
    return ch < 0x100 ? static_cast<uint32_t>(ch) : 0x01000000u | static_cast<uint32_t>(ch);
}

} // namespace

UserInput::UserInput(std::string display) : m_display(std::move(display)) {
    xcb_connection_t* c = xcb_connect(m_display.c_str(), nullptr);
    if (xcb_connection_has_error(c))
        xcb_disconnect(c);
    else
        m_connection = c;
}

UserInput::~UserInput() {
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool UserInput::xdotool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess tool;
    if (!tool.start(argv, {"DISPLAY=" + m_display}, -1, "/dev/null"))
        return false;
    return tool.waitFor(kToolTimeoutMs) && tool.exitCode() == 0;
}

bool UserInput::activate(xcb_window_t window) {
    return xdotool({"windowactivate", "--sync", std::to_string(window)});
}

bool UserInput::keys(const std::vector<std::string>& names) {
    if (names.empty())
        return true;
    std::vector<std::string> args{"key", "--delay", kKeyDelayMs};
    args.insert(args.end(), names.begin(), names.end());
    return xdotool(args);
}

bool UserInput::click(QPoint at) {
    return xdotool(
        {"mousemove", "--sync", std::to_string(at.x()), std::to_string(at.y()), "click", "1"});
}

bool UserInput::type(const QString& text) {
    // Runs of ASCII are typed as they are; every other character is pressed as the key
    // that carries its keysym.
    QString ascii;
    const auto flush = [&] {
        const bool ok =
            ascii.isEmpty() || xdotool({"type", "--delay", kKeyDelayMs, "--", ascii.toStdString()});
        ascii.clear();
        return ok;
    };
    for (char32_t ch : text.toUcs4()) {
        if (ch >= 0x20 && ch < 0x7f) {
            ascii += QChar(static_cast<char16_t>(ch));
            continue;
        }
        if (!flush() || !placeOnKeyboard(keysymOf(ch)))
            return false;
        char name[16];
        std::snprintf(name, sizeof name, "U%04X", static_cast<unsigned>(ch));
        if (!keys({name}))
            return false;
    }
    return flush();
}

bool UserInput::placeOnKeyboard(uint32_t keysym) {
    if (!m_connection)
        return false;
    const xcb_setup_t* setup = xcb_get_setup(m_connection);
    const xcb_keycode_t first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* map = xcb_get_keyboard_mapping_reply(
        m_connection, xcb_get_keyboard_mapping(m_connection, first, static_cast<uint8_t>(count)),
        nullptr);
    if (!map)
        return false;
    const int width = map->keysyms_per_keycode;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
    int freeKey = -1;
    bool present = false;
    for (int k = 0; k < count && !present; ++k) {
        bool empty = true;
        for (int i = 0; i < width; ++i) {
            present = present || syms[k * width + i] == keysym;
            empty = empty && syms[k * width + i] == XCB_NO_SYMBOL;
        }
        if (empty && freeKey < 0)
            freeKey = k;
    }
    free(map);
    if (present)
        return true;
    if (freeKey < 0)
        return false;
    // The same symbol with and without Shift.
    std::vector<xcb_keysym_t> row(static_cast<size_t>(width), XCB_NO_SYMBOL);
    row[0] = keysym;
    if (width > 1)
        row[1] = keysym;
    xcb_change_keyboard_mapping(m_connection, 1, static_cast<xcb_keycode_t>(first + freeKey),
                                static_cast<uint8_t>(width), row.data());
    // A round trip: the change is made before any key is pressed.
    free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    return true;
}
