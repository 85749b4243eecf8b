#include "platform/linux/layer.h"
#include "tests/support/stack.h"

void testReserveStack() { layer::raiseStackLimit(); }
