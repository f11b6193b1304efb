// The registration switches of a profile plug-in program: a bad identity is refused whole.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "knowledge/profile_plugins.h"
#include "platform/registry/file_registry.h"
#include "plugin/plugin_entry.h"
#include "support/temp_dir.h"

namespace {

class NoWindow final : public plugin::ProfilePlugIn {
 public:
  void BuildWindow(plugin::Session&) override {}
};

int RunSwitch(const plugin::PlugInIdentity& identity, const char* argument) {
  NoWindow plugIn;
  std::string program = identity.programName;
  std::string switchText = argument;
  char* argv[] = {program.data(), switchText.data(), nullptr};
  return plugin::RunPlugIn(2, argv, identity, plugIn, nullptr);
}

plugin::PlugInIdentity Identity(std::string progId, std::string classId, std::vector<int32_t> profiles) {
  return {"test-plugin", std::move(progId), std::move(classId), "SOFTWARE\\test", "test", std::move(profiles)};
}

TEST(PlugInEntryTest, RegistrationRefusesABadIdentityWholeAndUnregistrationRemovesIt) {
  testing_support::TempDir home;
  testing_support::ScopedEnv env({{"PORTAB_HOME", home.Path().c_str()}});
  const std::string kClass = "{3F6E2B1A-8C4D-4E5F-9A7B-1C2D3E4F5A60}";
  ASSERT_EQ(RunSwitch(Identity("First.Application", kClass, {6}), "/regserver"), 0);
  const auto registry = [&] { return platform::registry::FileRegistry(platform::registry::DefaultRegistryFile()); };
  const auto before = testing_support::ReadFile(platform::registry::DefaultRegistryFile());

  const plugin::PlugInIdentity refused[] = {
      Identity("", "{3F6E2B1A-8C4D-4E5F-9A7B-1C2D3E4F5A61}", {7}),                     // no programmatic id
      Identity("Second.Application", "{x}", {7}),                                       // not a class id
      Identity("Second.Application", "3F6E2B1A-8C4D-4E5F-9A7B-1C2D3E4F5A61", {7}),      // no braces
      Identity("Second.Application", "{3F6E2B1A-8C4D-4E5F-9A7B-1C2D3E4F5A6G}", {7}),    // not hex
      Identity("Second.Application", kClass, {7}),                                      // another's class id
      Identity("Second.Application", "{3F6E2B1A-8C4D-4E5F-9A7B-1C2D3E4F5A61}", {}),     // no profile
      Identity("Second.Application", "{3F6E2B1A-8C4D-4E5F-9A7B-1C2D3E4F5A61}", {0}),    // not a profile index
      Identity("Second.Application", "{3F6E2B1A-8C4D-4E5F-9A7B-1C2D3E4F5A61}", {32768}),
      Identity("Second.Application", "{3F6E2B1A-8C4D-4E5F-9A7B-1C2D3E4F5A61}", {7, 6}),  // another's profile
  };
  for (const auto& identity : refused) {
    EXPECT_EQ(RunSwitch(identity, "/regserver"), 1) << identity.progId << " " << identity.classId;
  }
  EXPECT_EQ(testing_support::ReadFile(platform::registry::DefaultRegistryFile()), before);

  EXPECT_EQ(RunSwitch(Identity("First.Application", kClass, {5}), "/regserver"), 0);  // again, other profiles
  EXPECT_EQ(std::make_pair(knowledge::RegisteredProfilePlugIn(registry(), 5), knowledge::RegisteredProfilePlugIn(registry(), 6)),
            std::make_pair(std::string("First.Application"), std::string()));
  EXPECT_EQ(RunSwitch(Identity("First.Application", kClass, {5}), "/unregserver"), 0);
  EXPECT_EQ(knowledge::RegisteredProfilePlugIn(registry(), 5), "");
  EXPECT_EQ(RunSwitch(Identity("Second.Application", kClass, {6}), "/regserver"), 0);  // the class id is free again
}

TEST(PlugInEntryTest, AnUnknownSwitchIsNamedAndAnUnreachableStateFolderIsAnErrorNotACrash) {
  const auto identity = Identity("First.Application", "{3F6E2B1A-8C4D-4E5F-9A7B-1C2D3E4F5A60}", {6});
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunSwitch(identity, "/bogus"), 2);
  EXPECT_THAT(testing::internal::GetCapturedStderr(),
              testing::StartsWith("test-plugin: unknown switch \"/bogus\"\nusage: test-plugin /regserver"));
  testing_support::ScopedEnv env({{"PORTAB_HOME", "/proc/no-such-folder/home"}});
  EXPECT_EQ(RunSwitch(identity, "/regserver"), 1);
}

}  // namespace
