#pragma once

#include <QList>
#include <QPoint>
#include <QString>

#include <xcb/xcb.h>

#include <string>
#include <vector>

// What a person does at the keyboard and the mouse, sent as real input events (xdotool,
// through the XTEST extension) to whatever window has the focus.
class UserInput {
public:
    explicit UserInput(std::string display);
    ~UserInput();
    UserInput(const UserInput&) = delete;
    UserInput& operator=(const UserInput&) = delete;

    // Gives the window the focus through the window manager, as a click on it would, and
    // waits until it has it.
    bool activate(xcb_window_t window);
    // Types the text key by key. A character the keyboard lacks (Chinese, say) is first put
    // on a spare key for good, as a layout that has it would: a key that is bound only for
    // one press and unbound at once can reach the program after the unbinding, as nothing.
    bool type(const QString& text);
    // Presses keys by name, one after another: "Tab", "Return", "alt+F4", "shift+Tab".
    bool keys(const std::vector<std::string>& names);
    // Moves the pointer there and clicks the left button.
    bool click(QPoint at);

private:
    bool xdotool(const std::vector<std::string>& args);
    // Binds the keysym to a key that has none; false when no key is free.
    bool placeOnKeyboard(uint32_t keysym);

    std::string m_display;
    xcb_connection_t* m_connection = nullptr;
};
