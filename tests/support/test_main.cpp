#include <gtest/gtest.h>

#include "tests/support/stack.h"

int main(int argc, char** argv) {
    testReserveStack();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
