#pragma once
// Runs `call` and expects a LonIpError of `kind` whose message holds `text`.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/lonip/lonip_error.h"

namespace platform::lonip {

template <typename Call>
void ExpectLonIpError(Call call, LonIpError::Kind kind, const std::string& text) {
  try {
    call();
    ADD_FAILURE() << "no error; expected: " << text;
  } catch (const LonIpError& error) {
    EXPECT_EQ(error.ErrorKind(), kind) << error.what();
    EXPECT_THAT(error.what(), testing::HasSubstr(text));
  }
}

}  // namespace platform::lonip
