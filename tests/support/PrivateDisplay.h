#pragma once
// Tests that send real key presses with xdotool need the keyboard focus, which other GL tests on a
// shared display can take. Such a test program starts an X server of its own for its run:
//     UsePrivateDisplay("1920x1080x24");   // at namespace scope, once per program
// When Xvfb can't be started, the tests keep the display they were given. The server goes with the
// program however the program ends, and never holds the program's output open.
#include <string>

namespace testsupport {

// Registers a global test environment that starts Xvfb with the given screen and points DISPLAY at
// it for the whole run, then stops it and restores DISPLAY. Returns true (for static registration).
bool UsePrivateDisplay(const std::string& screen);

} // namespace testsupport
