#pragma once
// Gives the test process's main thread the 32 MB of stack the program has.
void testReserveStack();
