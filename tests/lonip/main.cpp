// The LON/IP tests' main: it moves the process into a network namespace of its own before
// anything else runs; tests that need the network skip, with the reason, when it cannot.
#include <gtest/gtest.h>

#include "support/lon_devices.h"

int main(int argc, char** argv) {
  testing_support::EnterPrivateNetwork();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
