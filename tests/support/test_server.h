#pragma once
// The throwaway PostgreSQL server of a test run: scripts/with-postgres names it in
// PORTAB_TEST_SERVER, or says in PORTAB_TEST_SERVER_SKIPPED why there is none.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace testing_support {

inline std::string NoTestServerReason() {
  const char* why = std::getenv("PORTAB_TEST_SERVER_SKIPPED");
  return why != nullptr ? why : "PORTAB_TEST_SERVER names no server (scripts/with-postgres starts one)";
}

}  // namespace testing_support

// Declares `uri`, the test server's URI; without a server the test is skipped with the reason.
#define PORTAB_TEST_SERVER_OR_SKIP(uri)                                                  \
  const char* const uri = std::getenv("PORTAB_TEST_SERVER");                             \
  if (uri == nullptr) GTEST_SKIP() << testing_support::NoTestServerReason()
