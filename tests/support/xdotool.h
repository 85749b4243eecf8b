// Runs xdotool (XTest input into the test's X display) with the given arguments and waits
// until it has finished. True when it succeeded.
#pragma once

bool testXdotool(const char* arguments);
