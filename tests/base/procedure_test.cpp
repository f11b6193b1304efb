#include "base/procedure.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/recording_log.h"

namespace {

using testing_support::RecordingLog;

void RunThreeSteps(std::vector<int>& done, int& attempts) {
  base::RunProcedure("M_Test", base::Visibility::Private, "Steps", [&](base::ErrorScope& scope) {
    scope.Step([&] { done.push_back(1); });
    scope.Step([&] {
      if (++attempts < 3) throw base::Error(base::err::kOverflow, "test");
      done.push_back(2);
    });
    scope.Step([&] { done.push_back(3); });
  });
}

TEST(ProcedureTest, ActionCodesDecideHowTheProcedureGoesOn) {
  struct Case { int action; std::vector<int> done; int errors; };
  const Case cases[] = {
      {0, {1, 2, 3}, 2},  // repeat the statement until it succeeds
      {1, {1, 3}, 1},     // go on with the next statement
      {2, {1}, 1},        // leave the procedure
      {3, {1}, 1},        // end the program: every procedure unwinds
      {7, {1}, 1},        // any other answer leaves
  };
  for (const auto& c : cases) {
    RecordingLog log(c.action);
    std::vector<int> done;
    int attempts = 0;
    if (c.action == 3) {
      EXPECT_THROW(RunThreeSteps(done, attempts), base::EndProgram);
    } else {
      RunThreeSteps(done, attempts);
    }
    EXPECT_EQ(done, c.done) << "action " << c.action;
    ASSERT_EQ(static_cast<int>(log.errors.size()), c.errors) << "action " << c.action;
    EXPECT_EQ(log.errors[0], "6@M_Test.Steps");
    EXPECT_EQ(log.lines.front(), "[M_Test] Private Sub Steps()");
  }
}

TEST(ProcedureTest, RepeatIsBoundedSoAPersistentErrorCannotHang) {
  RecordingLog log(0);
  int attempts = 0;
  bool after = false;
  base::RunProcedure("M_Test", base::Visibility::Public, "Forever", [&](base::ErrorScope& scope) {
    scope.Step([&] {
      ++attempts;
      throw base::Error(base::err::kFileNotFound, "test");
    });
    after = true;
  });
  EXPECT_EQ(attempts, base::kMaxRepeats + 1);
  EXPECT_FALSE(after);
}

TEST(ProcedureTest, LeavingAnInnerProcedureContinuesTheOuterOne) {
  RecordingLog log(2);
  std::vector<std::string> trace;
  base::RunProcedure("M_Test", base::Visibility::Public, "Outer", [&](base::ErrorScope& scope) {
    scope.Step([&] {
      base::RunProcedure("M_Test", base::Visibility::Private, "Inner", [&](base::ErrorScope&) {
        throw std::runtime_error("boom");
      });
    });
    trace.push_back("outer goes on");
  });
  EXPECT_EQ(trace, std::vector<std::string>{"outer goes on"});
  ASSERT_EQ(log.errors.size(), 1u);
  EXPECT_EQ(log.errors[0], "51@M_Test.Inner");  // other exceptions become internal errors
}

TEST(ProcedureTest, WithoutLoggerErrorsReachTheCaller) {
  base::SetProcedureLog(nullptr);
  EXPECT_THROW(base::RunProcedure("M_Test", base::Visibility::Public, "NoLog",
                                  [](base::ErrorScope&) { throw base::Error(base::err::kOverflow, "t"); }),
               base::Error);
  EXPECT_FALSE(base::IgnoringErrors([] { throw base::Error(base::err::kOverflow, "t"); }));
  EXPECT_TRUE(base::IgnoringErrors([] {}));
}

}  // namespace
