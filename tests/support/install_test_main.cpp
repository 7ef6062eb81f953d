// The tests of the installer never see the user's home folder.
#include <gtest/gtest.h>

#include "test_support/sandbox.h"

int main(int argc, char** argv) {
    lumigal::install::test::useGuardHome();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
