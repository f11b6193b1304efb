#pragma once
// What the configuration controller needs of the main window around reading and writing.

#include <string>

namespace config {

class ConfigurationWindow {
 public:
  virtual ~ConfigurationWindow() = default;
  // The hourglass mouse pointer on or off.
  virtual void SetHourglass(bool on) = 0;
  // The main window enabled (takes user input) or disabled.
  virtual void SetEnabled(bool enabled) = 0;
  virtual void SetStatusLine(const std::string& text) = 0;
  // The loading flag: set while the parameter set is filled from LNS.
  virtual void SetLoading(bool loading) = 0;
  // Disables the Apply button and clears ParametersChanged.
  virtual void SetControls() = 0;
  virtual void ShowLogger() = 0;
  // Hides the label of that index of the window's label array.
  virtual void HideLabel(int index) = 0;
  virtual bool ParametersChanged() const = 0;
  virtual void SetParametersChanged(bool changed) = 0;
};

}  // namespace config
