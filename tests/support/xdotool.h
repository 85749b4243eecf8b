// Runs xdotool (XTest input into the test's X display) with the given arguments and waits
// until it has finished. True when it succeeded.
#pragma once

bool testXdotool(const char* arguments);

// Why xdotool cannot reach the test's window (null when it can): XTest is an X server's
// extension, so a window on another window system never sees its input.
const char* testXdotoolUnusable();
