#pragma once
// cConfiguration: owns the parameter set and the knowledge base of a run, fetches the CPs
// the plug-in needs at start and reads all parameters from LNS.

#include <memory>

#include "knowledge/mc16.h"
#include "lns/plugin_context.h"
#include "params/params.h"

namespace config {

class cConfiguration {
 public:
  // The parameter set's System is the run's system object from the start.
  explicit cConfiguration(lns::PlugInContext& context);

  params::cParams& Parameters() { return *parameters_; }
  knowledge::cMC16& MC16() { return *mc16_; }

  // "ParamVersion" of the device into a CP buffer with a one-byte parameter, the knowledge
  // base for that version, "FptIndex" of the LonMark object as a two-byte parameter
  // (StartFailed when it is missing).
  void FetchCPs();
  // Reads every parameter from LNS.
  void ReadSettings();
  // True when every value is valid; otherwise message 1420.
  bool checkValues();

  // Writing and the user commands need the main window and the write side (not built yet).
  void WriteSettings();
  void ReadParameters();
  bool WriteParameters();
  void WriteParametersEx() {}

 private:
  lns::PlugInContext& context_;
  std::unique_ptr<params::cParams> parameters_;
  std::unique_ptr<knowledge::cMC16> mc16_;
};

}  // namespace config
