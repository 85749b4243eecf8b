#include "tests/support/stack.h"

// The linker reserves the stack for every Windows executable of the project.
void testReserveStack() {}
