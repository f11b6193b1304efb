#include "config/configuration.h"

#include <gtest/gtest.h>

#include "support/plugin_run.h"
#include "support/recording_log.h"

namespace {

TEST(ConfigurationTest, FetchCPsOnTheDemoObject) {
  testing_support::PlugInRun run;
  testing_support::RecordingLog log;
  config::cConfiguration configuration(run.context);
  EXPECT_EQ(configuration.Parameters().System(), run.context.system);
  configuration.FetchCPs();
  auto& parameters = configuration.Parameters();
  EXPECT_EQ(parameters.Parameter1ByteByName("ParamVersion")->Value(), 1);
  EXPECT_TRUE(parameters.ConfigPropByName("ParamVersion")->WriteToLnsIfRequiredOnly());
  EXPECT_EQ(parameters.Parameter2ByteByName("FptIndex")->Value(), 3);
  EXPECT_EQ(configuration.MC16().ConfigFileName(), "PortaB.cfg");
  EXPECT_EQ(configuration.MC16().Version(), 1);
  EXPECT_EQ(configuration.MC16().File(knowledge::KbFile::Objects).ReadString("3", "Plug-in"),
            "veltaDemoProfile.Application");
  EXPECT_FALSE(run.startFailed);
  EXPECT_TRUE(run.records.messages.empty());
  EXPECT_TRUE(log.Contains("[M_PlugIn] Public Sub FetchCPs()"));
  EXPECT_TRUE(log.errors.empty());

  // The device changes its function profile; ReadSettings brings the set up to date.
  run.demo.ObjectCp(1)->RawWrite(0, 1, {0, 7}, 0);
  configuration.ReadSettings();
  EXPECT_EQ(parameters.Parameter2ByteByName("FptIndex")->Value(), 7);
  EXPECT_TRUE(configuration.checkValues());
}

TEST(ConfigurationTest, MissingFptIndexSetsStartFailed) {
  testing_support::PlugInRun run;
  testing_support::TempDir dir;
  testing_support::WriteFile(dir / "PortaB.ini", "[velta Porta CPs 1.0 ]\nConfig=PortaB.cfg\nParamVersion=1\nFptIndex=9\n");
  run.ini.SetFile((dir / "PortaB.ini").string());
  testing_support::RecordingLog log;
  config::cConfiguration configuration(run.context);
  configuration.FetchCPs();
  EXPECT_TRUE(run.startFailed);
  EXPECT_FALSE(configuration.Parameters().Parameter2ByteByName("FptIndex")->Available());
  EXPECT_EQ(configuration.Parameters().Parameter1ByteByName("ParamVersion")->Value(), 1);
}

TEST(ConfigurationTest, MissingParamVersionLeavesTheKnowledgeBaseAtItsDefaults) {
  testing_support::PlugInRun run;
  testing_support::TempDir dir;
  testing_support::WriteFile(dir / "PortaB.ini", "[velta Porta CPs 1.0 ]\nConfig=PortaB.cfg\nFptIndex=1\n");
  run.ini.SetFile((dir / "PortaB.ini").string());
  testing_support::RecordingLog log;
  config::cConfiguration configuration(run.context);
  configuration.FetchCPs();
  EXPECT_EQ(configuration.Parameters().Parameter1ByteCount(), 0);
  EXPECT_EQ(configuration.MC16().Version(), 0);
  EXPECT_EQ(run.records.messages.size(), 8u);  // Version_0 names no files
  EXPECT_FALSE(run.startFailed);
}

}  // namespace
