#pragma once
// GoogleTest helpers for numbered errors: EXPECT_THAT([&] { ... }, ThrowsError(9)).

#include <gmock/gmock.h>

#include <functional>
#include <string>

#include "base/error.h"

namespace testing_support {

MATCHER_P(ThrowsError, number, "throws base::Error " + ::testing::PrintToString(number)) {
  try {
    arg();
  } catch (const base::Error& e) {
    *result_listener << "threw error " << e.Number() << " (" << e.Description() << ")";
    return e.Number() == number;
  }
  *result_listener << "threw nothing";
  return false;
}

// Calling `arg` raises an error whose number and description the given matchers accept.
MATCHER_P2(Raises, number, description, "") {
  try {
    arg();
  } catch (const base::Error& e) {
    *result_listener << "raised " << e.Number() << " (" << e.Description() << ")";
    return ::testing::Matches(number)(e.Number()) && ::testing::Matches(description)(e.Description());
  }
  *result_listener << "raised nothing";
  return false;
}

// The same with the error's source and description.
MATCHER_P3(ThrowsErrorFrom, number, source, description,
           "throws base::Error " + ::testing::PrintToString(number) + " from " + std::string(source) + ": " +
               std::string(description)) {
  try {
    arg();
  } catch (const base::Error& e) {
    *result_listener << "threw error " << e.Number() << " from " << e.Source() << " (" << e.Description() << ")";
    return e.Number() == number && e.Source() == source && e.Description() == description;
  }
  *result_listener << "threw nothing";
  return false;
}

}  // namespace testing_support
