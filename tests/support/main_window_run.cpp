#include "support/main_window_run.h"

namespace testing_support {

MainWindowRun::MainWindowRun() {
  run.context.windowCaption = "Switch 1 / Omnal 1";
  configuration = std::make_unique<config::cConfiguration>(run.context);
  monitoring = std::make_unique<monitoring::cMonitoring>(run.context);
  monitoring->FetchNVs();
  config::MainWindowServices services;
  services.dialogs = &run.dialogs;
  services.registry = &run.registry;
  services.plugInKey = "SOFTWARE\\velta\\veltaPortaB";
  services.parametersChanged = &changed;
  services.showHelp = [this](int32_t topic) { topics.push_back(topic); };
  services.endApp = [this] { ++ended; };
  services.plugInIniFile = &run.ini;
  services.programId = "9F:FF:FF:08:1C:0A:04:01";
  services.programFolder = run.demo.Dir().Path().string();
  services.monitorPoints = &monitoring->MonitorPoints();
  form.caption = run.context.windowCaption;
  form.LoadResStringsToMenu();
  window = std::make_unique<config::MainWindow>(form, services);
  window->SetConfiguration(configuration.get());
  controls.Bind(run.demo.Device(), run.demo.Object(), configuration->Parameters());
  window->SetLoading(true);
  configuration->ReadSettings();
  window->SetLoading(false);
  window->SetControls();
}

}  // namespace testing_support
