#pragma once
// cConfiguration: owns the parameter set and the knowledge base of a run, fetches the CPs
// the plug-in needs at start and reads all parameters from LNS.

#include <memory>

#include "portab/base/procedure.h"
#include "portab/config/configuration_window.h"
#include "portab/knowledge/mc16.h"
#include "portab/lns/plugin_context.h"
#include "portab/params/params.h"
#include "portab/services/dialogs.h"

namespace config {

// The configuration controller of one run (see above); the window it reports to is optional.
class cConfiguration {
 public:
  // The parameter set's System is the run's system object from the start.
  explicit cConfiguration(lns::PlugInContext& context);

  // The run's parameter set and knowledge base (both live as long as the configuration).
  params::cParams& Parameters() { return *parameters_; }
  knowledge::cMC16& MC16() { return *mc16_; }

  // "ParamVersion" of the device into a CP buffer with a one-byte parameter, the knowledge
  // base for that version, "FptIndex" of the LonMark object as a two-byte parameter
  // (StartFailed when it is missing). Errors go to the error operation, statement by statement.
  void FetchCPs();
  // Reads every parameter from LNS; an error goes to the error operation.
  void ReadSettings();
  // True when every value is valid; otherwise shows message 1420 (when there are dialogs).
  bool checkValues();

  // Writes every parameter to LNS in one transaction, logging the CPs it writes. Numbered
  // errors of the transaction and of the write are ignored.
  void WriteSettings();
  // The window's commands: read (asking first when parameters changed) and write (only when
  // every value is valid; true when no error line was logged). Without a window they do
  // nothing.
  void ReadParameters();
  bool WriteParameters();
  // The spread command (menu "SpreadParameters"): this plug-in has none, so it does nothing.
  void WriteParametersEx() {}

  // The window the commands work on (none: the commands do nothing).
  void SetWindow(ConfigurationWindow* window) { window_ = window; }

 private:
  // Tells the window the time of this read or write, and whether it met errors.
  static constexpr int16_t kLastRead = 1861;
  static constexpr int16_t kLastWritten = 1862;
  static constexpr int16_t kLastReadWithErrors = 1874;
  static constexpr int16_t kLastWrittenWithErrors = 1875;
  void ShowLastTransfer(int16_t textId);
  // Marks each parameter control with its parameter's transfer problem (or clears the mark).
  void MarkTransferProblems();
  // Shows the logger when an error line was logged, and clears the flag; true when it was set.
  bool ShowLoggerOnErrors();
  void StartBusy(base::ErrorScope& scope, const std::string& status, const std::string& logLine);
  void EndBusy(base::ErrorScope& scope);
  services::dialogs::Answer Ask(const std::string& question) const;

  lns::PlugInContext& context_;
  ConfigurationWindow* window_ = nullptr;
  std::unique_ptr<params::cParams> parameters_;
  std::unique_ptr<knowledge::cMC16> mc16_;
};

}  // namespace config
