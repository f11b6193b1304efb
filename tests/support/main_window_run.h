#pragma once
// The main window on the demo object: the demo window's controls bound to a run's parameter
// set, read from the device, Apply disabled; the services record help topics and the end.
// The Monitoring page shows the object's monitor points.

#include <memory>
#include <vector>

#include "config/main_window.h"
#include "demo_profile/demo_window.h"
#include "monitoring/monitoring.h"
#include "support/plugin_run.h"
#include "support/recording_log.h"

namespace testing_support {

struct MainWindowRun {
  MainWindowRun();

  RecordingLog log;
  PlugInRun run;
  std::unique_ptr<config::cConfiguration> configuration;
  std::unique_ptr<monitoring::cMonitoring> monitoring;  // the object's NVs, live on page 3
  ui::frmMain form;
  bool changed = false;
  std::vector<int32_t> topics;
  int ended = 0;
  demo_profile::DemoControls controls;
  std::unique_ptr<config::MainWindow> window;
};

}  // namespace testing_support
