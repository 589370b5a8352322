#include "support/XvfbServer.h"

#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

bool canConnect(const std::string& display) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    const bool ok = !xcb_connection_has_error(c);
    xcb_disconnect(c);
    return ok;
}

// Every display test stands on this harness: two servers side by side, each private, and
// the test's DISPLAY following the server that lives.
TEST(XvfbServer, PrivateServersWithAndWithoutWindowManager) {
    const char* before = std::getenv("DISPLAY");
    const std::string saved = before ? before : "";
    std::string first;
    {
        XvfbServer plain;
        ASSERT_TRUE(plain.ok());
        first = plain.display();
        EXPECT_EQ(std::getenv("DISPLAY"), first);
        EXPECT_TRUE(canConnect(first));
        XvfbServer managed(true);
        ASSERT_TRUE(managed.ok());
        EXPECT_NE(managed.display(), first);
        EXPECT_TRUE(canConnect(managed.display()));
    }
    EXPECT_FALSE(canConnect(first));
    const char* after = std::getenv("DISPLAY");
    EXPECT_EQ(after ? after : "", saved);
}

} // namespace
